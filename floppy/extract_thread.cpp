#include "floppy/extract_thread.h"

#include "floppy/extract_messages.h"
#include "support/text.h"

namespace setup {

std::string DiskPromptText(int diskNumber) {
  return "Please insert disk number " + IntToText(diskNumber) + "     ";
}

std::string DiskNumberLabel(int diskNumber) { return "Disk Number:     " + IntToText(diskNumber); }

bool ExtractThread::InitInstance() {
  copyResult = false;
  cancelRequested_ = false;
  return true;
}

int ExtractThread::Run(WorkerLink& link) {
  link.Send(WM_EXTRACT_BEGIN, 0, 0);

  CopyEngineState& engine = copier.State();
  engine.targetDir = WithOneTrailingBackslash(targetFolder);
  engine.sourceDir = WithOneTrailingBackslash(sourceFolder);

  copier.SetDiskProgressCallback([this, &link](int range, int position) {
    if (cancelRequested_) return false;
    link.Send(WM_EXTRACT_DISK_PROGRESS, static_cast<uintptr_t>(range), position);
    return true;
  });
  copier.SetTotalProgressCallback([&link](int range, int position) {
    link.Send(WM_EXTRACT_TOTAL_PROGRESS, static_cast<uintptr_t>(range), position);
    return true;
  });
  copier.SetPromptCallback([this, &link](int diskNumber, bool missing) {
    if (missing) {
      if (!copier.State().messages.Attended()) return false;  // Cancel: nobody can insert it
      int answer =
          link.ShowDiskPrompt(DiskPromptText(diskNumber), "Please Insert Disk", kDiskPromptStyle);
      if (answer != box::kIdRetry) return false;
    }
    link.Send(WM_EXTRACT_DISK_NUMBER, static_cast<uintptr_t>(diskNumber), 0);
    return true;
  });

  bool ok = false;
  try {
    ok = copier.Start();
  } catch (...) {
    ok = false;  // reported as a failed copy
  }
  copyResult = cancelRequested_ ? true : ok;
  link.Send(WM_EXTRACT_END, 0, 0);
  return 1;
}

}  // namespace setup
