// Writes the seeds of pe_image_fuzz: the small images of the PE reader's
// tests (tests/fakes/test_pe_image.h) in the forms a medium's program takes.
//
// Usage: pe_fuzz_input FOLDER
// Writes FOLDER/small-pe32, small-pe32plus, small-console, small-signed.
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "fakes/test_pe_image.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pe_fuzz_input FOLDER\n";
    return 2;
  }
  using setup::testing::PeImageSpec;
  const std::vector<std::pair<std::string, PeImageSpec>> seeds = {
      {"small-pe32", {}},
      {"small-pe32plus", {true, 0x8664, 2, false}},
      {"small-console", {false, 0x014C, 3, false}},
      {"small-signed", {false, 0x014C, 2, true}},
  };
  for (const auto& [name, spec] : seeds) {
    const std::vector<uint8_t> image = setup::testing::SmallPeImage(spec);
    std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out) {
      std::cerr << "pe_fuzz_input: cannot write " << argv[1] << "/" << name << "\n";
      return 1;
    }
  }
  return 0;
}
