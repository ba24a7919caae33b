// What the Win32 test programs share: GoogleTest and scratch files. Each
// program includes it once.
#pragma once

#include <windows.h>
// (needs <windows.h> first)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

// The scratch folder of this process below the temporary folder, named
// after the program; made on first use.
const std::string& Root() {
  static const std::string root = [] {
    char buffer[MAX_PATH];
    GetTempPathA(MAX_PATH, buffer);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string name = module;
    name = name.substr(name.find_last_of('\\') + 1);
    name = name.substr(0, name.find('.'));
    std::string path = std::string(buffer) + name + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
  }();
  return root;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace
