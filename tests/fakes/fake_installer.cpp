#include "fakes/fake_installer.h"

#include <stdexcept>

namespace setup::testing {
namespace {

void MaybeFail(FakeInstallerState& s, const std::string& member,
               int32_t result = kDispErrorException) {
  if (s.failing.count(member) != 0) throw DispatchError(result, member + " failed");
}

class Counted {
 public:
  explicit Counted(FakeInstallerState& s) : s_(s) { ++s_.liveObjects; }
  ~Counted() { --s_.liveObjects; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;

 protected:
  FakeInstallerState& s_;
};

class FakeRecord : public RecordObject, Counted {
 public:
  FakeRecord(FakeInstallerState& s, std::pair<std::string, std::string> row)
      : Counted(s), row_(std::move(row)) {}
  std::string StringData(int32_t field) override {
    MaybeFail(s_, "StringData");
    if (field == 1) return row_.first;
    if (field == 2) return row_.second;
    return std::string();
  }

 private:
  std::pair<std::string, std::string> row_;
};

class FakeView : public ViewObject, Counted {
 public:
  FakeView(FakeInstallerState& s, std::vector<std::pair<std::string, std::string>> rows)
      : Counted(s), rows_(std::move(rows)) {}
  void Execute() override {
    s_.calls.push_back("Execute");
    MaybeFail(s_, "Execute");
  }
  std::unique_ptr<RecordObject> Fetch() override {
    MaybeFail(s_, "Fetch");
    if (next_ >= rows_.size()) return nullptr;
    return std::make_unique<FakeRecord>(s_, rows_[next_++]);
  }
  void Close() override {
    s_.calls.push_back("ViewClose");
    MaybeFail(s_, "ViewClose");
  }

 private:
  std::vector<std::pair<std::string, std::string>> rows_;
  std::size_t next_ = 0;
};

class FakeDatabase : public DatabaseObject, Counted {
 public:
  FakeDatabase(FakeInstallerState& s, std::vector<std::pair<std::string, std::string>> rows)
      : Counted(s), rows_(std::move(rows)) {}
  std::unique_ptr<ViewObject> OpenView(const std::string& sql) override {
    s_.calls.push_back("OpenView(" + sql + ")");
    MaybeFail(s_, "OpenView");
    return std::make_unique<FakeView>(s_, rows_);
  }
  void Commit() override {
    s_.calls.push_back("Commit");
    MaybeFail(s_, "Commit", s_.commitResult);
  }

 private:
  std::vector<std::pair<std::string, std::string>> rows_;
};

class FakeInstaller : public InstallerObject, Counted {
 public:
  using Counted::Counted;
  std::unique_ptr<DatabaseObject> OpenDatabase(const std::string& path, int32_t mode) override {
    s_.calls.push_back("OpenDatabase(" + path + "," + std::to_string(mode) + ")");
    MaybeFail(s_, "OpenDatabase");
    auto it = s_.packages.find(path);
    if (it != s_.packages.end()) return std::make_unique<FakeDatabase>(s_, it->second);
    if (s_.anyPackage) return std::make_unique<FakeDatabase>(s_, *s_.anyPackage);
    throw DispatchError(kDispErrorException, "OpenDatabase,DatabasePath,OpenMode");
  }
  int32_t GetUILevel() override {
    MaybeFail(s_, "GetUILevel");
    return s_.uiLevel;
  }
  void PutUILevel(int32_t level) override {
    s_.calls.push_back("PutUILevel(" + std::to_string(level) + ")");
    MaybeFail(s_, "PutUILevel");
    s_.uiLevel = level;
  }
  void InstallProduct(const std::string& path, const std::string& properties) override {
    s_.calls.push_back("InstallProduct(" + path + "," + properties + ") at level " +
                       std::to_string(s_.uiLevel));
    if (s_.onInstallProduct) s_.onInstallProduct(path);
    if (s_.failing.count("InstallProduct") != 0) {
      throw DispatchError(kDispErrorException, "InstallProduct,PackagePath,PropertyValues");
    }
  }
};

}  // namespace

int32_t FakeAutomation::InitializeCom() {
  state.calls.push_back("CoInitialize");
  if (state.coInitializeResult >= 0) ++state.comDepth;
  return state.coInitializeResult;
}

void FakeAutomation::UninitializeCom() {
  state.calls.push_back("CoUninitialize");
  --state.comDepth;
}

std::unique_ptr<InstallerObject> FakeAutomation::CreateInstallerObject() {
  state.calls.push_back("CreateInstaller");
  if (state.failing.count("Create") != 0) throw AutomationError{};
  return std::make_unique<FakeInstaller>(state);
}

InstallerMutex::WaitEnd FakeInstallerMutex::Wait(uint32_t milliseconds, bool untilFree,
                                                 bool showWindow) {
  if (++calls_ > 1000000) throw std::logic_error("a wait without end");
  const bool held = clock_.now < heldUntil;
  if (untilFree && !held) return WaitEnd::Free;
  if (milliseconds == 0) return WaitEnd::TimedOut;
  waits.push_back((untilFree ? "wait for the mutex " : "pause ") + std::to_string(milliseconds) +
                  " ms, " + (showWindow ? "window" : "unseen"));
  uint32_t end = clock_.now + milliseconds;
  if (untilFree && heldUntil < end) end = heldUntil;
  if (showWindow && cancelAt && *cancelAt <= end) {
    if (*cancelAt > clock_.now) clock_.now = *cancelAt;
    return WaitEnd::Cancelled;
  }
  clock_.now = end;
  return untilFree && clock_.now >= heldUntil ? WaitEnd::Free : WaitEnd::TimedOut;
}

}  // namespace setup::testing
