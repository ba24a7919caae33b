// What a disk set records of each volume, so that a wrong or damaged disk
// is known: its length, the CRC-32 of all its bytes and the CRC-32 of its
// first block. They travel in Files.id as one line per disk,
//
//   Disk.N,,LENGTH,CRC,FIRST
//
// N the disk number as the volume file is named, LENGTH in decimal, CRC and
// FIRST eight hexadecimal digits each; fields after FIRST are ignored. The
// key "Disk.N" is never one of the entry numbers 1, 2, 3 ..., so a reader
// that knows only the entries neither copies nor counts the line, and its
// empty second field gives the cleanup nothing to delete or remove.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "support/ini_storage.h"
#include "support/platform.h"

namespace setup {

// The bytes at the start of a volume whose CRC tells a disk of the set from
// another before anything is copied from it: one sector of a floppy.
constexpr std::size_t kFirstBlockSize = 512;

struct VolumeDigest {
  int64_t length = 0;
  uint32_t crc = 0;            // of all length bytes
  uint32_t firstBlockCrc = 0;  // of the first min(length, kFirstBlockSize) bytes
  bool operator==(const VolumeDigest& other) const {
    return length == other.length && crc == other.crc && firstBlockCrc == other.firstBlockCrc;
  }
};

// Why a disk in the drive is not taken as it is.
enum class DiskFault {
  WrongDisk,       // its length or first block is not that of the disk asked for
  ReadError,       // reading it failed
  DigestMismatch,  // it was read to its end and its bytes are not the set's
};

// The line that records digest for disk n (without a line end).
std::string FormatDigestLine(int32_t disk, const VolumeDigest& digest);
// The digest of a line of that form for disk n; nullopt when the line is for
// another disk or does not have the form (a length of 2^31 or more
// included).
std::optional<VolumeDigest> ParseDigestLine(const std::string& line, int32_t disk);
// The digest manifest records for disk n; nullopt for a set without one.
std::optional<VolumeDigest> FindVolumeDigest(const IniStorage& manifest, int32_t disk);

// Tells from volume's length and first block whether it is the disk digest
// describes: nullopt when it is, else WrongDisk or ReadError. Reads from the
// start of the file and leaves its position after the first block.
std::optional<DiskFault> IdentifyVolume(ReadableFile& volume, const VolumeDigest& digest);
// Reads the whole volume at path as SETUP.EXE would: nullopt when it matches
// digest, else the fault for which SETUP.EXE would ask for the disk again
// (a volume that cannot be opened is a ReadError).
std::optional<DiskFault> ProveVolumeFile(FileSystem& files, const std::string& path,
                                         const VolumeDigest& digest);

}  // namespace setup
