#include "tools/pe_postlink/pe_image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pe {
namespace {

void Put(std::vector<uint8_t>& image, size_t offset, uint32_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A PE32 image as GNU ld 2.40 leaves it: one section .ldcfg (file 0x200,
// address 0x1000) holding a load configuration with DependentLoadFlags
// 0x800 that no directory names, and an import directory with one named
// and one ordinal import.
std::vector<uint8_t> SmallImage() {
  std::vector<uint8_t> image(0x400, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put(image, 0x3C, 0x40, 4);
  Put(image, 0x40, 0x4550, 4);
  Put(image, 0x44 + 2, 1, 2);           // one section
  Put(image, 0x44 + 4, 0x12345678, 4);  // time stamp
  Put(image, 0x44 + 16, 0xE0, 2);       // optional header size
  Put(image, 0x44 + 18, 0x0102, 2);     // executable, 32-bit
  const size_t optional = 0x58;
  Put(image, optional, 0x10B, 2);
  Put(image, optional + 70, 0x0140, 2);  // dynamic base, NX
  Put(image, optional + 92, 16, 4);
  Put(image, optional + 96 + 8 * 1, 0x1100, 4);  // imports
  Put(image, optional + 96 + 8 * 1 + 4, 40, 4);
  const size_t section = optional + 0xE0;
  std::memcpy(&image[section], ".ldcfg", 6);
  Put(image, section + 8, 0x200, 4);
  Put(image, section + 12, 0x1000, 4);
  Put(image, section + 16, 0x200, 4);
  Put(image, section + 20, 0x200, 4);
  Put(image, 0x200, 64, 4);            // load configuration Size
  Put(image, 0x200 + 0x36, 0x800, 2);  // DependentLoadFlags
  Put(image, 0x300, 0x1140, 4);        // descriptor: thunks, name
  Put(image, 0x300 + 12, 0x1180, 4);
  Put(image, 0x300 + 16, 0x1140, 4);
  Put(image, 0x340, 0x1190, 4);
  Put(image, 0x344, 0x80000007, 4);
  std::memcpy(&image[0x380], "KERNEL32.dll", 12);
  std::memcpy(&image[0x392], "Sleep", 5);
  return image;
}

TEST(PeImage, FixSetsTheSwapFlagsTheLoadConfigurationAndAValidChecksum) {
  std::vector<uint8_t> image = SmallImage();
  std::optional<Facts> before = Inspect(image);
  ASSERT_TRUE(before);
  EXPECT_FALSE(before->dependentLoadFlags);  // no directory yet
  ASSERT_EQ(before->imports.size(), 2u);
  EXPECT_EQ(before->imports[0].dll + " " + before->imports[0].function, "KERNEL32.dll Sleep");
  EXPECT_EQ(before->imports[1].function, "#7");

  ASSERT_TRUE(PointLoadConfigAt(image, ".ldcfg"));
  ASSERT_TRUE(SetCharacteristics(image, kRemovableRunFromSwap | kNetRunFromSwap));
  std::optional<Facts> after = Inspect(image);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->characteristics, 0x0102 | 0x0C00);
  EXPECT_EQ(after->dllCharacteristics, kDynamicBase | kNxCompat);
  EXPECT_EQ(after->timeDateStamp, 0x12345678u);
  EXPECT_EQ(after->dependentLoadFlags, std::optional<uint16_t>(0x800));
  EXPECT_NE(after->storedChecksum, 0u);
  EXPECT_EQ(after->storedChecksum, after->computedChecksum);
  EXPECT_FALSE(PointLoadConfigAt(image = SmallImage(), ".other"));

  // A linker that fills in the directory itself: left as it is.
  image = SmallImage();
  std::memcpy(&image[0x58 + 0xE0], ".rdata", 6);
  Put(image, 0x58 + 96 + 8 * 10, 0x1000, 4);
  Put(image, 0x58 + 96 + 8 * 10 + 4, 64, 4);
  EXPECT_TRUE(PointLoadConfigAt(image, ".ldcfg"));
  EXPECT_EQ(Inspect(image)->dependentLoadFlags, std::optional<uint16_t>(0x800));
}

TEST(PeImage, ChecksumFoldsCarriesAddsTheLengthAndSkipsItsOwnField) {
  const struct {
    std::vector<uint8_t> bytes;
    uint32_t sum;
  } rows[] = {
      {{0x01, 0x02, 0x03}, 0x0201 + 0x0003 + 3},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFF + 4},
      {{}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.bytes.size());
    EXPECT_EQ(Checksum(row.bytes), row.sum);
  }
  std::vector<uint8_t> image = SmallImage();
  const uint32_t sum = Checksum(image);
  Put(image, 0x58 + 64, 0xDEADBEEF, 4);
  EXPECT_EQ(Checksum(image), sum);
}

TEST(PeImage, TruncatedOrForeignBytesAreRefusedAndLeftAlone) {
  const size_t cuts[] = {0x3F, 0x50, 0x100, 0x150, 0x2FF, 0x390};
  for (size_t cut : cuts) {
    SCOPED_TRACE(cut);
    std::vector<uint8_t> image = SmallImage();
    image.resize(cut);
    const std::vector<uint8_t> original = image;
    EXPECT_FALSE(Inspect(image));
    if (cut < 0x200) EXPECT_FALSE(SetCharacteristics(image, kNetRunFromSwap));
    EXPECT_EQ(image, original);
  }
  std::vector<uint8_t> image = SmallImage();
  image[0] = 'X';
  EXPECT_FALSE(Inspect(image));
}

}  // namespace
}  // namespace pe
