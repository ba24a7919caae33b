// Which code page holds the texts of a package or a transform: the choice
// a vendor makes for each language build, and the texts a build's code page
// cannot hold.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/msitransform/package.h"
#include "tools/msitransform/transform.h"

namespace setup::msi {

// The ANSI code page Windows uses for a language id (1031 German -> 1252,
// 1049 Russian -> 1251, 1041 Japanese -> 932, 2052 Chinese (PRC) -> 936);
// 0 for a language this table does not know.
int AnsiCodepageOf(int languageId);

// The code page that holds every text: the one the language implies first,
// then the single-byte Windows code pages and 932, 936, 949, 950 in that
// order, among those iconv knows here. 0 when every text is ASCII (code
// page 0, neutral, holds them); nullopt when no one code page holds them all.
std::optional<int> CodepageHolding(const std::vector<std::string>& texts, int languageId);

// One string cell, named as a person finds it: table, key, column.
struct TextCell {
  std::string table, key, column, text;
};

// The string cells outside ASCII of every table of the package (binary
// cells aside); false with the reason when a table cannot be read.
bool TextsOutsideAscii(PackageReader& package, std::vector<TextCell>& cells, std::string& error);
// The same for the rows a transform adds or changes.
std::vector<TextCell> TextsOutsideAscii(const Transform& transform);

// The cells the code page cannot hold (code page 0 holds ASCII only).
std::vector<TextCell> TextsOutside(const std::vector<TextCell>& cells, int codepage);

// "table Property, key ProductName, column Value: "Produit für Sie"" for the
// first few cells, and how many more there are.
std::string DescribeCells(const std::vector<TextCell>& cells);

}  // namespace setup::msi
