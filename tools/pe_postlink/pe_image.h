// The few facts of a PE image that the build sets and the binary check
// reads: header flags, time stamp, checksum, the load configuration's
// DependentLoadFlags and the imported functions; and what the check of a
// medium asks of its program: machine, subsystem, signature. Works on the file's bytes,
// so it runs on the build machine, whatever it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pe {

// IMAGE_FILE_* and IMAGE_DLLCHARACTERISTICS_* values of the PE format.
constexpr uint16_t kRemovableRunFromSwap = 0x0400;
constexpr uint16_t kNetRunFromSwap = 0x0800;
constexpr uint16_t kDynamicBase = 0x0040;
constexpr uint16_t kNxCompat = 0x0100;
// IMAGE_FILE_MACHINE_* and IMAGE_SUBSYSTEM_* values.
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint16_t kSubsystemWindowsConsole = 3;

struct Import {
  std::string dll;       // as the import directory spells it
  std::string function;  // "#N" for an import by ordinal
};

struct Facts {
  bool pe32Plus = false;
  uint16_t machine = 0;
  uint16_t subsystem = 0;
  uint16_t characteristics = 0;
  uint16_t dllCharacteristics = 0;
  uint32_t timeDateStamp = 0;
  uint32_t storedChecksum = 0;
  uint32_t computedChecksum = 0;
  // Empty when there is no load configuration directory or it is too short
  // to hold the field.
  std::optional<uint16_t> dependentLoadFlags;
  std::vector<Import> imports;
  // The certificate table (data directory 4), where an Authenticode
  // signature lies: a file offset, not an address; both 0 when absent.
  uint32_t certificateTableOffset = 0;
  uint32_t certificateTableSize = 0;
};

// Reads the facts; empty when the bytes are not a PE image whose headers,
// load configuration and import directory lie inside them.
std::optional<Facts> Inspect(const std::vector<uint8_t>& image);

// The image checksum as the Windows loader verifies it: the 16-bit
// one's-complement-style sum of the file with the checksum field counted as
// zero, plus the file length.
uint32_t Checksum(const std::vector<uint8_t>& image);

// Points the load configuration directory at the section of that name (its
// start, with the structure's own Size field as the directory's size) unless
// the directory is set already. False (image unchanged) when there is
// neither.
bool PointLoadConfigAt(std::vector<uint8_t>& image, const std::string& section);

// Sets the given IMAGE_FILE_* flags in the file header and stores the new
// checksum. False (image unchanged) when the headers cannot be read.
bool SetCharacteristics(std::vector<uint8_t>& image, uint16_t flags);

}  // namespace pe
