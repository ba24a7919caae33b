// CRC-32 of IEEE 802.3, the checksum zip and PNG use (reflected polynomial
// 0xEDB88320, initial value and final XOR all ones): what the disk sets
// record of each volume and what SETUP.EXE checks the volumes against.
#pragma once

#include <cstddef>
#include <cstdint>

namespace setup {

// The CRC-32 of the bytes seen so far (crc, 0 before the first) followed by
// size bytes at data. Feeding a stream in pieces gives the CRC of the whole:
// Crc32(Crc32(0, a, n), b, m) == Crc32 of a then b. Safe on any thread.
uint32_t Crc32(uint32_t crc, const void* data, std::size_t size);

}  // namespace setup
