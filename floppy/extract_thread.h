// The extraction worker: runs the copy engine on its own thread and reports
// to the controller window only by sent messages. The window side (the
// thread itself, SendMessage, the disk prompt's message box) is behind
// WorkerLink.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "floppy/disk_set_copier.h"
#include "support/platform.h"

namespace setup {

// What the worker needs of the window system; used on the worker thread.
class WorkerLink {
 public:
  virtual ~WorkerLink() = default;
  // SendMessageA to the controller window: returns once it was handled.
  virtual void Send(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // The disk prompt: a message box with no owner and style (kDiskPromptStyle).
  // Returns the button pressed.
  virtual int ShowDiskPrompt(const std::string& text, const std::string& caption,
                             uint32_t style) = 0;
};

// Retry and Cancel, the question icon, topmost.
constexpr uint32_t kDiskPromptStyle = box::kRetryCancel | box::kIconQuestion | box::kTopmost;

// "Please insert disk number " + n + five blanks.
std::string DiskPromptText(int diskNumber);
// The string table's text for a disk in the drive that cannot be taken:
// one that cannot be read or failed its digest, or one of another set.
std::string DiskFaultText(Messages& messages, int diskNumber, DiskFault fault);
// "Disk Number:     " + n.
std::string DiskNumberLabel(int diskNumber);

class ExtractThread {
 public:
  // cancelRequested is the process-wide flag the controller refreshes while
  // it handles a progress message.
  ExtractThread(CopyEngineState& engine, std::atomic<bool>& cancelRequested)
      : copier(engine), cancelRequested_(cancelRequested) {}

  // On the worker thread, first: clears copyResult and the cancel flag.
  bool InitInstance();
  // The copy: WM_EXTRACT_BEGIN, the engine with its three callbacks, then
  // copyResult (true also when the user cancelled) and WM_EXTRACT_END.
  // Returns the thread's exit code, 1.
  int Run(WorkerLink& link);

  DiskSetCopier copier;
  std::atomic<bool> copyResult{false};
  std::string targetFolder;
  std::string sourceFolder;

 private:
  std::atomic<bool>& cancelRequested_;
};

}  // namespace setup
