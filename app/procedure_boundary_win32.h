// What a window or dialog procedure does with an exception it caught: no
// exception may unwind through the system's frames, and a failure must not
// leave the message loop running with nothing left to end it.
#pragma once

#include <windows.h>

#include "app/controller.h"

namespace setup::win32 {

// The run counts as failed, the user sees the internal error, and the
// message loop ends.
inline void ReportProcedureFailure(ControllerDialog* controller) noexcept {
  if (controller) {
    controller->Context().outcome.Failed();
    try {
      controller->Context().messages.ShowInternalError();
    } catch (...) {
      // Nothing more can be shown; the quit below still ends the run.
    }
  }
  ::PostQuitMessage(0);
}

}  // namespace setup::win32
