#include "fakes/fake_machine.h"

namespace setup::testing {

std::vector<std::string> FakeMachine::Shown() const {
  std::vector<std::string> out;
  for (const auto& b : boxes.Shown()) out.push_back(b.caption + ": " + b.text);
  return out;
}

std::vector<std::string> FakeMachine::Installs() const {
  std::vector<std::string> out;
  for (const auto& r : processes.runs)
    if (r.program == kMsiexec) out.push_back(r.arguments);
  return out;
}

std::vector<std::string> FakeMachine::BootstrapRuns() const {
  std::vector<std::string> out;
  for (const auto& r : processes.runs)
    if (r.program != kMsiexec) out.push_back(r.program + "|" + r.arguments);
  return out;
}

bool FakeMachine::DatabaseOpened() const {
  for (const auto& c : automation.state.calls)
    if (c.rfind("OpenDatabase", 0) == 0) return true;
  return false;
}

}  // namespace setup::testing
