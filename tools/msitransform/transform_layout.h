// What the transform writer and reader share of the storage's layout: its
// class, the summary stream's name, the columns of the system tables, the
// width of a cell, and the little-endian integers every stream is made of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/msitransform/transform.h"

namespace setup::msi::layout {

// {000C1082-0000-0000-C000-000000000046}, the class of transforms, as stored.
inline const uint8_t kTransformClass[16] = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline const char kSummaryStream[] = "\005SummaryInformation";

inline const Schema kTablesSchema = {{"Name", kTypeKey | kTypeString | kTypeValid | 64}};
inline const Schema kColumnsSchema = {{"Table", kTypeKey | kTypeString | kTypeValid | 64},
                                      {"Number", kTypeKey | 0x0400 | kTypeValid | 2},
                                      {"Name", kTypeString | kTypeValid | 64},
                                      {"Type", 0x0400 | kTypeValid | 2}};

// The bytes a cell of type takes in a table stream; strref is the width of
// a string reference (2, or 3 for a large pool).
inline int CellBytes(int type, int strref) {
  if (IsBinary(type)) return 2;
  if (IsString(type)) return strref;
  return (type & 0xFF) <= 2 ? 2 : 4;
}

inline void PutInt(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The caller has checked that bytes bytes are there at at.
inline uint32_t GetInt(const std::string& in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  }
  return value;
}

}  // namespace setup::msi::layout
