#include "tools/pe_postlink/pe_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fakes/test_pe_image.h"

namespace pe {
namespace {

void Put(std::vector<uint8_t>& image, size_t offset, uint32_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> SmallImage() { return setup::testing::SmallPeImage(); }

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

// Each row: an image; the facts the check of a medium's program reads.
TEST(PeImage, MachineSubsystemAndCertificateTableAreRead) {
  setup::testing::PeImageSpec x64;
  x64.pe32Plus = true;
  x64.machine = 0x8664;
  setup::testing::PeImageSpec console;
  console.subsystem = 3;
  setup::testing::PeImageSpec signature;
  signature.signature = true;
  const struct {
    const char* name;
    setup::testing::PeImageSpec spec;
    uint16_t machine, subsystem;
    uint32_t certificateOffset, certificateSize;
  } rows[] = {
      {"the i686 build", {}, kMachineI386, kSubsystemWindowsGui, 0, 0},
      {"the x86-64 build", x64, kMachineAmd64, kSubsystemWindowsGui, 0, 0},
      {"a console program", console, kMachineI386, kSubsystemWindowsConsole, 0, 0},
      {"a signed program", signature, kMachineI386, kSubsystemWindowsGui, 0x400, 16},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<Facts> facts = Inspect(setup::testing::SmallPeImage(row.spec));
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->pe32Plus, row.spec.pe32Plus);
    EXPECT_EQ(facts->machine, row.machine);
    EXPECT_EQ(facts->subsystem, row.subsystem);
    EXPECT_EQ(facts->certificateTableOffset, row.certificateOffset);
    EXPECT_EQ(facts->certificateTableSize, row.certificateSize);
    ASSERT_EQ(facts->imports.size(), 2u);
    EXPECT_EQ(facts->imports[1].function, "#7");
  }
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
