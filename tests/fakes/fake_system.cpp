#include "fakes/fake_system.h"

#include <algorithm>
#include <stdexcept>

#include "support/text.h"

namespace setup::testing {

uint32_t FakeProcessRunner::Run(const std::string& program, const std::string& arguments) {
  if (unstartable.count(program) != 0) throw ProcessLaunchError(program);
  if (const uint32_t error = refuseStart ? refuseStart(program) : 0) {
    throw ProcessLaunchError(program, error);
  }
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

uint32_t FakeSystemInfo::RandomNumber() {
  const std::size_t draw = draws++;
  if (randomNumbers.empty()) return static_cast<uint32_t>(draw * 0x9E3779B9u);
  return randomNumbers[draw % randomNumbers.size()];
}

const std::map<char, std::string> kAnsiLetters = {
    {'\x80', "\u20AC"}, {'\xC4', "\u00C4"}, {'\xE9', "\u00E9"}, {'\xFC', "\u00FC"}};

std::optional<std::string> FakeTextCodec::FromAnsi(const std::string& text) {
  if (ansiProgram) return text;
  std::string result;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x80) {
      result += c;
      continue;
    }
    auto letter = kAnsiLetters.find(c);
    if (letter == kAnsiLetters.end()) return std::nullopt;
    result += letter->second;
  }
  return result;
}

std::optional<std::string> FakeTextCodec::FromUtf8(const std::string& text) {
  if (!IsValidUtf8(text)) return std::nullopt;
  if (!ansiProgram) return text;
  std::string result;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string character = text.substr(i, length);
    i += length;
    if (length == 1) {
      result += character;
      continue;
    }
    auto letter = std::find_if(kAnsiLetters.begin(), kAnsiLetters.end(),
                               [&](const auto& entry) { return entry.second == character; });
    if (letter == kAnsiLetters.end()) return std::nullopt;
    result += letter->first;
  }
  return result;
}

}  // namespace setup::testing
