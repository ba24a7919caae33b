// Strings between UTF-8, their form in memory, and an installer code page,
// their form in a transform's string pool.
#pragma once

#include <glib.h>

#include <string>

namespace setup::msi {

// The iconv name of an installer code page ("" for code page 0, which
// holds ASCII only).
std::string CodepageName(int codepage);

// Converts one way between UTF-8 and a code page. Code page 0 (neutral)
// writes ASCII only and reads bytes as they are.
class CodepageConverter {
 public:
  CodepageConverter(int codepage, bool toCodepage);
  ~CodepageConverter();
  CodepageConverter(const CodepageConverter&) = delete;
  CodepageConverter& operator=(const CodepageConverter&) = delete;
  // False when iconv does not know the code page.
  bool Usable() const;
  // False when in holds a character the other side cannot.
  bool Convert(const std::string& in, std::string& out);

 private:
  int codepage_;
  bool toCodepage_;
  GIConv cd_ = reinterpret_cast<GIConv>(-1);
};

}  // namespace setup::msi
