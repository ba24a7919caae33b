// The controller window and the language dialog without windows: posted
// messages queue up and the message loop delivers them to the controller;
// the "user" is a callback that acts when the loop would wait.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/language_dialog.h"

namespace setup::testing {

class FakeLanguageView : public LanguageDialogView {
 public:
  bool Create() override;
  bool Exists() const override { return exists; }
  int AddLanguage(const std::string& name, const std::string& code) override;
  int Count() const override { return static_cast<int>(entries.size()); }
  void Select(int index) override { selection = index; }
  int Selection() const override { return selection; }
  std::optional<std::string> CodeAt(int index) const override;
  void ClearEntries() override { entries.clear(); }
  void Show() override { shown = true; }
  void Destroy() override;

  struct Entry {
    std::string name;
    std::optional<std::string> code;
  };
  std::vector<Entry> entries;  // in list order (sorted without regard to case)
  bool exists = false;
  bool shown = false;
  bool failCreate = false;
  int selection = -1;
  int created = 0;
  int destroyed = 0;
};

class FakeControllerWindow : public ControllerWindow {
 public:
  bool Create(ControllerDialog& controller) override;
  void Destroy() override { exists = false; }
  void PostSetupInstall() override { queue.push_back(Posted::SetupInstall); }
  void PostQuit() override { queue.push_back(Posted::Quit); }
  void PostQuitToWindow() override { queue.push_back(Posted::Quit); }
  void RunMessageLoop() override;
  intptr_t SendSetupInstall() override;

  enum class Posted { SetupInstall, Quit };
  std::deque<Posted> queue;
  // Acts for the user whenever the loop has nothing to deliver; returns
  // false when the user has nothing more to do. A real loop would then hang:
  // this one sets loopStalled and returns, and fails the test unless
  // stallExpected.
  std::function<bool()> user;
  // Set by a fake worker: handles one message the worker sent (true when
  // there was one), and waits a while for the next one.
  std::function<bool()> pumpSent;
  std::function<bool()> waitForSent;
  bool failCreate = false;
  bool exists = false;
  bool loopRan = false;
  bool loopStalled = false;
  bool stallExpected = false;
  int setupInstallSends = 0;

  ControllerDialog& Controller() { return *controller_; }

 private:
  ControllerDialog* controller_ = nullptr;
};

}  // namespace setup::testing
