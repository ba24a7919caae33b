#include "floppy/worker_threads_win32.h"

#include "floppy/extract_messages.h"
#include "support/text_win32.h"

namespace setup::win32 {
namespace {

// What the destructor grants a worker that is still running: long enough to
// leave a chunk or close its prompt (Wine without a window manager waits two
// seconds for a hidden window), short enough that the process always ends.
constexpr uint32_t kDestructorWait = 5000;

BOOL CALLBACK CancelIfDialog(HWND window, LPARAM) {
  char className[16] = {};
  if (::GetClassNameA(window, className, sizeof(className)) > 0 &&
      lstrcmpA(className, "#32770") == 0) {
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  return TRUE;
}

}  // namespace

Win32WorkerThreads::~Win32WorkerThreads() {
  if (!handle_.valid()) return;
  CancelPrompt();
  WaitForEnd(kDestructorWait);
}

bool Win32WorkerThreads::Start(ExtractThread& thread) {
  if (handle_.valid()) return false;
  controllerWindow_ = owner_.Handle();
  if (!controllerWindow_) return false;
  thread_ = &thread;
  endSent_ = false;
  DWORD id = 0;
  handle_.reset(::CreateThread(nullptr, 0, ThreadProc, this, 0, &id));
  if (!handle_.valid()) return false;
  threadId_ = id;
  return true;
}

bool Win32WorkerThreads::WaitForEnd(uint32_t milliseconds) {
  if (!handle_.valid()) return true;
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD elapsed = ::GetTickCount() - start;
    const DWORD left = elapsed >= milliseconds ? 0 : milliseconds - elapsed;
    HANDLE thread = handle_.get();
    const DWORD woken = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0) return true;
    if (woken != WAIT_OBJECT_0 + 1) return false;  // time is up, or the wait failed
    // Handles the messages the worker is blocked on; nothing else is taken
    // from the queue, so a quit message already received stays handled.
    MSG message;
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void Win32WorkerThreads::CancelPrompt() {
  // The disk prompt is the only dialog the worker thread ever shows.
  if (threadId_ != 0) ::EnumThreadWindows(threadId_, CancelIfDialog, 0);
}

void Win32WorkerThreads::EndProcess(uint32_t exitCode) {
  ::TerminateProcess(::GetCurrentProcess(), exitCode);
  ::ExitProcess(exitCode);  // only if the termination itself failed
}

DWORD WINAPI Win32WorkerThreads::ThreadProc(void* parameter) {
  return static_cast<Win32WorkerThreads*>(parameter)->RunWorker();
}

DWORD Win32WorkerThreads::RunWorker() noexcept {
  DWORD exitCode = 0;
  try {
    if (thread_->InitInstance()) exitCode = static_cast<DWORD>(thread_->Run(*this));
  } catch (...) {
    exitCode = 0;
  }
  // Whatever went wrong, the controller hears of the end, as a failed copy,
  // so the user-interface thread never waits for it.
  if (!endSent_) {
    thread_->copyResult = false;
    Send(WM_EXTRACT_END, 0, 0);
  }
  return exitCode;
}

void Win32WorkerThreads::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_EXTRACT_END) endSent_ = true;
  ::SendMessageA(controllerWindow_, message, wParam, lParam);
}

int Win32WorkerThreads::ShowDiskPrompt(const std::string& text, const std::string& caption,
                                       uint32_t style) {
  return ShowMessageBox(text, caption, style);
}

}  // namespace setup::win32
