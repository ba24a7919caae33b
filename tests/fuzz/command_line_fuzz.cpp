// Arbitrary argument vectors: the parser must never crash, and what it
// collects must keep its shape: every property ends in a blank and the
// silent install path is one of the arguments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments{"SETUP.EXE"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  arguments.push_back(current);

  setup::SetupCommandLineInfo info;
  setup::ParseCommandLine(arguments, info);

  if (!info.wiProperties.empty() && info.wiProperties.back() != ' ') std::abort();
  if (info.extraSilent && !info.silent) std::abort();
  if (!info.silentInstallPath.empty()) {
    bool fromArguments = false;
    for (const std::string& a : arguments) {
      std::string stripped = (!a.empty() && (a[0] == '-' || a[0] == '/')) ? a.substr(1) : a;
      if (stripped == info.silentInstallPath) fromArguments = true;
    }
    if (!fromArguments) std::abort();
  }
  // Quotes inside property values are doubled, so the quotes stay balanced
  // whenever no property has a quote outside its value (in its name, or in
  // a property without "=", which is passed on as it is).
  bool quotesOnlyInValues = true;
  for (const std::string& a : arguments) {
    std::string stripped = (!a.empty() && (a[0] == '-' || a[0] == '/')) ? a.substr(1) : a;
    if (stripped.size() < 3 || (stripped[0] | 0x20) != 'w' || (stripped[1] | 0x20) != 'i' ||
        stripped[2] != ':') {
      continue;
    }
    size_t equals = stripped.find('=');
    if (stripped.substr(0, equals).find('"') != std::string::npos) quotesOnlyInValues = false;
  }
  size_t quotes = 0;
  for (char c : info.wiProperties) quotes += c == '"';
  if (quotesOnlyInValues && quotes % 2 != 0) std::abort();
  return 0;
}
