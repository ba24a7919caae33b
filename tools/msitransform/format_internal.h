// What the transform writer and reader share: the storage class, the
// system tables' columns, cell widths, and code page conversion.
#pragma once

#include <glib.h>
#include <gsf/gsf-utils.h>

#include <memory>
#include <string>

#include "tools/msitransform/transform.h"

namespace setup::msi::detail {

// {000C1082-0000-0000-C000-000000000046}, the class of transforms, as stored.
inline const guint8 kTransformClass[16] = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                           0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline const char kSummaryStream[] = "\005SummaryInformation";

struct GObjectUnref {
  void operator()(void* object) const {
    if (object != nullptr) g_object_unref(object);
  }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

inline const Schema kTablesSchema = {{"Name", kTypeKey | kTypeString | kTypeValid | 64}};
inline const Schema kColumnsSchema = {{"Table", kTypeKey | kTypeString | kTypeValid | 64},
                                      {"Number", kTypeKey | 0x0400 | kTypeValid | 2},
                                      {"Name", kTypeString | kTypeValid | 64},
                                      {"Type", 0x0400 | kTypeValid | 2}};

inline int CellBytes(int type, int strref) {
  if (IsBinary(type)) return 2;
  if (IsString(type)) return strref;
  return (type & 0xFF) <= 2 ? 2 : 4;
}

inline std::string Utf8Name(const std::u16string& name) {
  gchar* text = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(name.data()),
                                static_cast<glong>(name.size()), nullptr, nullptr, nullptr);
  std::string out = text != nullptr ? text : "";
  g_free(text);
  return out;
}

// Converts between UTF-8 and a code page. Code page 0 (neutral) writes
// ASCII only and reads bytes as they are.
class Converter {
 public:
  Converter(int codepage, bool toCodepage) : codepage_(codepage), toCodepage_(toCodepage) {
    std::string name = CodepageName(codepage);
    if (name.empty()) return;
    cd_ = toCodepage ? g_iconv_open(name.c_str(), "UTF-8") : g_iconv_open("UTF-8", name.c_str());
  }
  ~Converter() {
    if (cd_ != reinterpret_cast<GIConv>(-1)) g_iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Usable() const { return codepage_ == 0 || cd_ != reinterpret_cast<GIConv>(-1); }
  bool Convert(const std::string& in, std::string& out) {
    if (codepage_ == 0) {
      for (char c : in) {
        if (!toCodepage_) break;
        if (static_cast<unsigned char>(c) >= 0x80) return false;
      }
      out = in;
      return true;
    }
    gsize written = 0;
    gchar* result = g_convert_with_iconv(in.data(), static_cast<gssize>(in.size()), cd_, nullptr,
                                         &written, nullptr);
    if (result == nullptr) return false;
    out.assign(result, written);
    g_free(result);
    return true;
  }

 private:
  int codepage_;
  bool toCodepage_;
  GIConv cd_ = reinterpret_cast<GIConv>(-1);
};

inline void PutInt(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint32_t GetInt(const std::string& in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  }
  return value;
}

}  // namespace setup::msi::detail
