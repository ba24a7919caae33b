// Arbitrary bytes as a medium's program or as the linker's output: the PE
// reader must never read outside them, and the post-link step's two writes
// must keep their word: nothing changed when they say false, and where the
// flags were set the image reads with them and with a checksum that
// matches. (Whether an image still reads after a write is not asked: in
// bytes whose structures overlap, a write may land in another one.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "tools/pe_postlink/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> image(data, data + size);
  const std::optional<pe::Facts> facts = pe::Inspect(image);
  if (facts && facts->computedChecksum != pe::Checksum(image)) std::abort();

  constexpr uint16_t kFlags = pe::kRemovableRunFromSwap | pe::kNetRunFromSwap;
  std::vector<uint8_t> flagged = image;
  if (!pe::SetCharacteristics(flagged, kFlags)) {
    if (flagged != image) std::abort();
  } else if (const std::optional<pe::Facts> after = pe::Inspect(flagged)) {
    if ((after->characteristics & kFlags) != kFlags ||
        after->storedChecksum != after->computedChecksum) {
      std::abort();
    }
  }

  std::vector<uint8_t> pointed = image;
  if (!pe::PointLoadConfigAt(pointed, ".ldcfg") && pointed != image) std::abort();
  return 0;
}
