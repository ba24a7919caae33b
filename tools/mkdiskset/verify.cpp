#include <fstream>
#include <map>
#include <system_error>

#include "floppy/disk_set_copier.h"
#include "support/messages.h"
#include "support/text.h"
#include "tools/common/host_file_system.h"
#include "tools/mkdiskset/commands.h"
#include "tools/mkdiskset/tool_services.h"

namespace fs = std::filesystem;

namespace setup::tools {
namespace {

std::string Folder(const fs::path& path) { return WithOneTrailingBackslash(path.string()); }

// Puts from into the drive folder as to: a link where the system allows
// one, else a copy.
bool Offer(const fs::path& from, const fs::path& to, std::error_code& error) {
  fs::create_symlink(fs::absolute(from), to, error);
  if (error) fs::copy_file(from, to, error);
  return !error;
}

// Offers the volumes of a per-disk set one at a time in a drive folder, the
// way a user swaps floppies: only the disk asked for is "in the drive".
class DiskSwapper {
 public:
  DiskSwapper(fs::path disks, fs::path drive, std::ostream& err)
      : disks_(std::move(disks)), drive_(std::move(drive)), err_(err) {}

  bool Insert(int disk) {
    std::error_code error;
    if (inserted_ != 0) fs::remove(drive_ / ("Disk." + std::to_string(inserted_)), error);
    inserted_ = 0;
    fs::path volume = disks_ / ("disk" + std::to_string(disk)) / ("Disk." + std::to_string(disk));
    if (!fs::is_regular_file(volume, error)) {
      err_ << "mkdiskset: disk " << disk << " is missing: no " << volume.string() << "\n";
      return false;
    }
    if (!Offer(volume, drive_ / volume.filename(), error)) {
      err_ << "mkdiskset: cannot offer disk " << disk << ": " << error.message() << "\n";
      return false;
    }
    inserted_ = disk;
    return true;
  }

  // Asked again for a disk just inserted: the volume is there but unreadable.
  bool Prompt(int disk, bool missing) {
    if (!missing) return true;
    if (disk == inserted_) {
      err_ << "mkdiskset: the volume of disk " << disk << " cannot be read\n";
      return false;
    }
    return Insert(disk);
  }

