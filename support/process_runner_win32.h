// ProcessRunner over CreateProcess (and ShellExecuteEx for programs that
// need elevation), waiting by polling the exit code.
#pragma once

#include "support/child_process.h"
#include "support/platform.h"

namespace setup::win32 {

class Win32ProcessStarter final : public ProcessStarter {
 public:
  // Arguments of 65,000 characters or more are refused.
  StartResult Create(const std::string& program, const std::string& arguments) override;
  StartResult ShellStart(const std::string& program, const std::string& arguments) override;
  void Pause(uint32_t milliseconds) override;
};

class Win32ProcessRunner final : public ProcessRunner {
 public:
  // Blocks the calling thread without pumping messages until the child
  // ends.
  uint32_t Run(const std::string& program, const std::string& arguments) override;

 private:
  Win32ProcessStarter starter_;
};

}  // namespace setup::win32
