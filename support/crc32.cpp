#include "support/crc32.h"

namespace setup {
namespace {

// Slicing by sixteen: row k holds the CRC of a byte followed by k zero
// bytes, so sixteen bytes are folded with sixteen look-ups. Only this way
// does the check keep up with the copy under Wine: a byte at a time would
// slow it by half, eight at a time by a tenth. The rows are computed
// rather than stored, to keep 16 KB out of the program file.
constexpr int kSlices = 16;

struct Crc32Tables {
  uint32_t rows[kSlices][256];
};

Crc32Tables MakeTables() {
  Crc32Tables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    tables.rows[0][byte] = crc;
  }
  for (int k = 1; k < kSlices; ++k) {
    for (uint32_t byte = 0; byte < 256; ++byte) {
      const uint32_t previous = tables.rows[k - 1][byte];
      tables.rows[k][byte] = (previous >> 8) ^ tables.rows[0][previous & 0xFF];
    }
  }
  return tables;
}

// Filled before main, while the first thread is the only one.
const Crc32Tables kTables = MakeTables();

uint32_t LittleEndian32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, std::size_t size) {
  const auto& t = kTables.rows;
  const auto* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (; size >= kSlices; p += kSlices, size -= kSlices) {
    const uint32_t a = crc ^ LittleEndian32(p), b = LittleEndian32(p + 4);
    const uint32_t c = LittleEndian32(p + 8), d = LittleEndian32(p + 12);
    crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
          t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
          t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
          t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
  }
  for (; size > 0; ++p, --size) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
  return ~crc;
}

}  // namespace setup
