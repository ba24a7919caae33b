// The language stage: prerequisites, package, Installer object, and the
// language of the installation.
#include "app/controller.h"

namespace setup {
namespace {

const char kLanguageQuery[] = "SELECT * FROM UIText";
const char kEnglish[] = "English";

// The language dialog's window could not be made.
struct DialogCreationError {};

// Runs step; a failure of the automation client in it becomes the stage
// error id.
template <class Step>
void AsStageError(int id, Step&& step) {
  try {
    step();
  } catch (const AutomationError&) {
    throw StageError{id};
  } catch (const FrameworkException&) {
    throw StageError{id};
  }
}

}  // namespace

bool ControllerDialog::RunLanguageStage() {
  SetupContext& c = context_;
  try {
    const std::string searchFolder = packagePath;
    bootstrapDir = packagePath + "Bootstrap\\";
    engineDir = bootstrapDir + "Msi\\";

    c.prerequisites.CheckPrerequisites(engineDir);

    c.launcher.FindPackage(packagePath, packageName);
    if (packagePath.empty()) throw StageError{4};
    AsStageError(3, [&c] { c.session.CreateInstaller(); });

    if (TakeDefaultTransform(searchFolder)) return true;
    OpenLanguageQuery();
    if (options_.silent) {
      ChooseEnglish();
      return true;
    }
    return OfferLanguages();
  } catch (...) {
    ReportCaughtFailure(Stage::Language);
  }
  if (languageDialog.View().Exists()) languageDialog.View().Destroy();
  CloseSessionQuietly();
  return false;
}

// A transform for the user's own language is taken without asking.
bool ControllerDialog::TakeDefaultTransform(const std::string& folder) {
  const std::string code = DefaultLanguageCode(context_.services.system.UserDefaultLangId());
  if (!context_.fileUtils.HasFile(folder, code + "_l.mst")) return false;
  ChooseLanguage(code + "_");
  return true;
}

void ControllerDialog::OpenLanguageQuery() {
  AsStageError(5, [this] {
    context_.session.OpenDatabase(packagePath, 0);
    context_.session.OpenView(kLanguageQuery);
  });
}

void ControllerDialog::CloseLanguageQuery() {
  AsStageError(6, [this] {
    context_.session.CloseView();
    context_.session.CloseDatabase();
  });
}

// Unattended: the "English" row, or no language at all (the install step
// then reports message 8).
void ControllerDialog::ChooseEnglish() {
  std::string name;
  std::string code;
  std::optional<std::string> english;
  while (context_.session.FetchLanguage(name, code)) {
    if (name == kEnglish) {
      english = code + "_";
      break;
    }
  }
  CloseLanguageQuery();
  if (english) {
    ChooseLanguage(*english);
  } else {
    window_.PostSetupInstall();
  }
}

// The dialog with every named row, the first preselected; a single row is
// taken without showing it.
bool ControllerDialog::OfferLanguages() {
  LanguageDialogView& view = languageDialog.View();
  if (!view.Create()) throw DialogCreationError{};
  std::string name;
  std::string code;
  while (context_.session.FetchLanguage(name, code)) {
    if (!name.empty()) view.AddLanguage(name, code);
  }
  CloseLanguageQuery();
  if (view.Count() <= 0) throw StageError{7};
  view.Select(0);
  if (view.Count() == 1) {
    std::optional<std::string> only = view.CodeAt(0);
    view.Destroy();
    ChooseLanguage(only ? *only + "_" : std::string());
    return true;
  }
  if (!context_.messages.Attended()) {
    window_.PostSetupInstall();  // no choice: the install step ends with message 8
    return true;
  }
  view.Show();
  return true;
}

void ControllerDialog::ChooseLanguage(const std::string& prefix) {
  languageDialog.languagePrefix = prefix;
  languageDialog.selectedIndex = 0;
  window_.PostSetupInstall();
}

}  // namespace setup
