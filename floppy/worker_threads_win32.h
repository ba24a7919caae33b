// The extraction worker's thread and its link to the controller window: the
// worker's messages are sent with SendMessageA, its disk prompt is a message
// box on the worker thread.
#pragma once

#include <windows.h>

#include "floppy/extraction_views.h"
#include "support/dialog_procedure_win32.h"
#include "support/handles_win32.h"

namespace setup::win32 {

class Win32WorkerThreads final : public WorkerThreads, private WorkerLink {
 public:
  // The worker's messages go to owner's window, which must exist when
  // Start is called.
  explicit Win32WorkerThreads(DialogOwner& owner) : owner_(owner) {}
  Win32WorkerThreads(const Win32WorkerThreads&) = delete;
  Win32WorkerThreads& operator=(const Win32WorkerThreads&) = delete;
  // Cancels a disk prompt and waits a bounded time for the worker; a worker
  // that still has not ended is left to the end of the process.
  ~Win32WorkerThreads() override;

  // One worker per object: false when one was already started.
  bool Start(ExtractThread& thread) override;
  bool WaitForEnd(uint32_t milliseconds) override;
  void CancelPrompt() override;
  // TerminateProcess: the worker is stopped with the rest of the process,
  // before anything it uses is destroyed.
  [[noreturn]] void EndProcess(uint32_t exitCode) override;

 private:
  static DWORD WINAPI ThreadProc(void* parameter);
  DWORD RunWorker() noexcept;
  // WorkerLink, on the worker thread.
  void Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  int ShowDiskPrompt(const std::string& text, const std::string& caption, uint32_t style) override;

  DialogOwner& owner_;
  // The process-wide target of the worker's messages: written before the
  // thread starts, only read after.
  HWND controllerWindow_ = nullptr;
  ExtractThread* thread_ = nullptr;
  KernelHandle handle_;
  DWORD threadId_ = 0;
  // Worker thread only: whether WM_EXTRACT_END went out.
  bool endSent_ = false;
};

}  // namespace setup::win32
