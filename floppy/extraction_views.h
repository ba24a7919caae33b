// The windows of the floppy route as the controller sees them: the progress
// dialog, the free-space dialog and the worker thread.
#pragma once

#include <cstdint>
#include <string>

#include "floppy/extract_thread.h"
#include "floppy/temp_space.h"

namespace setup {

class ExtractProgressDialog;

// The "Extracting files ..." dialog (template 136).
class ExtractProgressView {
 public:
  virtual ~ExtractProgressView() = default;
  // Creates the window modeless, owned by the controller window; the
  // template is visible. Its Exit button calls dialog.OnExitPressed().
  virtual bool Create(ExtractProgressDialog& dialog) = 0;
  virtual void Destroy() = 0;
  virtual bool Exists() const = 0;
  // Sets the bar's range to 0..range, then its position.
  virtual void SetTotalProgress(int range, int position) = 0;
  virtual void SetDiskProgress(int range, int position) = 0;
  virtual void SetDiskNumberText(const std::string& text) = 0;
};

// The progress dialog's own state; user-interface thread only.
class ExtractProgressDialog {
 public:
  explicit ExtractProgressDialog(ExtractProgressView& view) : view_(view) {}
  ExtractProgressView& View() { return view_; }
  void OnExitPressed() { exitPressed = true; }
  void SetDiskNumber(int diskNumber) { view_.SetDiskNumberText(DiskNumberLabel(diskNumber)); }

  bool exitPressed = false;

 private:
  ExtractProgressView& view_;
};

// The worker thread as the user-interface thread sees it.
class WorkerThreads {
 public:
  virtual ~WorkerThreads() = default;
  // Starts a thread that runs thread.InitInstance() and thread.Run() with a
  // link to the controller window. False when no thread could be started.
  virtual bool Start(ExtractThread& thread) = 0;
  // Waits up to milliseconds for the worker to end while handling the
  // messages it sends, so it can never block on this thread. True when it
  // has ended (or none was started).
  virtual bool WaitForEnd(uint32_t milliseconds) = 0;
  // Answers a disk prompt the worker shows with Cancel.
  virtual void CancelPrompt() = 0;
  // Ends the process at once with exitCode. For a worker that could not be
  // stopped: the objects it uses must not be destroyed under it. Never
  // returns.
  [[noreturn]] virtual void EndProcess(uint32_t exitCode) = 0;
};

struct FloppyViews {
  ExtractProgressView& progress;
  TempSpaceDialogView& tempSpace;
  WorkerThreads& threads;
};

}  // namespace setup
