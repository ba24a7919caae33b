// Where the program's dialogs come up.
#pragma once

#include <windows.h>

namespace setup::win32 {

// The templates carry no position worth keeping, and the dialogs' owner (if
// any) is the invisible controller window: they come up in the middle of
// the work area.
inline void CenterOnWorkArea(HWND window) {
  RECT area;
  RECT box;
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) || !::GetWindowRect(window, &box))
    return;
  const int x = area.left + ((area.right - area.left) - (box.right - box.left)) / 2;
  const int y = area.top + ((area.bottom - area.top) - (box.bottom - box.top)) / 2;
  ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace setup::win32
