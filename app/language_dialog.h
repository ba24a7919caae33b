// The language-selection dialog: the view (the window on template 129) and
// the dialog's own logic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace setup {

// The window of the language dialog as the logic sees it.
class LanguageDialogView {
 public:
  virtual ~LanguageDialogView() = default;
  // Creates the window from template 129, hidden, owned by the controller
  // window. False when it cannot be created.
  virtual bool Create() = 0;
  virtual bool Exists() const = 0;
  // Adds name to the sorted list 1000 and returns its index, or a negative
  // value. A non-empty code is attached to the entry as its item data.
  virtual int AddLanguage(const std::string& name, const std::string& code) = 0;
  virtual int Count() const = 0;
  virtual void Select(int index) = 0;
  // The current selection, or a negative value when none.
  virtual int Selection() const = 0;
  // The code attached to entry index; none for an entry without code.
  virtual std::optional<std::string> CodeAt(int index) const = 0;
  // Frees the attached codes and empties the list.
  virtual void ClearEntries() = 0;
  // SW_SHOW and keyboard focus.
  virtual void Show() = 0;
  // Destroys the window (and frees the codes still attached).
  virtual void Destroy() = 0;
};

class LanguageDialogOwner {
 public:
  virtual ~LanguageDialogOwner() = default;
  // Sends WM_SETUP_INSTALL to the owner window and returns the result.
  virtual intptr_t SendSetupInstall() = 0;
};

class LanguageDialog {
 public:
  explicit LanguageDialog(LanguageDialogView& view) : view_(view) {}

  LanguageDialogView& View() { return view_; }
  void SetOwner(LanguageDialogOwner* owner) { owner_ = owner; }

  // OK or Enter: records the choice, empties the list and sends
  // WM_SETUP_INSTALL to the owner. The dialog is not touched after the send.
  intptr_t OnOK();
  // Escape: does nothing.
  void OnCancel() {}

  int32_t selectedIndex = -1;
  std::string languagePrefix;

 private:
  LanguageDialogView& view_;
  LanguageDialogOwner* owner_ = nullptr;
};

constexpr int32_t kMaxLanguageIndex = 9999;

}  // namespace setup
