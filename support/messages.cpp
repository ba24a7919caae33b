#include "support/messages.h"

namespace setup {

const char kCaptionError[] = "Error";
const char kCaptionInstallationError[] = "Installation Error";

const ErrorKey ErrorKeyTable[4] = {
    // What the Installer object reports for a failed InstallProduct: the
    // failure of a bootstrap package is passed over without a message.
    {"InstallProduct,PackagePath,PropertyValues", ""},
    {"No_enough_mem", "No enough memory."},
    {"Er_load_res", "Error loading resources."},
    {"Er_init_inst", "Error init installer mechanism"},
};

void Messages::ShowMessageById(uint32_t id) {
  std::string text = catalogue_.Load(id);
  if (!text.empty()) {
    ShowInstallationErrorText(text);
  } else {
    ShowErrorText("Critical unexpected error!");
  }
}

void Messages::ShowExceptionMessage(const std::string& text) {
  bool matched = false;
  for (const ErrorKey& row : ErrorKeyTable) {
    if (text == row.key) {
      matched = true;
      ShowErrorText(row.text);
    }
  }
  if (!matched) ShowErrorText("Unknown error");
}

void Messages::ShowInternalError() { ShowErrorText("Internal error number .."); }

void Messages::ShowErrorText(const std::string& text) {
  if (!text.empty() && Attended()) boxes_.Show(text, kCaptionError, kReportStyle);
}

void Messages::ShowInstallationErrorText(const std::string& text) {
  if (!text.empty() && Attended()) boxes_.Show(text, kCaptionInstallationError, kReportStyle);
}

void Messages::ShowException(const FrameworkException& error) {
  std::string text;
  try {
    text = error.Text().substr(0, kExceptionTextLimit);
  } catch (...) {
    ShowInternalError();
    return;
  }
  ShowExceptionMessage(text);
}

}  // namespace setup
