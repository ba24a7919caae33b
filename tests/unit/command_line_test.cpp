#include "app/command_line.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

struct Expected {
  bool silent = false;
  bool extraSilent = false;
  bool verboseLog = false;
  std::string silentInstallPath;
  std::string wiProperties;
};

SetupCommandLineInfo Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "SETUP.EXE");
  SetupCommandLineInfo info;
  ParseCommandLine(args, info);
  return info;
}

TEST(CommandLine, SwitchesPropertiesAndSilentPath) {
  struct Row {
    std::vector<std::string> args;
    Expected expected;
  } rows[] = {
      {{}, {}},
      {{"/s", "D:\\Apps"}, {true, false, false, "D:\\Apps", ""}},
      {{"D:\\Apps", "/s"}, {true, false, false, "", ""}},
      {{"/s", "first", "second"}, {true, false, false, "second", ""}},
      {{"-S", "/L"}, {true, false, true, "", ""}},
      {{"S"}, {true, false, false, "", ""}},
      {{"/es", "C:\\X"}, {true, true, false, "C:\\X", ""}},
      {{"/silent", "/q", "/log"}, {}},
      {{"/s", "/silent"}, {true, false, false, "silent", ""}},
      {{"/s", "/Q"}, {true, false, false, "Q", ""}},
      {{"/l", "/l", "/s", "/s"}, {true, false, true, "", ""}},
      {{"/WI:Name=x"}, {false, false, false, "", "Name=\"x\" "}},
      {{"wi:A=b=c"}, {false, false, false, "", "A=\"b=c\" "}},
      {{"wi:FLAG"}, {false, false, false, "", "FLAG "}},
      {{"wi:INSTALLDIR=C:\\Program Files\\App"},
       {false, false, false, "", "INSTALLDIR=\"C:\\Program Files\\App\" "}},
      {{"/s", "wi:A=1", "Path"}, {true, false, false, "Path", "A=\"1\" "}},
      {{"wi:A=1", "Wi:B=2"}, {false, false, false, "", "A=\"1\" B=\"2\" "}},
      // A quote inside a value is doubled so it cannot close the quotes.
      {{"wi:A=x\" B=\"y"}, {false, false, false, "", "A=\"x\"\" B=\"\"y\" "}},
      {{"wi:A="}, {false, false, false, "", "A=\"\" "}},
  };
  for (const Row& row : rows) {
    std::string trace;
    for (const auto& a : row.args) trace += "[" + a + "]";
    SCOPED_TRACE(trace);
    SetupCommandLineInfo info = Parse(row.args);
    EXPECT_EQ(info.silent, row.expected.silent);
    EXPECT_EQ(info.extraSilent, row.expected.extraSilent);
    EXPECT_EQ(info.verboseLog, row.expected.verboseLog);
    EXPECT_EQ(info.silentInstallPath, row.expected.silentInstallPath);
    EXPECT_EQ(info.wiProperties, row.expected.wiProperties);
  }
}

TEST(CommandLine, OnlyOneLeadingMarkIsRemoved) {
  // "//s" is not the switch s: after one mark it reads "/s".
  SetupCommandLineInfo info = Parse({"//s"});
  EXPECT_FALSE(info.silent);
  info = Parse({"/s", "--x"});
  EXPECT_EQ(info.silentInstallPath, "-x");
}

}  // namespace
}  // namespace setup
