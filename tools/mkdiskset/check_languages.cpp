// The language part of mkdiskset check: the rows as SETUP.EXE's language
// stage reads them, the transform each row leads to, and what each kind of
// user gets.
#include <algorithm>
#include <optional>

#include "app/controller.h"
#include "support/text.h"
#include "tools/common/posix_file_system.h"
#include "tools/mkdiskset/check.h"

namespace setup::tools {
namespace {

struct Row {
  std::string name, code;
};

// The rows with a language name in table order, and the code of the first
// one named "English" (as the unattended run looks for it).
bool ReadRows(InstallerSession& session, const std::string& packagePath, std::vector<Row>& rows,
              std::optional<std::string>& english, CheckReport& report) {
  try {
    session.CreateInstaller();
    session.OpenDatabase(packagePath, 0);
    session.OpenView("SELECT * FROM UIText");
    std::string name, code;
    while (session.FetchLanguage(name, code)) {
      if (!english && name == "English") english = code;
      if (!name.empty()) rows.push_back({name, code});
    }
    session.CloseView();
    session.CloseDatabase();
    return true;
  } catch (const FrameworkException& error) {
    report.errors.push_back(
        {5, "the UIText table of " + report.package + " cannot be read: " + error.Text()});
  } catch (const AutomationError&) {
    report.errors.push_back({5, "the UIText table of " + report.package + " cannot be read"});
  }
  return false;
}

bool FindsFile(FileUtilities& utils, const std::string& source, std::string& name) {
  std::string folder = source;
  bool isFolder = false;
  bool found = utils.FindFile(folder, name, isFolder);
  std::string none;
  utils.FindFile(none, none, isFolder);  // closes the search
  return found;
}

// Whether a user's default language gives exactly this code, so that the
// row's transform is taken before any dialog.
bool SomeUserHas(const std::string& code) {
  if (code.size() != 4 || !std::all_of(code.begin(), code.end(), ::isdigit)) return false;
  int id = std::stoi(code);
  return id < 0x400 && DefaultLanguageCode(static_cast<uint16_t>(id)) == code;
}

std::string DialogOutcome(std::vector<Row> rows) {
  // The combo box sorts its entries; the first of them is preselected.
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row& a, const Row& b) { return ToUpper(a.name) < ToUpper(b.name); });
  if (rows.empty()) return "message 7 (no language rows)";
  if (rows.size() == 1) {
    return "no dialog: the only row, " + rows[0].name + " (" + rows[0].code + "_l.mst)";
  }
  std::string list;
  for (const Row& row : rows) list += (list.empty() ? "" : ", ") + row.name;
  return "the language dialog listing " + list + ", " + rows[0].name + " preselected";
}

}  // namespace

bool CheckLanguages(InstallerSession& session, FileUtilities& utils, PackageAccess& packages,
                    const std::string& source, const std::string& packagePath,
                    CheckReport& report) {
  std::vector<Row> rows;
  std::optional<std::string> english;
  if (!ReadRows(session, packagePath, rows, english, report)) return false;
  packages.CheckPackageTexts(PosixFileSystem::ToPosixPath(packagePath), report);
  report.otherUsers = DialogOutcome(rows);
  if (rows.empty()) {
    report.errors.push_back(
        {7, "the UIText table of " + report.package +
                " has no language rows (Lang...): SETUP.EXE ends with message 7"});
  }
  for (const Row& row : rows) {
    LanguageRow language{row.name, row.code, row.code + "_l.mst", false, false, ""};
    std::string found = language.transform;
    language.present = FindsFile(utils, source, found);
    if (language.present) {
      std::string why;
      language.applies =
          packages.TransformApplies(PosixFileSystem::ToPosixPath(packagePath),
                                    PosixFileSystem::ToPosixPath(source + found), why, report);
      if (!language.applies) {
        report.errors.push_back(
            {1624, language.transform + " does not apply to " + report.package + " (" + why +
                       "): Windows Installer ends with 1624 (Wine's msiexec ignores it)"});
      }
    } else {
      report.errors.push_back({12, "choosing " + row.name + " ends with message 12: " +
                                       language.transform + " is missing"});
    }
    language.userGets = SomeUserHas(row.code) && language.present
                            ? language.transform + " at once, no dialog"
                            : report.otherUsers;
    report.languages.push_back(language);
  }
  if (english) {
    report.unattended = "the English row, " + *english + "_l.mst";
  } else {
    report.unattended = "message 8 (no row named English)";
    report.errors.push_back({8,
                             "no UIText row is named English: an unattended run (/s) ends "
                             "with message 8"});
  }
  report.unattended += "; a user whose own language has a transform gets that one at once";
  return true;
}

}  // namespace setup::tools
