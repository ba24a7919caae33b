#include "support/crc32.h"

namespace setup {
namespace {

// Slicing by eight: row k holds the CRC of a byte followed by k zero bytes,
// so eight bytes are folded with eight look-ups. Only this way does the
// check keep up with the copy under Wine; a byte at a time slows it by
// half. The rows are computed rather than stored, to keep 8 KB out of the
// program file.
struct Crc32Tables {
  uint32_t rows[8][256];
};

Crc32Tables MakeTables() {
  Crc32Tables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    tables.rows[0][byte] = crc;
  }
  for (int k = 1; k < 8; ++k) {
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
  for (; size >= 8; p += 8, size -= 8) {
    const uint32_t low = crc ^ LittleEndian32(p);
    const uint32_t high = LittleEndian32(p + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^
          t[0][high >> 24];
  }
  for (; size > 0; ++p, --size) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
  return ~crc;
}

}  // namespace setup
