#include "app/command_line.h"

#include "installer/install_launch.h"
#include "support/text.h"

namespace setup {

void SetupCommandLineInfo::ParseParam(const std::string& param, bool /*isFlag*/, bool /*isLast*/) {
  const std::string p = ToLower(param);
  if (p == "l") {
    verboseLog = true;
    return;
  }
  if (p == "s") {
    silent = true;
    return;
  }
  if (p == "es") {
    silent = true;
    extraSilent = true;
    return;
  }
  const bool isProperty = p.compare(0, 3, "wi:") == 0;
  if ((silent || extraSilent) && !isProperty) {
    silentInstallPath = param;
    return;
  }
  if (isProperty) {
    std::string v = param.substr(3);
    std::size_t equals = FindChar(v, '=');
    if (equals != std::string::npos) {
      // The value goes between double quotes; a quote inside it is doubled
      // so that it cannot end the quotes early.
      v = v.substr(0, equals + 1) + "\"" + QuoteArgumentValue(v.substr(equals + 1)) + "\"";
    }
    wiProperties += v + " ";
  }
}

void ParseCommandLine(const std::vector<std::string>& arguments, SetupCommandLineInfo& info) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    std::string param = arguments[i];
    bool isFlag = false;
    if (!param.empty() && (param[0] == '-' || param[0] == '/')) {
      param.erase(0, 1);
      isFlag = true;
    }
    info.ParseParam(param, isFlag, i + 1 == arguments.size());
  }
}

}  // namespace setup
