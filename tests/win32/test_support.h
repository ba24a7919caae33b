// What the Win32 test programs share: GoogleTest, scratch files, and a
// machine of real Win32 services whose message boxes are recorded instead
// of shown. Each program includes it once.
#pragma once

#include <windows.h>
// (needs <windows.h> first)
#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "app/setup_context.h"
#include "installer/dispatch_win32.h"
#include "installer/installer_mutex_win32.h"
#include "support/file_system_win32.h"
#include "support/manifest_codec_win32.h"
#include "support/message_boxes_win32.h"
#include "support/process_runner_win32.h"
#include "support/system_info_win32.h"

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

class RecordingBoxes : public setup::MessageBoxes {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t) override {
    shown.push_back(caption + ": " + text);
    if (throwOnFirst && shown.size() == 1) throw std::bad_alloc();
    return setup::box::kIdOk;
  }
  std::vector<std::string> shown;
  bool throwOnFirst = false;
};

struct Win32Machine {
  setup::win32::Win32FileSystem files;
  setup::win32::Win32ProcessRunner processes;
  setup::win32::Win32SystemInfo system;
  RecordingBoxes boxes;
  setup::win32::ResourceStringCatalogue catalogue;
  setup::win32::ComAutomation automation;
  setup::win32::Win32TextCodec text;
  setup::win32::Win32Clock clock;
  setup::win32::Win32InstallerMutex installerMutex;
  setup::Services services{files,      processes, system, boxes,         catalogue,
                           automation, text,      clock,  installerMutex};
  setup::SetupContext context{services};
};

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace
