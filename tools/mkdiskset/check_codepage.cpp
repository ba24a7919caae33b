// The code page part of mkdiskset check: texts of the package or of a
// transform that their code page cannot hold. Windows Installer reads a
// string pool in its code page, and one in code page 0 in the customer's
// own ANSI code page, so such texts reach the customer changed.
#include <glib.h>

#include "tools/mkdiskset/check_transform.h"
#include "tools/msitransform/codepage_converter.h"

namespace setup::tools {
namespace {

// The bytes a package holds for a text libmsi has read (code page 0 is
// read as Windows-1252); a transform of code page 0 keeps its bytes.
std::optional<std::string> StoredBytes(const std::string& text) {
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
  msi::CodepageConverter western(1252, true);
  std::string bytes;
  if (!western.Usable() || !western.Convert(text, bytes)) return std::nullopt;
  return bytes;
}

// What a customer whose ANSI code page is 1251 (Cyrillic) reads for a text
// of a code page 0 file; "" when it cannot be shown.
std::string AsCyrillicSystemShowsIt(const std::string& text) {
  std::optional<std::string> bytes = StoredBytes(text);
  msi::CodepageConverter cyrillic(1251, false);
  std::string shown;
  if (!bytes || !cyrillic.Usable() || !cyrillic.Convert(*bytes, shown)) return "";
  return shown;
}

}  // namespace

void ReportTextsOutsideCodepage(const std::string& file, int codepage, int languageId,
                                const std::vector<msi::TextCell>& cells, CheckReport& report) {
  const std::vector<msi::TextCell> outside = msi::TextsOutside(cells, codepage);
  if (outside.empty()) return;
  std::string text = file + " is in code page " + std::to_string(codepage) +
                     (codepage == 0 ? " (neutral: ASCII only)" : "") +
                     ", which cannot hold its texts (" + msi::DescribeCells(outside) + "): ";
  if (codepage == 0) {
    text +=
        "Windows reads them in the customer's own code page, so they come out right only "
        "where that is 1252 (Western European systems) and as other characters elsewhere";
    const std::string cyrillic = AsCyrillicSystemShowsIt(outside[0].text);
    if (!cyrillic.empty()) text += " (a Cyrillic system shows \"" + cyrillic + "\")";
  } else {
    text += "Windows Installer cannot read them, and the customer sees other characters";
  }
  std::vector<std::string> texts;
  for (const msi::TextCell& cell : cells) texts.push_back(cell.text);
  const std::optional<int> holding = msi::CodepageHolding(texts, languageId);
  if (holding) {
    text += "; set code page " + std::to_string(*holding) +
            " on the language build it comes from (scripts/set-codepage.sh BUILD.msi " +
            std::to_string(*holding) + ") and make the medium again";
  } else {
    text += "; no one code page holds all its texts: split them by language";
  }
  report.errors.push_back({0, text});
}

}  // namespace setup::tools
