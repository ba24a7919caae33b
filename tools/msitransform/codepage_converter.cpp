#include "tools/msitransform/codepage_converter.h"

namespace setup::msi {

std::string CodepageName(int codepage) {
  if (codepage == 0) return "";
  if (codepage == 65001) return "UTF-8";
  return "CP" + std::to_string(codepage);
}

CodepageConverter::CodepageConverter(int codepage, bool toCodepage)
    : codepage_(codepage), toCodepage_(toCodepage) {
  std::string name = CodepageName(codepage);
  if (name.empty()) return;
  cd_ = toCodepage ? g_iconv_open(name.c_str(), "UTF-8") : g_iconv_open("UTF-8", name.c_str());
}

CodepageConverter::~CodepageConverter() {
  if (cd_ != reinterpret_cast<GIConv>(-1)) g_iconv_close(cd_);
}

bool CodepageConverter::Usable() const {
  return codepage_ == 0 || cd_ != reinterpret_cast<GIConv>(-1);
}

bool CodepageConverter::Convert(const std::string& in, std::string& out) {
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

}  // namespace setup::msi
