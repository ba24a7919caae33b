// ProcessRunner over CreateProcessA, waiting by polling the exit code.
#pragma once

#include "support/platform.h"

namespace setup::win32 {

class Win32ProcessRunner final : public ProcessRunner {
 public:
  // Blocks the calling thread without pumping messages until the child
  // ends. Arguments of 65,000 characters or more are refused with
  // ProcessLaunchError.
  uint32_t Run(const std::string& program, const std::string& arguments) override;
};

}  // namespace setup::win32
