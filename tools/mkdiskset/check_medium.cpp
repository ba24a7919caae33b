// The medium part of mkdiskset check. Every decision is setupcore's: the
// package search of InstallLauncher, the UIText rows as InstallerSession
// reads them, the bootstrap walk of FileUtilities with the argument of
// BootstrapArgument, and the engine update of Prerequisites. The check only
// records what they hand to the process runner and the Installer object.
#include <algorithm>
#include <map>

#include "app/controller.h"
#include "installer/prerequisites.h"
#include "support/text.h"
#include "tools/common/posix_file_system.h"
#include "tools/mkdiskset/check.h"
#include "tools/mkdiskset/tool_services.h"

namespace fs = std::filesystem;

namespace setup::tools {
namespace {

// NTFS lists a folder sorted by upper-cased name; the check assumes that
// order (a FAT disk lists its directory order, which the check cannot know).
class SortedFileSystem : public PosixFileSystem {
 public:
  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             DirectoryEntry& first) override {
    std::vector<DirectoryEntry> entries(1);
    std::unique_ptr<DirectorySearch> search = PosixFileSystem::FindFirst(pattern, entries[0]);
    if (!search) return nullptr;
    DirectoryEntry entry;
    while (search->Next(entry)) entries.push_back(entry);
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return ToUpper(a.name) < ToUpper(b.name);
    });
    first = entries[0];
    return std::make_unique<ListedSearch>(std::move(entries));
  }
  // The walk must not move the tool's own current folder.
  bool SetCurrentFolder(const std::string&) override { return false; }
};

struct Started {
  std::string program, arguments;
};

class RecordingRunner : public ProcessRunner {
 public:
  uint32_t Run(const std::string& program, const std::string& arguments) override {
    started.push_back({program, arguments});
    return 0;
  }
  std::vector<Started> started;
};

// Installs nothing: remembers each package with the UI level set for it.
class RecordingInstaller : public InstallerObject {
 public:
  RecordingInstaller(std::unique_ptr<InstallerObject> inner, std::vector<Started>& installed)
      : inner_(std::move(inner)), installed_(installed) {}
  std::unique_ptr<DatabaseObject> OpenDatabase(const std::string& path, int32_t mode) override {
    return inner_->OpenDatabase(path, mode);
  }
  int32_t GetUILevel() override { return level_; }
  void PutUILevel(int32_t level) override { level_ = level; }
  void InstallProduct(const std::string& path, const std::string&) override {
    installed_.push_back(
        {path, level_ == kUILevelNoneHideCancel ? "UI level 34 (none)" : "UI level 35 (basic)"});
  }

 private:
  std::unique_ptr<InstallerObject> inner_;
  std::vector<Started>& installed_;
  int32_t level_ = kUILevelFull;
};

class RecordingAutomation : public AutomationPlatform {
 public:
  explicit RecordingAutomation(AutomationPlatform& inner) : inner_(inner) {}
  int32_t InitializeCom() override { return inner_.InitializeCom(); }
  void UninitializeCom() override { inner_.UninitializeCom(); }
  std::unique_ptr<InstallerObject> CreateInstallerObject() override {
    return std::make_unique<RecordingInstaller>(inner_.CreateInstallerObject(), installed);
  }
  std::vector<Started> installed;

 private:
  AutomationPlatform& inner_;
};

// A machine whose Windows Installer is older than 2.0, so that the engine
// update of its family runs.
class OldEngineSystem : public SystemInfo {
 public:
  std::optional<std::string> ModulePath() override { return std::nullopt; }
  std::optional<std::string> SystemFolder() override { return std::string("C:\\WINDOWS\\SYSTEM"); }
  std::optional<FileVersion> GetFileVersion(const std::string&) override {
    return FileVersion{(1u << 16) | 20u, 1827u << 16};
  }
  OsVersion GetOsVersion() override { return os; }
  uint16_t UserDefaultLangId() override { return 0x409; }
  bool WindowStationVisible() override { return true; }
  uint32_t RandomNumber() override { return ++draws; }  // the check creates no folders
  OsVersion os;
  uint32_t draws = 0;
};

// The check meets no other installation, and its pauses take no time.
class NoWaits : public Clock, public InstallerMutex {
 public:
  uint32_t Milliseconds() override { return now_; }
  void Sleep(uint32_t milliseconds) override { now_ += milliseconds; }
  WaitEnd Wait(uint32_t, bool, bool) override { return WaitEnd::Free; }

 private:
  uint32_t now_ = 0;
};

// The services SETUP.EXE's installer logic runs on, recording.
struct Machine {
  explicit Machine(AutomationPlatform& packages)
      : utils(files),
        automation(packages),
        session(automation),
        queue(waits, waits, system),
        launcher(utils, runner, system, session, texts.messages, outcome, queue, waits) {}
  SortedFileSystem files;
  FileUtilities utils;
  RecordingRunner runner;
  OldEngineSystem system;
  RecordingAutomation automation;
  InstallerSession session;
  SilentTexts texts;
  RunOutcome outcome;
  NoWaits waits;
  InstallerQueue queue;
  InstallLauncher launcher;
};

