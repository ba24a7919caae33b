#include "tools/msitransform/codepages.h"

#include <glib.h>

#include <memory>
#include <set>

#include "tools/msitransform/codepage_converter.h"

namespace setup::msi {
namespace {

// Primary language (the low 10 bits of a language id) -> ANSI code page,
// as Windows' locale tables give it. Chinese and the Serbo-Croatian
// languages depend on the sublanguage as well (AnsiCodepageOf).
struct LanguageCodepage {
  int primary, codepage;
};
constexpr LanguageCodepage kLanguages[] = {
    {0x01, 1256}, {0x02, 1251}, {0x03, 1252}, {0x05, 1250}, {0x06, 1252}, {0x07, 1252},
    {0x08, 1253}, {0x09, 1252}, {0x0A, 1252}, {0x0B, 1252}, {0x0C, 1252}, {0x0D, 1255},
    {0x0E, 1250}, {0x0F, 1252}, {0x10, 1252}, {0x11, 932},  {0x12, 949},  {0x13, 1252},
    {0x14, 1252}, {0x15, 1250}, {0x16, 1252}, {0x18, 1250}, {0x19, 1251}, {0x1B, 1250},
    {0x1C, 1250}, {0x1D, 1252}, {0x1E, 874},  {0x1F, 1254}, {0x20, 1256}, {0x21, 1252},
    {0x22, 1251}, {0x23, 1251}, {0x24, 1250}, {0x25, 1257}, {0x26, 1257}, {0x27, 1257},
    {0x29, 1256}, {0x2A, 1258}, {0x2D, 1252}, {0x2F, 1251}, {0x36, 1252}, {0x38, 1252},
    {0x3E, 1252}, {0x3F, 1251}, {0x41, 1252}, {0x56, 1252},
};

// The order in which code pages are tried after the language's own.
constexpr int kCodepageOrder[] = {1252, 1250, 1251, 1253, 1254, 1255, 1256,
                                  1257, 1258, 874,  932,  936,  949,  950};

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Whether converter takes every text.
bool HoldsAll(CodepageConverter& converter, const std::vector<const std::string*>& texts) {
  std::string ignored;
  for (const std::string* text : texts) {
    if (!converter.Convert(*text, ignored)) return false;
  }
  return true;
}

// A text as the report shows it: UTF-8 as it is, other bytes (a code page
// 0 transform keeps its bytes) read as Windows-1252, as libmsi reads code
// page 0.
std::string Shown(const std::string& text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
  CodepageConverter western(1252, false);
  std::string shown;
  if (western.Usable() && western.Convert(text, shown)) return shown;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      char escape[8];
      g_snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
      shown += escape;
    } else {
      shown += c;
    }
  }
  return shown;
}

void AddCells(const std::string& table, const Schema& schema, const Row& row,
              std::vector<TextCell>& cells) {
  for (size_t i = 0; i < schema.size() && i < row.size(); ++i) {
    if (!IsString(schema[i].type) || row[i].null || IsAscii(row[i].text)) continue;
    cells.push_back({table, ShownKey(schema, row), schema[i].name, row[i].text});
  }
}

}  // namespace

int AnsiCodepageOf(int languageId) {
  const int primary = languageId & 0x3FF, sub = languageId >> 10;
  if (primary == 0x04) return sub == 0x02 || sub == 0x04 ? 936 : 950;
  if (primary == 0x1A) return sub == 0x03 || sub == 0x07 || sub == 0x08 ? 1251 : 1250;
  for (const LanguageCodepage& entry : kLanguages) {
    if (entry.primary == primary) return entry.codepage;
  }
  return 0;
}

std::optional<int> CodepageHolding(const std::vector<std::string>& texts, int languageId) {
  std::vector<const std::string*> outside;
  std::set<std::string> seen;
  for (const std::string& text : texts) {
    if (!IsAscii(text) && seen.insert(text).second) outside.push_back(&text);
  }
  if (outside.empty()) return 0;
  std::vector<int> order;
  if (AnsiCodepageOf(languageId) != 0) order.push_back(AnsiCodepageOf(languageId));
  for (int codepage : kCodepageOrder) {
    if (codepage != AnsiCodepageOf(languageId)) order.push_back(codepage);
  }
  for (int codepage : order) {
    CodepageConverter converter(codepage, true);
    if (converter.Usable() && HoldsAll(converter, outside)) return codepage;
  }
  return std::nullopt;
}

bool TextsOutsideAscii(PackageReader& package, std::vector<TextCell>& cells, std::string& error) {
  for (const auto& [table, schema] : package.TableSchemas()) {
    bool strings = false;
    for (const Column& column : schema) strings = strings || IsString(column.type);
    if (!strings) continue;
    const Schema& columns = schema;
    const std::string& name = table;
    if (!package.ForEachRow(
            table, [&](Row& row) { AddCells(name, columns, row, cells); }, error)) {
      return false;
    }
  }
  return true;
}

std::vector<TextCell> TextsOutsideAscii(const Transform& transform) {
  std::vector<TextCell> cells;
  for (const TableChange& change : transform.tables) {
    for (const RowChange& row : change.rows) {
      if (row.action != RowAction::kDelete) AddCells(change.table, change.schema, row.cells, cells);
    }
  }
  return cells;
}

std::vector<TextCell> TextsOutside(const std::vector<TextCell>& cells, int codepage) {
  CodepageConverter converter(codepage, true);
  std::vector<TextCell> outside;
  std::string ignored;
  for (const TextCell& cell : cells) {
    if (!converter.Usable() || !converter.Convert(cell.text, ignored)) outside.push_back(cell);
  }
  return outside;
}

std::string DescribeCells(const std::vector<TextCell>& cells) {
  constexpr size_t kShown = 3;
  std::string text;
  for (size_t i = 0; i < cells.size() && i < kShown; ++i) {
    text += (i == 0 ? "" : "; ") + std::string("table ") + cells[i].table + ", key " +
            cells[i].key + ", column " + cells[i].column + ": \"" + Shown(cells[i].text) + "\"";
  }
  if (cells.size() > kShown) text += "; and " + std::to_string(cells.size() - kShown) + " more";
  return text;
}

}  // namespace setup::msi
