#include "floppy/volume_digest.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "support/crc32.h"
#include "support/text.h"

namespace setup {
namespace {

const char kKeyPrefix[] = "Disk.";
const char kHexDigits[] = "0123456789ABCDEF";
constexpr int64_t kLengthLimit = int64_t{1} << 31;

std::string Hex8(uint32_t value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
  return text;
}

// Reads the field that starts at text[at] up to the next comma or the end,
// as a number in base 10 or 16 of at most maxDigits digits, and moves at
// past the comma. False when the field is empty, too long or holds
// anything else.
bool ParseField(const std::string& text, std::size_t& at, unsigned base, std::size_t maxDigits,
                uint64_t& value) {
  value = 0;
  std::size_t digits = 0;
  for (; at < text.size() && text[at] != ','; ++at, ++digits) {
    const char c = text[at];
    unsigned digit = base;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    if (digit >= base || digits >= maxDigits) return false;
    value = value * base + digit;
  }
  if (at < text.size()) ++at;  // the comma
  return digits > 0;
}

// Reads count bytes into buffer; false on a read error or an early end.
bool ReadFully(ReadableFile& file, char* buffer, std::size_t count) {
  while (count > 0) {
    const int64_t n = file.Read(buffer, count);
    if (n <= 0) return false;
    buffer += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string FormatDigestLine(int32_t disk, const VolumeDigest& digest) {
  return kKeyPrefix + IntToText(disk) + ",," + std::to_string(digest.length) + "," +
         Hex8(digest.crc) + "," + Hex8(digest.firstBlockCrc);
}

std::optional<VolumeDigest> ParseDigestLine(const std::string& line, int32_t disk) {
  // The key "Disk.N" in any letter case and an empty field, then the
  // length, the CRC and the CRC of the first block; what a later form may
  // add after a further comma.
  const std::size_t comma = FindChar(line, ',');
  if (comma == std::string::npos || IniStorage::NormaliseKey(line) != "DISK." + IntToText(disk) ||
      comma + 1 >= line.size() || line[comma + 1] != ',') {
    return std::nullopt;
  }
  // ParseField leaves at past the comma that ends its field, if any.
  std::size_t at = comma + 2;
  uint64_t length = 0, crc = 0, first = 0;
  const bool parsed = ParseField(line, at, 10, 10, length) && line[at - 1] == ',' &&
                      ParseField(line, at, 16, 8, crc) && line[at - 1] == ',' &&
                      ParseField(line, at, 16, 8, first);
  if (!parsed || length >= kLengthLimit) return std::nullopt;
  return VolumeDigest{static_cast<int64_t>(length), static_cast<uint32_t>(crc),
                      static_cast<uint32_t>(first)};
}

std::optional<VolumeDigest> FindVolumeDigest(const IniStorage& manifest, int32_t disk) {
  std::string key = kKeyPrefix + IntToText(disk);
  std::string line;
  if (!manifest.Lookup(key, line)) return std::nullopt;
  return ParseDigestLine(line, disk);
}

std::optional<DiskFault> IdentifyVolume(ReadableFile& volume, const VolumeDigest& digest) {
  const int64_t length = volume.Size();
  if (length < 0) return DiskFault::ReadError;
  if (length != digest.length) return DiskFault::WrongDisk;
  char block[kFirstBlockSize];
  const std::size_t count = static_cast<std::size_t>(std::min<int64_t>(length, kFirstBlockSize));
  if (!volume.Seek(0) || !ReadFully(volume, block, count)) return DiskFault::ReadError;
  if (Crc32(0, block, count) != digest.firstBlockCrc) return DiskFault::WrongDisk;
  return std::nullopt;
}

std::optional<DiskFault> ProveVolumeFile(FileSystem& files, const std::string& path,
                                         const VolumeDigest& digest) {
  std::unique_ptr<ReadableFile> volume = files.OpenForReading(path, FileSharing::ShareRead);
  if (!volume) return DiskFault::ReadError;
  if (std::optional<DiskFault> fault = IdentifyVolume(*volume, digest)) return fault;
  std::vector<char> buffer(1 << 16);
  uint32_t crc = 0;
  if (!volume->Seek(0)) return DiskFault::ReadError;
  for (int64_t left = digest.length; left > 0;) {
    const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(left, buffer.size()));
    if (!ReadFully(*volume, buffer.data(), want)) return DiskFault::ReadError;
    crc = Crc32(crc, buffer.data(), want);
    left -= static_cast<int64_t>(want);
  }
  if (crc != digest.crc) return DiskFault::DigestMismatch;
  return std::nullopt;
}

}  // namespace setup