 private:
  fs::path disks_;
  fs::path drive_;
  std::ostream& err_;
  int inserted_ = 0;
};

// First differing byte, or -1 when the files are equal.
int64_t FirstDifference(const fs::path& a, const fs::path& b) {
  std::ifstream left(a, std::ios::binary);
  std::ifstream right(b, std::ios::binary);
  if (!left || !right) return 0;
  std::vector<char> x(1 << 16), y(1 << 16);
  int64_t offset = 0;
  for (;;) {
    left.read(x.data(), static_cast<std::streamsize>(x.size()));
    right.read(y.data(), static_cast<std::streamsize>(y.size()));
    std::streamsize n = left.gcount();
    std::streamsize m = right.gcount();
    std::streamsize common = std::min(n, m);
    for (std::streamsize i = 0; i < common; ++i) {
      if (x[static_cast<std::size_t>(i)] != y[static_cast<std::size_t>(i)]) return offset + i;
    }
    if (n != m) return offset + common;
    if (n == 0) return -1;
    offset += n;
  }
}

bool IsFlatSet(const fs::path& disks) {
  std::error_code error;
  return fs::is_regular_file(disks / "Files.id", error);
}

}  // namespace

std::string DiskFaultOutcome(int disk, DiskFault fault) {
  const std::string n = std::to_string(disk);
  switch (fault) {
    case DiskFault::WrongDisk:
      return "disk " + n + " is not the disk " + n +
             " that Files.id describes (its length or first block differs): SETUP.EXE would "
             "refuse it as a disk of another set";
    case DiskFault::ReadError:
      return "disk " + n + " cannot be read: SETUP.EXE would ask for it again";
    case DiskFault::DigestMismatch:
      break;
  }
  return "disk " + n + " does not match its digest in Files.id: SETUP.EXE would refuse it as " +
         "damaged";
}

bool Assemble(const fs::path& disks, const fs::path& target, std::ostream& err) {
  std::error_code error;
  bool flat = IsFlatSet(disks);
  if (!flat && !fs::is_regular_file(disks / "disk1" / "Files.id", error)) {
    err << "mkdiskset: " << disks.string() << " holds no Files.id, neither itself nor in disk1\n";
    return false;
  }
  ScratchFolder scratch;
  if (scratch.path().empty()) {
    err << "mkdiskset: cannot create a scratch folder\n";
    return false;
  }
  HostFileSystem files;
  HostTextCodec text;
  StreamMessageBoxes boxes(err);
  CatalogueTexts catalogue;
  Messages messages(catalogue, boxes);
  CopyEngineState state(files, messages, text);
  DiskSetCopier copier(state);
  DiskSwapper swapper(disks, scratch.path(), err);

  if (flat) {
    state.sourceDir = Folder(fs::absolute(disks));
  } else {
    if (!Offer(disks / "disk1" / "Files.id", scratch.path() / "Files.id", error) ||
        !swapper.Insert(1)) {
      err << "mkdiskset: cannot offer disk 1\n";
      return false;
    }
    state.sourceDir = Folder(scratch.path());
    copier.SetPromptCallback([&](int disk, bool missing) { return swapper.Prompt(disk, missing); });
  }
  copier.SetFaultCallback([&err](int disk, DiskFault fault) {
    err << "mkdiskset: " << DiskFaultOutcome(disk, fault) << "\n";
    return false;
  });
  state.targetDir = Folder(fs::absolute(target));
  if (!copier.Start()) {
    if (state.manifest.TextRefused()) {
      err << "mkdiskset: Files.id holds a line that is not valid UTF-8 after its byte-order "
             "mark: SETUP.EXE refuses the set with message 9\n";
    } else {
      err << "mkdiskset: the copy engine could not assemble the set (stopped at disk "
          << state.diskNumber << ")\n";
    }
    return false;
  }
  return true;
}

int AssembleCommand(const fs::path& disks, const fs::path& target, std::ostream& out,
                    std::ostream& err) {
  std::error_code error;
  if (!fs::create_directory(target, error)) {
    err << "mkdiskset: cannot create the new folder " << target.string() << "\n";
    return 2;
  }
  if (!Assemble(disks, target, err)) return 1;
  out << "mkdiskset: assembled into " << target.string() << "\n";
  return 0;
}

int Verify(const fs::path& disks, const fs::path& mediumFolder, std::ostream& out,
           std::ostream& err) {
  std::optional<Medium> medium = ListMedium(mediumFolder, err);
  if (!medium) return 2;
  ScratchFolder scratch;
  if (scratch.path().empty()) {
    err << "mkdiskset: cannot create a scratch folder\n";
    return 2;
  }
  fs::path target = scratch.path() / "assembled";
  std::error_code error;
  fs::create_directory(target, error);
  if (!Assemble(disks, target, err)) return 1;

  int differences = 0;
  auto differ = [&](const std::string& what) {
    out << "differs: " << what << "\n";
    ++differences;
  };
  fs::path setupOnDisk = (IsFlatSet(disks) ? disks : disks / "disk1") / "SETUP.EXE";
  if (FirstDifference(setupOnDisk, medium->setupExe) != -1) differ("SETUP.EXE");

  std::map<std::string, fs::path> assembled;
  for (auto it = fs::recursive_directory_iterator(target); it != fs::recursive_directory_iterator();
       ++it) {
    if (it->is_directory()) continue;
    std::string relative;
    for (const fs::path& part : it->path().lexically_relative(target)) {
      relative += (relative.empty() ? "" : "\\") + part.string();
    }
    assembled[relative] = it->path();
  }
  for (const MediumFile& file : medium->files) {
    auto found = assembled.find(file.relative);
    if (found == assembled.end()) {
      // The engine deletes what lies at the path of an empty entry and
      // creates nothing, so an empty file never appears.
      if (file.size == 0) {
        out << "note: " << file.relative << " is empty; SETUP.EXE creates no file for it\n";
      } else {
        differ(file.relative + " is missing from the set");
      }
      continue;
    }
    int64_t at = FirstDifference(found->second, file.path);
    if (at >= 0) differ(file.relative + " from byte " + std::to_string(at));
    assembled.erase(found);
  }
  for (const auto& extra : assembled) differ(extra.first + " is in the set but not the medium");

  if (differences != 0) {
    out << "mkdiskset: " << differences << " difference(s) between " << disks.string() << " and "
        << mediumFolder.string() << "\n";
    return 1;
  }
  out << "mkdiskset: " << medium->files.size() << " files, " << medium->totalSize
      << " bytes: the set is identical to the medium\n";
  return 0;
}

}  // namespace setup::tools
