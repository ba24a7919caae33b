#include "tools/pe_postlink/pe_image.h"

#include <algorithm>

namespace pe {
namespace {

// Offsets of the PE format, as Microsoft documents the PE/COFF layout.
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kImportDirectory = 1;
constexpr size_t kCertificateDirectory = 4;
constexpr size_t kLoadConfigDirectory = 10;
constexpr size_t kImportDescriptorSize = 20;
// DependentLoadFlags inside IMAGE_LOAD_CONFIG_DIRECTORY32 / 64.
constexpr size_t kDependentLoadFlags32 = 0x36;
constexpr size_t kDependentLoadFlags64 = 0x4E;
// Bounds a name read from the image.
constexpr size_t kMaxName = 512;

bool Has(const std::vector<uint8_t>& image, size_t offset, size_t length) {
  return offset <= image.size() && length <= image.size() - offset;
}

uint64_t Read(const std::vector<uint8_t>& image, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i-- > 0;) value = (value << 8) | image[offset + i];
  return value;
}

void Write32(std::vector<uint8_t>& image, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Where the headers are; every offset checked against the image.
struct Layout {
  size_t fileHeader = 0;
  size_t optionalHeader = 0;
  size_t sections = 0;
  size_t sectionCount = 0;
  size_t directories = 0;
  size_t directoryCount = 0;
  bool pe32Plus = false;

  size_t ChecksumOffset() const { return optionalHeader + 64; }
};

std::optional<Layout> FindLayout(const std::vector<uint8_t>& image) {
  if (!Has(image, 0, kLfanewOffset + 4) || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
  const size_t signature = Read(image, kLfanewOffset, 4);
  if (!Has(image, signature, 4 + kFileHeaderSize + 2)) return std::nullopt;
  if (Read(image, signature, 4) != 0x4550) return std::nullopt;  // "PE\0\0"
  Layout layout;
  layout.fileHeader = signature + 4;
  layout.optionalHeader = layout.fileHeader + kFileHeaderSize;
  layout.sectionCount = Read(image, layout.fileHeader + 2, 2);
  const size_t optionalSize = Read(image, layout.fileHeader + 16, 2);
  const uint64_t magic = Read(image, layout.optionalHeader, 2);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) return std::nullopt;
  layout.pe32Plus = magic == kMagicPe32Plus;
  const size_t countOffset = layout.optionalHeader + (layout.pe32Plus ? 108 : 92);
  if (optionalSize < countOffset + 4 - layout.optionalHeader) return std::nullopt;
  if (!Has(image, layout.optionalHeader, optionalSize)) return std::nullopt;
  layout.directories = countOffset + 4;
  layout.directoryCount = Read(image, countOffset, 4);
  if (layout.directoryCount > (layout.optionalHeader + optionalSize - layout.directories) / 8) {
    return std::nullopt;
  }
  layout.sections = layout.optionalHeader + optionalSize;
  if (!Has(image, layout.sections, layout.sectionCount * kSectionHeaderSize)) return std::nullopt;
  return layout;
}

// The file offset of length bytes at rva, inside one section's raw data.
std::optional<size_t> FileOffset(const std::vector<uint8_t>& image, const Layout& layout,
                                 uint64_t rva, size_t length) {
  for (size_t i = 0; i < layout.sectionCount; ++i) {
    const size_t header = layout.sections + i * kSectionHeaderSize;
    const uint64_t address = Read(image, header + 12, 4);
    const uint64_t rawSize = Read(image, header + 16, 4);
    const uint64_t rawOffset = Read(image, header + 20, 4);
    if (rva < address || rva - address >= rawSize) continue;
    if (length > rawSize - (rva - address)) return std::nullopt;
    const size_t offset = rawOffset + (rva - address);
    if (!Has(image, offset, length)) return std::nullopt;
    return offset;
  }
  return std::nullopt;
}

std::optional<std::string> NameAt(const std::vector<uint8_t>& image, const Layout& layout,
                                  uint64_t rva) {
  std::string name;
  for (size_t i = 0; i < kMaxName; ++i) {
    const std::optional<size_t> at = FileOffset(image, layout, rva + i, 1);
    if (!at) return std::nullopt;
    if (image[*at] == 0) return name;
    name += static_cast<char>(image[*at]);
  }
  return std::nullopt;
}

bool ReadImports(const std::vector<uint8_t>& image, const Layout& layout, uint64_t rva,
                 std::vector<Import>& imports) {
  const size_t width = layout.pe32Plus ? 8 : 4;
  const uint64_t ordinalFlag = uint64_t{1} << (8 * width - 1);
  for (;; rva += kImportDescriptorSize) {
    const std::optional<size_t> descriptor = FileOffset(image, layout, rva, kImportDescriptorSize);
    if (!descriptor) return false;
    const uint64_t nameRva = Read(image, *descriptor + 12, 4);
    uint64_t thunk = Read(image, *descriptor, 4);
    if (thunk == 0) thunk = Read(image, *descriptor + 16, 4);
    if (nameRva == 0 && thunk == 0) return true;
    const std::optional<std::string> dll = NameAt(image, layout, nameRva);
    if (!dll) return false;
    for (;; thunk += width) {
      const std::optional<size_t> entry = FileOffset(image, layout, thunk, width);
      if (!entry) return false;
      const uint64_t value = Read(image, *entry, width);
      if (value == 0) break;
      if (value & ordinalFlag) {
        imports.push_back({*dll, "#" + std::to_string(value & 0xFFFF)});
        continue;
      }
      const std::optional<std::string> function = NameAt(image, layout, (value & 0x7FFFFFFF) + 2);
      if (!function) return false;
      imports.push_back({*dll, *function});
    }
  }
}

}  // namespace

uint32_t Checksum(const std::vector<uint8_t>& image) {
  const std::optional<Layout> layout = FindLayout(image);
  const size_t skip = layout ? layout->ChecksumOffset() : image.size();
  auto byte = [&](size_t i) -> uint32_t {
    return (i >= image.size() || (i >= skip && i < skip + 4)) ? 0 : image[i];
  };
  uint64_t sum = 0;
  for (size_t i = 0; i < image.size(); i += 2) {
    sum += byte(i) | (byte(i + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<uint32_t>(sum + image.size());
}

std::optional<Facts> Inspect(const std::vector<uint8_t>& image) {
  const std::optional<Layout> layout = FindLayout(image);
  if (!layout) return std::nullopt;
  Facts facts;
  facts.pe32Plus = layout->pe32Plus;
  facts.machine = static_cast<uint16_t>(Read(image, layout->fileHeader, 2));
  facts.subsystem = static_cast<uint16_t>(Read(image, layout->optionalHeader + 68, 2));
  facts.timeDateStamp = static_cast<uint32_t>(Read(image, layout->fileHeader + 4, 4));
  facts.characteristics = static_cast<uint16_t>(Read(image, layout->fileHeader + 18, 2));
  facts.dllCharacteristics = static_cast<uint16_t>(Read(image, layout->optionalHeader + 70, 2));
  facts.storedChecksum = static_cast<uint32_t>(Read(image, layout->ChecksumOffset(), 4));
  facts.computedChecksum = Checksum(image);

  auto directory = [&](size_t index, uint64_t& rva, uint64_t& size) {
    rva = size = 0;
    if (index >= layout->directoryCount) return;
    rva = Read(image, layout->directories + 8 * index, 4);
    size = Read(image, layout->directories + 8 * index + 4, 4);
  };
  uint64_t rva = 0, size = 0;
  directory(kLoadConfigDirectory, rva, size);
  if (rva != 0) {
    const size_t field = layout->pe32Plus ? kDependentLoadFlags64 : kDependentLoadFlags32;
    const std::optional<size_t> config = FileOffset(image, *layout, rva, 4);
    if (!config) return std::nullopt;
    const uint64_t declared = Read(image, *config, 4);
    if (declared >= field + 2 && size >= field + 2) {
      const std::optional<size_t> at = FileOffset(image, *layout, rva + field, 2);
      if (!at) return std::nullopt;
      facts.dependentLoadFlags = static_cast<uint16_t>(Read(image, *at, 2));
    }
  }
  directory(kImportDirectory, rva, size);
  if (rva != 0 && !ReadImports(image, *layout, rva, facts.imports)) return std::nullopt;
  directory(kCertificateDirectory, rva, size);
  facts.certificateTableOffset = static_cast<uint32_t>(rva);
  facts.certificateTableSize = static_cast<uint32_t>(size);
  return facts;
}

bool PointLoadConfigAt(std::vector<uint8_t>& image, const std::string& section) {
  const std::optional<Layout> layout = FindLayout(image);
  if (!layout || layout->directoryCount <= kLoadConfigDirectory) return false;
  const size_t entry = layout->directories + 8 * kLoadConfigDirectory;
  if (Read(image, entry, 4) != 0) return true;
  for (size_t i = 0; i < layout->sectionCount; ++i) {
    const size_t header = layout->sections + i * kSectionHeaderSize;
    const std::string name(reinterpret_cast<const char*>(&image[header]),
                           std::find(&image[header], &image[header] + 8, 0) - &image[header]);
    if (name != section) continue;
    const uint64_t address = Read(image, header + 12, 4);
    const std::optional<size_t> config = FileOffset(image, *layout, address, 4);
    if (!config) return false;
    const uint64_t size = Read(image, *config, 4);
    if (!FileOffset(image, *layout, address, size)) return false;
    Write32(image, entry, static_cast<uint32_t>(address));
    Write32(image, entry + 4, static_cast<uint32_t>(size));
    return true;
  }
  return false;
}

bool SetCharacteristics(std::vector<uint8_t>& image, uint16_t flags) {
  const std::optional<Layout> layout = FindLayout(image);
  if (!layout) return false;
  const size_t at = layout->fileHeader + 18;
  const uint16_t value = static_cast<uint16_t>(Read(image, at, 2) | flags);
  image[at] = static_cast<uint8_t>(value);
  image[at + 1] = static_cast<uint8_t>(value >> 8);
  Write32(image, layout->ChecksumOffset(), Checksum(image));
  return true;
}

}  // namespace pe
