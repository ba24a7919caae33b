#include "app/controller.h"

#include "app/controller_messages.h"
#include "support/text.h"

namespace setup {

std::string DefaultLanguageCode(uint16_t langId) {
  std::string code = IntToText(langId & 0x3FF);
  while (code.size() < 4) code.insert(0, "0");
  return code;
}

ControllerDialog::ControllerDialog(SetupContext& context, ControllerWindow& window,
                                   LanguageDialogView& languageView, FloppyViews* floppy,
                                   const SetupCommandLineInfo& options)
    : context_(context),
      window_(window),
      floppy_(floppy),
      options_(options),
      languageDialog(languageView),
      copier(context.engine),
      worker(context.engine, context.cancelRequested) {
  languageDialog.SetOwner(&window_);
  if (floppy_ != nullptr) progressDialog.emplace(floppy_->progress);
}

void ControllerDialog::SetSourceFolder(const std::string& folder) {
  sourceFolder = folder;
  packagePath = folder;
  bootstrapDir = folder + "Bootstrap\\";  // the language stage sets it again
}

bool ControllerDialog::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_SETUP_INSTALL:
      OnSetupInstall();
      return true;
    case WM_EXTRACT_BEGIN:
      OnExtractBegin();
      return true;
    case WM_EXTRACT_END:
      OnExtractEnd();
      return true;
    case WM_EXTRACT_TOTAL_PROGRESS:
      OnTotalProgress(wParam, lParam);
      return true;
    case WM_EXTRACT_DISK_PROGRESS:
      OnDiskProgress(wParam, lParam);
      return true;
    case WM_EXTRACT_DISK_NUMBER:
      OnDiskNumber(wParam);
      return true;
    default:
      return false;
  }
}

void ControllerDialog::OnSysCommand(uint32_t commandId) {
  if (commandId == kSysCommandClose) {
    quitting_ = true;
    context_.outcome.UserLeft();
    window_.PostQuitToWindow();
  }
}

void ControllerDialog::ReportFailure(uint32_t messageId) {
  context_.outcome.Failed();
  context_.messages.ShowMessageById(messageId);
}

void ControllerDialog::ReportCaughtFailure(Stage stage) {
  try {
    throw;
  } catch (const StageError& error) {
    if (stage == Stage::Language && error.id == kQuietStageEnd) {
      context_.outcome.EngineUpdated();
    } else {
      ReportFailure(static_cast<uint32_t>(error.id));
    }
  } catch (const RunEnds&) {
    // Recorded and reported where the run ended.
  } catch (const FrameworkException& error) {
    context_.outcome.Failed();
    context_.messages.ShowException(error);
  } catch (const AutomationError&) {
    if (stage == Stage::Install) {
      ReportFailure(3);
    } else {
      context_.outcome.Failed();
      context_.messages.ShowInternalError();
    }
  } catch (...) {
    context_.outcome.Failed();
    context_.messages.ShowInternalError();
  }
}

void ControllerDialog::CloseSessionQuietly() {
  try {
    context_.session.CloseSession();
  } catch (...) {
    // The run ends anyway; the session releases the rest when destroyed.
  }
}

}  // namespace setup
