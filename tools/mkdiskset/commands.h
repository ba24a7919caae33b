// The commands of mkdiskset and what they share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "floppy/volume_digest.h"

namespace setup::tools {

// A file of the medium that becomes a manifest entry.
struct MediumFile {
  std::string relative;  // backslash-separated, as written to Files.id
  std::filesystem::path path;
  int64_t size = 0;
};

struct Medium {
  std::filesystem::path setupExe;
  // In manifest order: sorted by relative path, byte by byte.
  std::vector<MediumFile> files;
  int64_t totalSize = 0;
};

// Lists every file below folder except the top-level SETUP.EXE (any case).
// Returns nullopt after writing the reason to err for input a disk set
// cannot carry: no SETUP.EXE, a name with a comma, backslash, colon or
// control character, a top-level name the set itself uses (Files.id,
// Disk.N), something that is neither file nor folder, or 2^31 bytes or more.
std::optional<Medium> ListMedium(const std::filesystem::path& folder, std::ostream& err);

// False after writing the file and the fix to err when the floppy route
// could not install the medium: no top-level Setup.msi (any case), or a
// path that names a device; with images, also a name that the long names
// of a FAT file system cannot hold.
bool AcceptForFloppyRoute(const Medium& medium, bool images, std::ostream& err);

// Runs command (a program found on PATH and its arguments) and waits for
// it. False, with the command written to err, when it cannot be started or
// does not end with 0. The Windows build starts no tools.
bool RunTool(const std::vector<std::string>& command, std::ostream& err);

struct SplitOptions {
  std::filesystem::path medium;
  std::filesystem::path out;
  int64_t diskSize = 0;
  bool flat = false;
  bool images = false;
};
int Split(const SplitOptions& options, std::ostream& out, std::ostream& err);

// What SETUP.EXE makes of disk n when it meets fault there: "disk 3 does
// not match its digest in Files.id: SETUP.EXE would refuse it as damaged".
std::string DiskFaultOutcome(int disk, DiskFault fault);

// Assembles the set in disks (per-disk folders disk1, disk2, ... or one
// flat folder) into target, which must exist, through the copy engine. The
// disks are offered one at a time, as a drive would.
bool Assemble(const std::filesystem::path& disks, const std::filesystem::path& target,
              std::ostream& err);
int AssembleCommand(const std::filesystem::path& disks, const std::filesystem::path& target,
                    std::ostream& out, std::ostream& err);
int Verify(const std::filesystem::path& disks, const std::filesystem::path& medium,
           std::ostream& out, std::ostream& err);

}  // namespace setup::tools
