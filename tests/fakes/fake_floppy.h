// The windows of the floppy route without windows. The worker runs on a
// real thread; its "sent" messages wait until the controller's message loop
// (FakeControllerWindow) has handled them, as SendMessage does.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/controller.h"
#include "fakes/fake_ui.h"
#include "fakes/fake_windows.h"
#include "floppy/extraction_views.h"

namespace setup::testing {

class FakeProgressView : public ExtractProgressView {
 public:
  bool Create(ExtractProgressDialog& dialog) override;
  void Destroy() override { exists = false; }
  bool Exists() const override { return exists; }
  void SetTotalProgress(int range, int position) override;
  void SetDiskProgress(int range, int position) override;
  void SetDiskNumberText(const std::string& text) override;

  ExtractProgressDialog* dialog = nullptr;
  bool failCreate = false;
  bool exists = false;
  int created = 0;
  std::string label = "Disk Number:     1";
  std::vector<std::string> events;  // "total 10/5", "disk 8/5", labels
  // Called after every progress update (the user may press Exit there).
  std::function<void()> afterProgress;
};

class FakeTempSpaceDialog : public TempSpaceDialogView {
 public:
  Result RunModal(const std::string& path, std::string& chosen) override;
  std::vector<std::string> shownPaths;
  std::function<Result(const std::string& path, std::string& chosen)> user;
};

class FakeWorkerThreads : public WorkerThreads, private WorkerLink {
 public:
  FakeWorkerThreads(FakeControllerWindow& window, RecordingMessageBoxes& boxes);
  ~FakeWorkerThreads() override;

  bool Start(ExtractThread& thread) override;
  bool WaitForEnd(uint32_t milliseconds) override;
  void CancelPrompt() override;
  // No test lets a worker hang: reaching this is a fault of the run.
  [[noreturn]] void EndProcess(uint32_t) override { std::abort(); }

  bool failStart = false;
  // Answers a disk prompt on the worker thread; unset: wait until
  // CancelPrompt and answer Cancel, as a message box nobody answers waits
  // forever (a prompt left open for a minute fails the test).
  std::function<int(const std::string& text)> promptAnswer;

 private:
  struct Sent {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    bool done = false;
  };
  // WorkerLink, on the worker thread.
  void Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  int ShowDiskPrompt(const std::string& text, const std::string& caption, uint32_t style) override;
  // On the user-interface thread: handles one pending sent message.
  bool HandleOne();
  bool WaitForSent(uint32_t milliseconds);

  FakeControllerWindow& window_;
  RecordingMessageBoxes& boxes_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Sent* pending_ = nullptr;
  bool finished_ = false;
  bool promptCancelled_ = false;
};

}  // namespace setup::testing
