// What the Win32 test programs share: checks that count failures instead of
// stopping, and scratch files. Each program includes it once.
#pragma once

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int failures = 0;
std::string currentGroup;

void Check(bool ok, const char* what, int line) {
  if (ok) return;
  ++failures;
  std::printf("FAIL [%s] line %d: %s\n", currentGroup.c_str(), line, what);
}
#define CHECK(cond) Check((cond), #cond, __LINE__)
#define CHECK_EQ(a, b)                                                        \
  do {                                                                        \
    const auto& checkA = (a);                                                 \
    const auto& checkB = (b);                                                 \
    if (!(checkA == checkB)) {                                                \
      std::ostringstream out;                                                 \
      out << #a << " == " << #b << " (" << checkA << " vs " << checkB << ")"; \
      Check(false, out.str().c_str(), __LINE__);                              \
    }                                                                         \
  } while (0)

// A scratch folder of this process below the temporary folder, named after
// the program.
std::string TempRoot(const char* program) {
  char buffer[MAX_PATH];
  GetTempPathA(MAX_PATH, buffer);
  std::string root =
      std::string(buffer) + program + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(root.c_str(), nullptr);
  return root;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace
