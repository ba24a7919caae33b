#include "floppy/volume_digest.h"

#include <gtest/gtest.h>

#include "fakes/fake_file_system.h"
#include "support/crc32.h"

namespace setup {
namespace {

using testing::FakeFileSystem;

uint32_t Crc(const std::string& text) { return Crc32(0, text.data(), text.size()); }

TEST(Crc32, KnownVectorsWholeAndInPieces) {
  struct Row {
    std::string text;
    uint32_t crc;
  };
  const Row rows[] = {
      {"", 0x00000000},
      {"a", 0xE8B7BE43},
      {"123456789", 0xCBF43926},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339},
      {std::string(32, '\0'), 0x190A55AD},
      {std::string(32, '\xFF'), 0xFF6CAB0B},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(Crc(row.text), row.crc);
    // Every cut, on and off the eight-byte steps, gives the same CRC.
    for (std::size_t cut = 0; cut <= row.text.size(); ++cut) {
      SCOPED_TRACE(cut);
      EXPECT_EQ(Crc32(Crc32(0, row.text.data(), cut), row.text.data() + cut, row.text.size() - cut),
                row.crc);
    }
  }
}

TEST(VolumeDigest, TheLineIsWrittenAndReadBack) {
  const VolumeDigest digest{1457664, 0x0A1B2C3D, 0xFFFFFFFF};
  EXPECT_EQ(FormatDigestLine(12, digest), "Disk.12,,1457664,0A1B2C3D,FFFFFFFF");
  EXPECT_EQ(ParseDigestLine(FormatDigestLine(12, digest), 12), digest);
  EXPECT_EQ(FormatDigestLine(1, VolumeDigest{}), "Disk.1,,0,00000000,00000000");
}

TEST(VolumeDigest, LinesThatAreNotADigestOfThatDiskGiveNone) {
  struct Row {
    std::string line;
    bool parses;
  };
  const Row rows[] = {
      {"Disk.3,,1000,89abcdef,01234567", true},
      {"DISK.3,,1000,89ABCDEF,01234567", true},
      {"Disk.3,,1000,89ABCDEF,01234567,a later field", true},
      {"Disk.3,,2147483647,0,1", true},
      {"Disk.3,,0,00000000,00000000,", true},
      {"Disk.4,,1000,89ABCDEF,01234567", false},
      {"Disk.03,,1000,89ABCDEF,01234567", false},
      {"Disk.3,x,1000,89ABCDEF,01234567", false},
      {"Disk.3,51000,89ABCDEF,01234567,0", false},
      {"Disk.3,,2147483648,89ABCDEF,01234567", false},
      {"Disk.3,,18446744073709551617,89ABCDEF,01234567", false},
      {"Disk.3,,-1,89ABCDEF,01234567", false},
      {"Disk.3,, 1000,89ABCDEF,01234567", false},
      {"Disk.3,,1000 ,89ABCDEF,01234567", false},
      {"Disk.3,,,89ABCDEF,01234567", false},
      {"Disk.3,,1000,189ABCDEF,01234567", false},
      {"Disk.3,,1000,89ABCDEG,01234567", false},
      {"Disk.3,,1000,89ABCDEF,", false},
      {"Disk.3,,1000,89ABCDEF", false},
      {"Disk.3,,1000", false},
      {"Disk.3,,", false},
      {"Disk.3", false},
      {"3,Disk.3,1000", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ParseDigestLine(row.line, 3).has_value(), row.parses);
  }
}

TEST(VolumeDigest, AVolumeIsToldFromAnotherAndProvenToItsEnd) {
  const std::string volume = std::string(700, 'v') + "tail";
  const VolumeDigest digest{704, Crc(volume), Crc(volume.substr(0, kFirstBlockSize))};
  std::string laterByte = volume;
  laterByte[kFirstBlockSize] = 'x';
  std::string firstBlock = volume;
  firstBlock[kFirstBlockSize - 1] = 'x';
  struct Row {
    const char* name;
    std::optional<std::string> content;
    std::optional<int64_t> badByte;
    std::optional<DiskFault> identified;
    std::optional<DiskFault> proven;
  };
  const Row rows[] = {
      {"the disk", volume, std::nullopt, std::nullopt, std::nullopt},
      {"a byte after the first block differs", laterByte, std::nullopt, std::nullopt,
       DiskFault::DigestMismatch},
      {"the first block differs", firstBlock, std::nullopt, DiskFault::WrongDisk,
       DiskFault::WrongDisk},
      {"one byte longer", volume + "!", std::nullopt, DiskFault::WrongDisk, DiskFault::WrongDisk},
      {"a bad sector in the first block", volume, 100, DiskFault::ReadError, DiskFault::ReadError},
      {"a bad sector after it", volume, 600, std::nullopt, DiskFault::ReadError},
      {"no volume at all", std::nullopt, std::nullopt, std::nullopt, DiskFault::ReadError},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeFileSystem files;
    if (row.content) files.AddFile("A:\\Disk.1", *row.content);
    if (row.badByte) files.badByte["A:\\Disk.1"] = *row.badByte;
    if (std::unique_ptr<ReadableFile> file = files.OpenForReading("A:\\Disk.1")) {
      EXPECT_EQ(IdentifyVolume(*file, digest), row.identified);
    }
    EXPECT_EQ(ProveVolumeFile(files, "A:\\Disk.1", digest), row.proven);
  }
}

TEST(VolumeDigest, TheManifestYieldsTheLineOfEachDisk) {
  FakeFileSystem files;
  files.AddFile("A:\\Files.id",
                "1,Setup.msi,5\r\nDisk.1,,5,00000001,00000002\r\ndisk.2,,0,0,0\r\n"
                "Disk.3,,bad,0,0\r\n");
  IniStorage manifest(files);
  manifest.SetFile("A:\\Files.id");
  ASSERT_TRUE(manifest.Load(false));
  EXPECT_EQ(FindVolumeDigest(manifest, 1), (VolumeDigest{5, 1, 2}));
  EXPECT_EQ(FindVolumeDigest(manifest, 2), VolumeDigest{});
  EXPECT_EQ(FindVolumeDigest(manifest, 3), std::nullopt);
  EXPECT_EQ(FindVolumeDigest(manifest, 4), std::nullopt);
}

}  // namespace
}  // namespace setup
