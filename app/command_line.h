// SetupCommandLineInfo: the five options of the command line.
#pragma once

#include <string>
#include <vector>

namespace setup {

class SetupCommandLineInfo {
 public:
  // Called for every argument after the program name, left to right, with
  // a leading '-' or '/' already removed.
  void ParseParam(const std::string& param, bool isFlag, bool isLast);

  std::string silentInstallPath;
  std::string wiProperties;
  bool silent = false;
  bool extraSilent = false;
  bool verboseLog = false;
};

// Feeds every argument after the program name (arguments[0]) to ParseParam,
// removing one leading '-' or '/' first.
void ParseCommandLine(const std::vector<std::string>& arguments, SetupCommandLineInfo& info);

}  // namespace setup
