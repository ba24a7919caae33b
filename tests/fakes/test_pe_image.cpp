#include "fakes/test_pe_image.h"

#include <cstring>

namespace setup::testing {
namespace {

void Put(std::vector<uint8_t>& image, size_t offset, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> SmallPeImage(const PeImageSpec& spec) {
  std::vector<uint8_t> image(0x400, 0);
  const size_t optional = 0x58, optionalSize = spec.pe32Plus ? 0xF0 : 0xE0;
  const size_t directories = optional + (spec.pe32Plus ? 112 : 96);
  const size_t thunk = spec.pe32Plus ? 8 : 4;
  image[0] = 'M';
  image[1] = 'Z';
  Put(image, 0x3C, 0x40, 4);
  Put(image, 0x40, 0x4550, 4);
  Put(image, 0x44, spec.machine, 2);
  Put(image, 0x44 + 2, 1, 2);           // one section
  Put(image, 0x44 + 4, 0x12345678, 4);  // time stamp
  Put(image, 0x44 + 16, optionalSize, 2);
  Put(image, 0x44 + 18, 0x0102, 2);  // executable, 32-bit
  Put(image, optional, spec.pe32Plus ? 0x20B : 0x10B, 2);
  Put(image, optional + 68, spec.subsystem, 2);
  Put(image, optional + 70, 0x0140, 2);  // dynamic base, NX
  Put(image, directories - 4, 16, 4);
  Put(image, directories + 8 * 1, 0x1100, 4);  // imports
  Put(image, directories + 8 * 1 + 4, 40, 4);
  const size_t section = optional + optionalSize;
  std::memcpy(&image[section], ".ldcfg", 6);
  Put(image, section + 8, 0x200, 4);
  Put(image, section + 12, 0x1000, 4);
  Put(image, section + 16, 0x200, 4);
  Put(image, section + 20, 0x200, 4);
  Put(image, 0x200, spec.pe32Plus ? 0x100 : 64, 4);             // load configuration Size
  Put(image, 0x200 + (spec.pe32Plus ? 0x4E : 0x36), 0x800, 2);  // DependentLoadFlags
  Put(image, 0x300, 0x1140, 4);                                 // descriptor: thunks, name
  Put(image, 0x300 + 12, 0x1180, 4);
  Put(image, 0x300 + 16, 0x1140, 4);
  Put(image, 0x340, 0x1190, thunk);
  Put(image, 0x340 + thunk, (uint64_t{1} << (8 * thunk - 1)) | 7, thunk);
  std::memcpy(&image[0x380], "KERNEL32.dll", 12);
  std::memcpy(&image[0x392], "Sleep", 5);
  if (spec.signature) {
    Put(image, directories + 8 * 4, image.size(), 4);
    Put(image, directories + 8 * 4 + 4, 16, 4);
    image.resize(image.size() + 16, 0x30);
  }
  return image;
}

}  // namespace setup::testing
