#include "installer/installer_mutex_win32.h"

#include "resources/resource.h"
#include "support/handles_win32.h"
#include "support/text_win32.h"
#include "support/window_placement_win32.h"

namespace setup::win32 {
namespace {

// Takes the mutex if it is free and hands it back at once. True when it was
// free (also when its owner ended without releasing it) or cannot be waited
// for.
bool TakeIfFree(HANDLE mutex) {
  const DWORD result = ::WaitForSingleObject(mutex, 0);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ::ReleaseMutex(mutex);
  return result != WAIT_TIMEOUT;
}

// Handles the queued messages. False when the wait must end: the window's
// Cancel, or a quit message, which is posted again for the run's loop.
bool HandleMessages(BusyWindow& window) {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (window.Exists() && ::IsDialogMessageA(window.Window(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return !window.Cancelled();
}

}  // namespace

Win32InstallerMutex::Win32InstallerMutex()
    : name_(InstallerMutexName(LOBYTE(LOWORD(::GetVersion())))) {}

InstallerMutex::WaitEnd Win32InstallerMutex::Wait(uint32_t milliseconds, bool untilFree,
                                                  bool showWindow) {
  KernelHandle mutex;
  if (untilFree) {
    mutex.reset(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name_));
    if (!mutex.valid() || TakeIfFree(mutex.get())) return WaitEnd::Free;
  }
  BusyWindow window(showWindow);
  HANDLE handles[] = {mutex.get()};
  const DWORD count = mutex.valid() ? 1 : 0;
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= milliseconds) return WaitEnd::TimedOut;
    const DWORD woken =
        ::MsgWaitForMultipleObjects(count, handles, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0 + count) {
      if (!HandleMessages(window)) return WaitEnd::Cancelled;
      continue;
    }
    if (woken == WAIT_TIMEOUT) return WaitEnd::TimedOut;
    if (count == 1 && (woken == WAIT_OBJECT_0 || woken == WAIT_ABANDONED_0)) {
      // Taken as it came free (or as its owner ended without releasing it).
      ::ReleaseMutex(mutex.get());
      return WaitEnd::Free;
    }
    // The wait itself failed: the installation's own answer tells the rest.
    return untilFree ? WaitEnd::Free : WaitEnd::TimedOut;
  }
}

BusyWindow::BusyWindow(bool show) {
  if (show) {
    window_.reset(CreateProgramDialog(IDD_BUSY, nullptr, DialogProcedure<BusyWindow>,
                                      reinterpret_cast<LPARAM>(this)));
  }
}

INT_PTR BusyWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterOnWorkArea(window);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL) return FALSE;
      cancelled_ = true;
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace setup::win32