std::string Relative(const std::string& path, const std::string& base) {
  std::string rest = path.rfind(base, 0) == 0 ? path.substr(base.size()) : path;
  for (char& c : rest) c = c == '/' ? '\\' : c;
  TrimLeading(rest, '\\');
  return rest;
}

std::vector<std::string> EngineUpdates(Machine& m, const std::string& engineDir,
                                       uint32_t platformId, const std::string& source) {
  m.system.os = OsVersion{platformId, platformId == 2 ? 5u : 4u, platformId == 2 ? 1u : 10u, 0,
                          platformId == 2 ? "Service Pack 3" : ""};
  m.runner.started.clear();
  Prerequisites prerequisites(m.system, m.utils, m.launcher);
  try {
    prerequisites.CheckPrerequisites(engineDir);
  } catch (const StageError&) {
    // The update ends the run; what it started is what the check wants.
  }
  std::vector<std::string> programs;
  for (const Started& s : m.runner.started) programs.push_back(Relative(s.program, source));
  return programs;
}

// What the walk does with one file, as the recorders saw it.
std::string VisitAndDescribe(Machine& m, std::string& path, std::string& argument) {
  m.runner.started.clear();
  m.automation.installed.clear();
  m.launcher.VisitBootstrapFile(path, argument);
  if (!m.runner.started.empty()) {
    const std::string& a = m.runner.started[0].arguments;
    return a.empty() ? "run without argument" : "run with " + a;
  }
  if (!m.automation.installed.empty()) {
    return "installed in-process, " + m.automation.installed[0].arguments;
  }
  return "not started (neither .exe nor .msi)";
}

void WalkBootstrap(Machine& m, const std::string& source, CheckReport& report) {
  const std::string bootstrap = source + "Bootstrap\\";
  struct Pass {
    bool silent, extraSilent;
    std::string WalkStep::*column;
  };
  for (const Pass& pass :
       {Pass{false, false, &WalkStep::interactive}, Pass{true, false, &WalkStep::silent},
        Pass{true, true, &WalkStep::extraSilent}}) {
    std::size_t index = 0;
    m.utils.WalkFolder(bootstrap, "Msi\\", "*.*", BootstrapArgument(pass.silent, pass.extraSilent),
                       [&](std::string& path, std::string& argument) {
                         std::string what = VisitAndDescribe(m, path, argument);
                         if (index == report.walk.size()) {
                           report.walk.push_back({Relative(path, source), "", "", ""});
                         }
                         report.walk[index++].*pass.column = what;
                         return true;
                       });
  }
  std::error_code error;
  fs::path root = PosixFileSystem::ToPosixPath(bootstrap);
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory() && ToUpper(it->path().filename().string()) == "MSI") {
      report.skippedFolders.push_back(
          Relative(it->path().string(), PosixFileSystem::ToPosixPath(source)));
      it.disable_recursion_pending();
    }
  }
}

}  // namespace

void CheckMediumFolder(const fs::path& folder, const std::string& packageName,
                       PackageAccess& packages, CheckReport& report) {
  Machine m(packages.Automation());
  const std::string source = WithOneTrailingBackslash(fs::absolute(folder).string());
  const std::string engineDir = source + "Bootstrap\\Msi\\";
  report.updatesWinNT = EngineUpdates(m, engineDir, 2, source);
  report.updatesWin9X = EngineUpdates(m, engineDir, 1, source);

  std::string packagePath = source;
  m.launcher.FindPackage(packagePath, packageName);
  if (packageName.empty()) {
    std::vector<std::string> names;
    DirectoryEntry entry;
    std::unique_ptr<DirectorySearch> search = m.files.FindFirst(source + "*.msi", entry);
    for (bool more = search != nullptr; more; more = search->Next(entry)) {
      names.push_back(entry.name);
    }
    if (names.size() > 1) {
      std::string list;
      for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
      report.warnings.push_back(
          {0, "several packages (" + list + "): SETUP.EXE takes the first one Windows lists; " +
                  "on NTFS (sorted, as assumed here) " + names[0] +
                  ", on a FAT disk or CD whichever comes first in the directory"});
    }
  }
  if (packagePath.empty()) {
    report.errors.push_back(
        {4, packageName.empty()
                ? "no package: SETUP.EXE looks for *.msi beside itself and ends with message 4"
                : "no package: SETUP.EXE looks for " + packageName +
                      " among the files of the set and ends with message 4"});
    return;
  }
  report.package = Relative(packagePath, source);
  if (!CheckLanguages(m.session, m.utils, packages, source, packagePath, report)) return;
  WalkBootstrap(m, source, report);
}

}  // namespace setup::tools
