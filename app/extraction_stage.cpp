// The floppy route: the free-space check of the temporary folder, the
// extraction worker and its progress dialog, and the cleanup afterwards.
#include "app/controller.h"
#include "support/busy_files.h"

namespace setup {

bool ControllerDialog::RunExtractionStage() {
  if (floppy_ == nullptr) {
    ReportFailure(9);
    return false;
  }
  std::string tempFolder;
  context_.fileUtils.GetTempFolder(tempFolder);
  packagePath = tempFolder;
  context_.engine.manifest.SetFile(sourceFolder + "Files.id");
  context_.engine.manifest.Load(false);  // an unreadable manifest fails the copy later
  if (!copier.RunIsAcceptable()) {
    ReportFailure(9);
    return false;
  }
  const int64_t required = copier.TotalSize();
  packageName = "Setup.msi";
  if (!CheckTempSpace(tempFolder, required)) return false;

  // The run's own folder inside the accepted one: the files of the set are
  // copied there and removed with it at the end.
  acceptedFolder = tempFolder;
  if (!CreateExtractionFolder(context_.services.files, context_.services.system, acceptedFolder,
                              extractionFolder)) {
    ReportFailure(9);
    return false;
  }
  packagePath = extractionFolder;
  return StartDiskExtraction(extractionFolder, sourceFolder);
}

bool ControllerDialog::CheckTempSpace(std::string& folder, int64_t required) {
  // A folder whose free space cannot be read is reported (message 10); any
  // other false means the user chose Exit.
  const bool readable = context_.services.files.FreeSpace(folder).has_value();
  if (setup::CheckTempSpace(context_.fileUtils, context_.messages, floppy_->tempSpace, folder,
                            required, tempFolderCreated)) {
    return true;
  }
  if (readable) {
    context_.outcome.UserLeft();
  } else {
    context_.outcome.Failed();
  }
  return false;
}

bool ControllerDialog::StartDiskExtraction(const std::string& targetFolder,
                                           const std::string& sourceFolder) {
  worker.targetFolder = targetFolder;
  worker.sourceFolder = sourceFolder;
  if (progressDialog) progressDialog->exitPressed = false;
  if (floppy_ == nullptr || !floppy_->threads.Start(worker)) {
    ReportFailure(9);
    return false;
  }
  workerStarted_ = true;
  return true;
}

bool ControllerDialog::StopWorker() {
  if (!workerStarted_) return true;
  quitting_ = true;
  worker.copier.RequestStop();
  // The worker stops after the chunk it is writing, or at once when it
  // shows a disk prompt, which is answered Cancel. A prompt may appear
  // between two tries, so it is answered again while waiting.
  constexpr uint32_t kStep = 100;
  constexpr uint32_t kLimit = 10000;
  for (uint32_t waited = 0; waited < kLimit; waited += kStep) {
    floppy_->threads.CancelPrompt();
    if (!floppy_->threads.WaitForEnd(kStep)) continue;
    // The user saw message 11: a failed run, even if a Close followed.
    if (context_.engine.diskFullReported) context_.outcome.Failed();
    return true;
  }
  return false;
}

void ControllerDialog::RemoveExtraction() {
  // A scanner may still hold what was just copied.
  PatientFileSystem files(context_.services.files, context_.services.clock);
  if (!extractionFolder.empty()) RemoveExtractedFiles(copier, extractionFolder, files);
  if (tempFolderCreated && !acceptedFolder.empty())
    FileUtilities(files).RemoveFolder(acceptedFolder);
  context_.engine.manifest.Clear();
}

void ControllerDialog::OnExtractBegin() {
  if (!progressDialog || quitting_) return;
  // Without its dialog the user could not leave the copy: it is stopped and
  // reported as a failed copy.
  if (!progressDialog->View().Create(*progressDialog)) worker.copier.RequestStop();
}

void ControllerDialog::OnExtractEnd() {
  if (progressDialog && progressDialog->View().Exists()) progressDialog->View().Destroy();
  if (quitting_) return;  // the run is ending; the cleanup follows the loop
  if (!worker.copyResult) {
    ReportFailure(9);
    window_.PostQuit();
    return;
  }
  if (progressDialog && progressDialog->exitPressed) {
    context_.outcome.UserLeft();
    window_.PostQuit();
    return;
  }
  context_.launcher.FilesJustCopied();
  if (!RunLanguageStage()) window_.PostQuit();
}

void ControllerDialog::OnTotalProgress(uintptr_t range, intptr_t position) {
  if (!progressDialog) return;
  if (progressDialog->View().Exists()) {
    progressDialog->View().SetTotalProgress(static_cast<int>(range), static_cast<int>(position));
  }
  context_.cancelRequested = progressDialog->exitPressed;
}

void ControllerDialog::OnDiskProgress(uintptr_t range, intptr_t position) {
  if (!progressDialog) return;
  if (progressDialog->View().Exists()) {
    progressDialog->View().SetDiskProgress(static_cast<int>(range), static_cast<int>(position));
  }
  context_.cancelRequested = progressDialog->exitPressed;
}

void ControllerDialog::OnDiskNumber(uintptr_t diskNumber) {
  if (progressDialog && progressDialog->View().Exists()) {
    progressDialog->SetDiskNumber(static_cast<int>(diskNumber));
  }
}

}  // namespace setup
