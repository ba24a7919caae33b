// Small PE images for the tests of the PE reader and of the check of a
// medium's program.
#pragma once

#include <cstdint>
#include <vector>

namespace setup::testing {

struct PeImageSpec {
  bool pe32Plus = false;  // the x86-64 build's format
  uint16_t machine = 0x014C;
  uint16_t subsystem = 2;  // Windows GUI
  bool signature = false;  // a certificate table at the end of the file
};

// An image as GNU ld 2.40 leaves it: one section .ldcfg (file 0x200,
// address 0x1000) holding a load configuration with DependentLoadFlags
// 0x800 that no directory names, and an import directory with one named
// and one ordinal import. The optional header starts at 0x58; its size is
// 0xE0 for PE32 and 0xF0 for PE32+.
std::vector<uint8_t> SmallPeImage(const PeImageSpec& spec = {});

}  // namespace setup::testing
