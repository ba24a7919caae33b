// mkdiskset check: what SETUP.EXE will do with a medium or a disk set,
// decided by setupcore's own code over the files of the set and the tables
// of its package.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "installer/automation.h"
#include "installer/installer_session.h"
#include "support/file_utils.h"

namespace setup::tools {

// One problem: the message number or exit code the customer would see (0
// for a warning) and what causes it.
struct Finding {
  int code = 0;
  std::string text;
};

struct LanguageRow {
  std::string name;
  std::string code;
  std::string transform;  // code + "_l.mst"
  bool present = false;
  bool applies = false;
  std::string userGets;  // what a user whose default language it is gets
};

// A file the bootstrap walk reaches, with what it gets for each switch.
struct WalkStep {
  std::string path;  // relative to the package folder
  std::string interactive, silent, extraSilent;
};

struct CheckReport {
  std::string input;
  std::string layout;                // medium, per-disk set, flat set, image set
  std::string program;               // what SETUP.EXE is ("" when there is none)
  std::vector<std::string> volumes;  // "Disk.N: bytes"
  int64_t manifestBytes = 0;
  std::string package;
  std::vector<LanguageRow> languages;
  std::string otherUsers;  // what a user of another language gets
  std::string unattended;  // what /s gets
  std::vector<WalkStep> walk;
  std::vector<std::string> skippedFolders;
  std::vector<std::string> updatesWinNT, updatesWin9X;
  std::vector<Finding> errors, warnings;
};

// Reads packages for the check: the Installer object SETUP.EXE would use,
// whether a transform applies to a package, and what their contents show
// a customer.
class PackageAccess {
 public:
  virtual ~PackageAccess() = default;
  virtual AutomationPlatform& Automation() = 0;
  // False with the reason in why when Windows Installer would refuse to
  // apply the transform to the package. Where it applies, adds to report
  // what a customer of that language meets: texts outside the transform's
  // code page (errors), a product code other than the package's (a
  // warning).
  virtual bool TransformApplies(const std::filesystem::path& package,
                                const std::filesystem::path& transform, std::string& why,
                                CheckReport& report) = 0;
  // Adds to report the texts of the package that its code page cannot
  // hold (errors).
  virtual void CheckPackageTexts(const std::filesystem::path& package, CheckReport& report) = 0;
};

// The libmsi implementation (native builds only).
std::unique_ptr<PackageAccess> MakeLibmsiPackageAccess();

// The language part of CheckMediumFolder, over the session SETUP.EXE's
// language stage uses. False when the run ends before the bootstrap walk
// (the package's UIText table cannot be read).
bool CheckLanguages(InstallerSession& session, FileUtilities& utils, PackageAccess& packages,
                    const std::string& source, const std::string& packagePath, CheckReport& report);

// Fills the program part of report for the SETUP.EXE (any case) of folder
// ("where" names the place in the report: "in the medium", "on disk 1"):
// errors for a program that is missing or that a 32-bit Windows cannot
// start as a GUI program, a warning for one that is not signed.
void CheckProgram(const std::filesystem::path& folder, const std::string& where,
                  CheckReport& report);

// Fills the package, language, walk and update parts of report for the
// folder SETUP.EXE runs from (the medium, or the folder a set was assembled
// into). packageName is "" for a medium (the first *.msi) or "Setup.msi".
void CheckMediumFolder(const std::filesystem::path& folder, const std::string& packageName,
                       PackageAccess& packages, CheckReport& report);

// The whole command: 0 without errors, 1 with errors, 2 bad input.
int Check(const std::filesystem::path& input, bool json, PackageAccess& packages, std::ostream& out,
          std::ostream& err);

void PrintReport(const CheckReport& report, std::ostream& out);
void PrintJsonReport(const CheckReport& report, std::ostream& out);

}  // namespace setup::tools
