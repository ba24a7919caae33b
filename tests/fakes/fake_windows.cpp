#include "fakes/fake_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace setup::testing {
namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

bool FakeLanguageView::Create() {
  if (failCreate) return false;
  exists = true;
  ++created;
  return true;
}

int FakeLanguageView::AddLanguage(const std::string& name, const std::string& code) {
  auto at =
      std::upper_bound(entries.begin(), entries.end(), name,
                       [](const std::string& n, const Entry& e) { return LessNoCase(n, e.name); });
  Entry entry{name, code.empty() ? std::nullopt : std::optional<std::string>(code)};
  return static_cast<int>(entries.insert(at, entry) - entries.begin());
}

std::optional<std::string> FakeLanguageView::CodeAt(int index) const {
  if (index < 0 || index >= Count()) return std::nullopt;
  return entries[static_cast<std::size_t>(index)].code;
}

void FakeLanguageView::Destroy() {
  entries.clear();
  exists = false;
  shown = false;
  ++destroyed;
}

bool FakeControllerWindow::Create(ControllerDialog& controller) {
  if (failCreate) return false;
  controller_ = &controller;
  exists = true;
  return true;
}

void FakeControllerWindow::RunMessageLoop() {
  loopRan = true;
  for (;;) {
    if (pumpSent && pumpSent()) continue;
    if (queue.empty()) {
      if (waitForSent && waitForSent()) continue;
      if (!user || !user()) {
        // A real loop would wait here for ever.
        loopStalled = true;
        if (!stallExpected) ADD_FAILURE() << "the run posted no quit message and would hang";
        return;
      }
      continue;
    }
    Posted message = queue.front();
    queue.pop_front();
    if (message == Posted::Quit) return;
    controller_->OnSetupInstall();
  }
}

intptr_t FakeControllerWindow::SendSetupInstall() {
  ++setupInstallSends;
  controller_->OnSetupInstall();
  return 0;
}

}  // namespace setup::testing
