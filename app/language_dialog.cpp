#include "app/language_dialog.h"

namespace setup {

intptr_t LanguageDialog::OnOK() {
  if (view_.Count() > 0) {
    int selection = view_.Selection();
    if (selection > kMaxLanguageIndex) selection = kMaxLanguageIndex;
    selectedIndex = selection;
    if (selection >= 0) {
      if (std::optional<std::string> code = view_.CodeAt(selection)) {
        languagePrefix = *code + "_";
      }
    }
    view_.ClearEntries();
  }
  // The install step runs inside this send and destroys the dialog.
  return owner_ != nullptr ? owner_->SendSetupInstall() : 0;
}

}  // namespace setup
