#include "fakes/fake_system.h"

#include <stdexcept>

namespace setup::testing {

uint32_t FakeProcessRunner::Run(const std::string& program, const std::string& arguments) {
  if (unstartable.count(program) != 0) throw ProcessLaunchError(program);
  runs.push_back({program, arguments});
  if (onRun) onRun(runs.back());
  auto it = exitCodes.find(program);
  return it == exitCodes.end() ? 0 : it->second;
}

namespace {

class FakeChild : public ChildProcess {
 public:
  explicit FakeChild(FakeProcessStarter& starter) : starter_(starter) {}
  WaitResult Wait(uint32_t) override {
    if (starter_.polls >= starter_.steps.size()) {
      throw std::logic_error("the child was polled after its last step");
    }
    return starter_.steps[starter_.polls++].wait;
  }
  std::optional<uint32_t> ExitCode() override {
    if (starter_.polls == 0) throw std::logic_error("exit code read before the first wait");
    return starter_.steps[starter_.polls - 1].code;
  }

 private:
  FakeProcessStarter& starter_;
};

}  // namespace

StartResult FakeProcessStarter::Create(const std::string& program, const std::string& arguments) {
  calls.push_back("Create " + program + "|" + arguments);
  return Start(createError);
}

StartResult FakeProcessStarter::ShellStart(const std::string& program,
                                           const std::string& arguments) {
  calls.push_back("ShellExecute " + program + "|" + arguments);
  return Start(shellError);
}

StartResult FakeProcessStarter::Start(uint32_t error) {
  StartResult result;
  result.error = error;
  if (error == 0) result.child = std::make_unique<FakeChild>(*this);
  return result;
}

std::optional<FileVersion> FakeSystemInfo::GetFileVersion(const std::string& path) {
  auto it = versions.find(path);
  if (it == versions.end()) return std::nullopt;
  return it->second;
}

}  // namespace setup::testing
