#include "fakes/fake_system.h"

namespace setup::testing {

uint32_t FakeProcessRunner::Run(const std::string& program, const std::string& arguments) {
  if (unstartable.count(program) != 0) throw ProcessLaunchError(program);
  runs.push_back({program, arguments});
  if (onRun) onRun(runs.back());
  auto it = exitCodes.find(program);
  return it == exitCodes.end() ? 0 : it->second;
}

std::optional<FileVersion> FakeSystemInfo::GetFileVersion(const std::string& path) {
  auto it = versions.find(path);
  if (it == versions.end()) return std::nullopt;
  return it->second;
}

}  // namespace setup::testing
