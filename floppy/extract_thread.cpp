#include "floppy/extract_thread.h"

#include "floppy/extract_messages.h"
#include "support/text.h"

namespace setup {

std::string DiskPromptText(int diskNumber) {
  return "Please insert disk number " + IntToText(diskNumber) + "     ";
}

std::string DiskFaultText(Messages& messages, int diskNumber, DiskFault fault) {
  std::string pattern =
      messages.Text(fault == DiskFault::WrongDisk ? kTextNotThisDisk : kTextDiskUnreadable);
  if (pattern.empty()) pattern = "Please insert disk number %1";
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '1') {
      text += IntToText(diskNumber);
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
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
  Messages& messages = copier.State().messages;
  // Retry or Cancel; Cancel where nobody could put a disk in.
  auto retry = [&messages, &link](const std::string& text) {
    return messages.Attended() &&
           link.ShowDiskPrompt(text, "Please Insert Disk", kDiskPromptStyle) == box::kIdRetry;
  };
  copier.SetPromptCallback([&link, retry](int diskNumber, bool missing) {
    if (missing && !retry(DiskPromptText(diskNumber))) return false;
    link.Send(WM_EXTRACT_DISK_NUMBER, static_cast<uintptr_t>(diskNumber), 0);
    return true;
  });
  copier.SetFaultCallback([&messages, retry](int diskNumber, DiskFault fault) {
    return retry(DiskFaultText(messages, diskNumber, fault));
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
