// mkdiskset check: finds what the input is (a medium, a set of per-disk
// folders, a flat set, or floppy images read through mtools), checks a set
// as the copy engine will meet it, assembles it with that engine and checks
// what SETUP.EXE then finds in its extraction folder.
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "floppy/disk_set_copier.h"
#include "support/text.h"
#include "tools/common/host_file_system.h"
#include "tools/mkdiskset/check.h"
#include "tools/mkdiskset/commands.h"
#include "tools/mkdiskset/tool_services.h"

namespace fs = std::filesystem;

namespace setup::tools {
namespace {

fs::path VolumePath(const fs::path& set, bool flat, int disk) {
  std::string name = "Disk." + std::to_string(disk);
  return flat ? set / name : set / ("disk" + std::to_string(disk)) / name;
}

// Every volume the copy will ask for, and their bytes against the manifest
// and against the digests it records.
void CheckVolumes(const fs::path& set, bool flat, const IniStorage& manifest, CheckReport& report) {
  std::error_code error;
  int64_t volumes = 0;
  for (int disk = 1;; ++disk) {
    fs::path volume = VolumePath(set, flat, disk);
    if (!fs::is_regular_file(volume, error)) {
      if (volumes < report.manifestBytes) {
        report.errors.push_back({9, "disk " + std::to_string(disk) + " is missing (no " +
                                        volume.filename().string() +
                                        "): the prompt for it comes back until Cancel, then "
                                        "message 9"});
      }
      break;
    }
    auto size = static_cast<int64_t>(fs::file_size(volume, error));
    volumes += size;
    report.volumes.push_back(volume.filename().string() + ": " + std::to_string(size) + " bytes");
    HostFileSystem files;
    std::optional<VolumeDigest> digest = FindVolumeDigest(manifest, disk);
    std::optional<DiskFault> fault;
    if (digest) fault = ProveVolumeFile(files, volume.string(), *digest);
    if (fault) {
      report.errors.push_back(
          {9, DiskFaultOutcome(disk, *fault) + ", asking for it until Cancel, then message 9"});
    }
  }
  if (volumes != report.manifestBytes) {
    report.errors.push_back(
        {9, "the volumes hold " + std::to_string(volumes) + " bytes, the manifest lists " +
                std::to_string(report.manifestBytes) + ": the copy fails with message 9"});
  }
}

// How Files.id names its files. After the UTF-8 mark every line must be
// UTF-8 (false, with the first line that is not, as an error). Without the
// mark, names outside ASCII are read in the customer's ANSI code page,
// which a check made here cannot know: a warning, and the names are looked
// up as Windows-1252.
bool CheckManifestText(const fs::path& manifest, CheckReport& report) {
  std::ifstream in(manifest, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  text = text.substr(0, text.find('\x1A'));
  const bool utf8 = text.compare(0, 3, kUtf8Bom) == 0;
  if (utf8) text.erase(0, 3);
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (utf8 && !IsValidUtf8(line)) {
      report.errors.push_back({9, "Files.id line " + std::to_string(number) +
                                      " is not valid UTF-8 after the byte-order mark: SETUP.EXE "
                                      "refuses the set with message 9"});
      return false;
    }
    if (!utf8 && !IsAscii(line)) {
      const std::string path = ParseManifestEntry(*HostTextCodec().FromAnsi(line)).path;
      report.warnings.push_back(
          {0, "Files.id line " + std::to_string(number) + " (" + path +
                  ") names a file outside ASCII without the UTF-8 byte-order mark: SETUP.EXE "
                  "reads it in the customer's ANSI code page, so the name depends on that "
                  "system (checked here as Windows-1252)"});
      return true;
    }
  }
  return true;
}

// The manifest as the engine reads it, the entries 1..n it copies, and the
// volumes the copy will ask for.
void CheckSetFiles(const fs::path& set, bool flat, CheckReport& report) {
  const fs::path first = flat ? set : set / "disk1";
  if (!CheckManifestText(first / "Files.id", report)) return;
  HostFileSystem files;
  HostTextCodec text;
  SilentTexts texts;
  CopyEngineState state(files, texts.messages, text);
  state.sourceDir = WithOneTrailingBackslash(first.string());
  DiskSetCopier copier(state);
  state.manifest.SetFile(state.sourceDir + "Files.id");
  if (!state.manifest.Load(false)) {
    report.errors.push_back({9, "Files.id cannot be read: the copy fails with message 9"});
    return;
  }
  report.manifestBytes = copier.TotalSize();
  int64_t bytes = 0;
  std::string value;
  for (int32_t i = 1;; ++i) {
    std::string key = IntToText(i);
    if (!state.manifest.Lookup(key, value)) break;
    ManifestEntry entry = ParseManifestEntry(value);
    if (!IsSafeRelativePath(entry.path)) {
      report.errors.push_back(
          {9, "entry " + key + " (" + entry.path + ") is unsafe: the copy fails with message 9"});
    }
    if (entry.size == 0) {
      report.warnings.push_back({0, entry.path + " has size 0: SETUP.EXE creates no file for it"});
    }
    if (entry.size > 0) bytes = bytes < INT64_MAX - entry.size ? bytes + entry.size : INT64_MAX;
  }
  if (bytes >= DiskSetCopier::kSetSizeLimit) {
    report.errors.push_back({9, "the set holds 2^31 bytes or more: the copy fails with message 9"});
  }
  CheckVolumes(set, flat, state.manifest, report);
}

// Copies everything of each diskN.img into scratch/diskN through mtools.
bool ReadImages(const fs::path& input, const fs::path& scratch, std::ostream& err) {
  for (int disk = 1;; ++disk) {
    fs::path image = input / ("disk" + std::to_string(disk) + ".img");
    std::error_code error;
    if (!fs::is_regular_file(image, error)) return disk > 1;
    fs::path folder = scratch / ("disk" + std::to_string(disk));
    fs::create_directories(folder, error);
    if (!RunTool({"mcopy", "-s", "-n", "-i", image.string(), "::*", folder.string() + "/"}, err))
      return false;
  }
}

}  // namespace

int Check(const fs::path& input, bool json, PackageAccess& packages, std::ostream& out,
          std::ostream& err) {
  CheckReport report;
  report.input = input.string();
  std::error_code error;
  ScratchFolder scratch;
  if (scratch.path().empty()) {
    err << "mkdiskset: cannot create a scratch folder\n";
    return 2;
  }
  fs::path set = input;
  bool flat = false;
  if (fs::is_regular_file(input / "disk1.img", error)) {
    // What split --images writes beside the folders is what ships.
    report.layout = "image set";
    set = scratch.path() / "images";
    if (!ReadImages(input, set, err)) return 2;
  } else if (fs::is_regular_file(input / "Files.id", error)) {
    flat = true;
    report.layout = "flat set";
  } else if (fs::is_regular_file(input / "disk1" / "Files.id", error)) {
    report.layout = "per-disk set";
  } else if (fs::is_directory(input, error)) {
    report.layout = "medium";
  } else {
    err << "mkdiskset: " << input.string() << " is neither a medium nor a disk set\n";
    return 2;
  }

  if (report.layout == "medium") {
    CheckProgram(input, "in the medium", report);
    CheckMediumFolder(input, "", packages, report);
  } else {
    CheckSetFiles(set, flat, report);
    fs::path assembled = scratch.path() / "assembled";
    fs::create_directory(assembled, error);
    std::ostringstream why;
    if (report.errors.empty() && !Assemble(set, assembled, why)) {
      report.errors.push_back(
          {9, "the copy engine cannot assemble the set: message 9 (" + why.str() + ")"});
    }
    if (report.errors.empty()) CheckMediumFolder(assembled, "Setup.msi", packages, report);
    CheckProgram(flat ? set : set / "disk1", flat ? "beside Files.id" : "on disk 1", report);
  }
  if (json) {
    PrintJsonReport(report, out);
  } else {
    PrintReport(report, out);
  }
  return report.errors.empty() ? 0 : 1;
}

}  // namespace setup::tools
