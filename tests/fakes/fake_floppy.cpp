#include "fakes/fake_floppy.h"

#include <gtest/gtest.h>

#include <chrono>

namespace setup::testing {

bool FakeProgressView::Create(ExtractProgressDialog& d) {
  if (failCreate) return false;
  dialog = &d;
  exists = true;
  ++created;
  return true;
}

void FakeProgressView::SetTotalProgress(int range, int position) {
  events.push_back("total " + std::to_string(range) + "/" + std::to_string(position));
  if (afterProgress) afterProgress();
}

void FakeProgressView::SetDiskProgress(int range, int position) {
  events.push_back("disk " + std::to_string(range) + "/" + std::to_string(position));
  if (afterProgress) afterProgress();
}

void FakeProgressView::SetDiskNumberText(const std::string& text) {
  label = text;
  events.push_back(text);
}

TempSpaceDialogView::Result FakeTempSpaceDialog::RunModal(const std::string& path,
                                                          std::string& chosen) {
  shownPaths.push_back(path);
  return user ? user(path, chosen) : Result::Exit;
}

FakeWorkerThreads::FakeWorkerThreads(FakeControllerWindow& window, RecordingMessageBoxes& boxes)
    : window_(window), boxes_(boxes) {
  window_.pumpSent = [this] { return HandleOne(); };
  window_.waitForSent = [this] { return WaitForSent(200); };
}

FakeWorkerThreads::~FakeWorkerThreads() {
  if (thread_.joinable()) {
    CancelPrompt();
    // A test that failed may leave the worker waiting in Send: answer it.
    while (!WaitForEnd(100)) {
    }
    thread_.join();
  }
  window_.pumpSent = nullptr;
  window_.waitForSent = nullptr;
}

bool FakeWorkerThreads::Start(ExtractThread& thread) {
  if (failStart) return false;
  thread_ = std::thread([this, &thread] {
    thread.InitInstance();
    thread.Run(*this);
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  });
  return true;
}

void FakeWorkerThreads::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Sent sent{message, wParam, lParam};
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return pending_ == nullptr; });
  pending_ = &sent;
  changed_.notify_all();
  changed_.wait(lock, [&sent] { return sent.done; });
}

int FakeWorkerThreads::ShowDiskPrompt(const std::string& text, const std::string& caption,
                                      uint32_t style) {
  boxes_.Show(text, caption, style);
  if (promptAnswer) return promptAnswer(text);
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::minutes(1), [this] { return promptCancelled_; })) {
    ADD_FAILURE() << "a disk prompt was left open: nobody would ever answer it";
  }
  promptCancelled_ = false;
  return box::kIdCancel;
}

void FakeWorkerThreads::CancelPrompt() {
  std::lock_guard<std::mutex> lock(mutex_);
  promptCancelled_ = true;
  changed_.notify_all();
}

bool FakeWorkerThreads::HandleOne() {
  Sent* sent = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sent = pending_;
  }
  if (sent == nullptr) return false;
  // Handled outside the lock: the handler may run a whole stage.
  window_.Controller().HandleMessage(sent->message, sent->wParam, sent->lParam);
  std::lock_guard<std::mutex> lock(mutex_);
  sent->done = true;
  pending_ = nullptr;
  changed_.notify_all();
  return true;
}

bool FakeWorkerThreads::WaitForSent(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!thread_.joinable() || finished_) return false;
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [this] { return pending_ != nullptr || finished_; });
}

bool FakeWorkerThreads::WaitForEnd(uint32_t milliseconds) {
  if (!thread_.joinable()) return true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    while (HandleOne()) {
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (finished_) return true;
    if (!changed_.wait_until(lock, deadline, [this] { return pending_ != nullptr || finished_; })) {
      return false;
    }
  }
}

}  // namespace setup::testing
