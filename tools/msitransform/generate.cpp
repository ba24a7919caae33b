// The difference of two packages, table by table: each table's rows are
// matched by their primary key through a hash map, in one pass over each
// package's rows.
#include "tools/msitransform/generate.h"

#include <unordered_map>

namespace setup::msi {
namespace {

std::string Describe(const Column& column) {
  return column.name + " (type " + std::to_string(column.type) + ")";
}

// Why the columns of table differ, or "" when they do not.
std::string SchemaDifference(const std::string& table, const Schema& base, const Schema& other) {
  for (size_t i = 0; i < base.size() || i < other.size(); ++i) {
    if (i >= other.size()) return "column " + Describe(base[i]) + " is removed from table " + table;
    if (i >= base.size()) return "column " + Describe(other[i]) + " is added to table " + table;
    if (!(base[i] == other[i])) {
      return "column " + std::to_string(i + 1) + " of table " + table + " changes from " +
             Describe(base[i]) + " to " + Describe(other[i]);
    }
  }
  return "";
}

// One pass over localized's rows against base's rows indexed by key.
bool DiffRows(const Table& base, PackageReader& localized, TableChange& change,
              std::string& error) {
  const Schema& schema = change.schema;
  std::unordered_map<std::string, size_t> index;
  index.reserve(base.rows.size());
  for (size_t i = 0; i < base.rows.size(); ++i) index.emplace(RowKey(schema, base.rows[i]), i);
  std::vector<bool> kept(base.rows.size(), false);
  bool ok = localized.ForEachRow(
      change.table,
      [&](Row& row) {
        auto it = index.find(RowKey(schema, row));
        if (it == index.end()) {
          change.rows.push_back({RowAction::kInsert, 0, std::move(row)});
          return;
        }
        kept[it->second] = true;
        const Row& old = base.rows[it->second];
        uint32_t changed = 0;
        bool wide = false;
        for (size_t i = 0; i < schema.size(); ++i) {
          if (row[i] == old[i]) continue;
          if (i >= 16) wide = true;
          changed |= i < 16 ? 1u << i : 0;
        }
        if (wide) {
          // The update mask has 16 bits: a row that changes in a later
          // column is deleted and inserted again.
          change.rows.push_back({RowAction::kDelete, 0, old});
          change.rows.push_back({RowAction::kInsert, 0, std::move(row)});
        } else if (changed != 0) {
          change.rows.push_back({RowAction::kUpdate, changed, std::move(row)});
        }
      },
      error);
  for (size_t i = 0; ok && i < base.rows.size(); ++i) {
    if (!kept[i]) change.rows.push_back({RowAction::kDelete, 0, base.rows[i]});
  }
  return ok;
}

std::string PlatformAndLanguage(const PackageReader& package) {
  std::string language = package.Property("ProductLanguage");
  if (language.empty()) language = package.TemplateLanguage();
  return package.Platform() + ";" + language;
}

}  // namespace

// The summary information follows Microsoft Learn's pages "Template
// Summary", "Last Saved By Summary", "Revision Number Summary" (for a
// transform: "Original-Product-Code Original-Product-Version;
// New-Product-Code New-Product-Version; Upgrade-Code") and "Character
// Count Summary" (validation flags in the high word, suppressed error
// conditions in the low word, values of MsiCreateTransformSummaryInfo).
// The flags are those the WiX toolset's TransformFlags uses by default for
// language transforms, less its suppression of row and table errors:
//  - validate the product code: the transform is for this product only;
//  - suppress "code pages differ", which a language transform that
//    changes the code page (1252 to 932) must, or it is refused;
//  - report, not suppress, a missing or existing row or table: such a
//    transform was made from another build of the package, and applying it
//    half would install a product in a mix of languages.
// No language or version validation: SETUP.EXE applies the transform to
// the package it ships beside, whose language is the base's.
bool GenerateTransform(PackageReader& base, PackageReader& localized, Transform& transform,
                       std::string& error) {
  if (base.Property("ProductCode").empty()) {
    error = "the base package has no ProductCode property, which the transform validates";
    return false;
  }
  transform = Transform();
  transform.codepage = localized.Codepage();
  const Schemas &baseTables = base.TableSchemas(), &localizedTables = localized.TableSchemas();
  for (const auto& [name, schema] : baseTables) {
    if (localizedTables.count(name) == 0) transform.droppedTables.push_back(name);
  }
  for (const auto& [name, schema] : localizedTables) {
    auto old = baseTables.find(name);
    if (old != baseTables.end()) {
      std::string difference = SchemaDifference(name, old->second, schema);
      if (!difference.empty()) {
        error = difference + ": a transform that changes a table's columns is not supported";
        return false;
      }
    }
    Table before;
    if (old == baseTables.end()) {
      transform.addedTables.emplace_back(name, schema);
    } else if (!base.ReadTable(name, before, error)) {
      return false;
    }
    TableChange change{name, schema, {}};
    if (!DiffRows(before, localized, change, error)) return false;
    if (!change.rows.empty()) transform.tables.push_back(std::move(change));
  }

  TransformSummary& summary = transform.summary;
  summary.present = true;
  summary.templateText = PlatformAndLanguage(base);
  summary.lastSavedBy = PlatformAndLanguage(localized);
  summary.revisionNumber = base.Property("ProductCode") + base.Property("ProductVersion") + ";" +
                           localized.Property("ProductCode") +
                           localized.Property("ProductVersion") + ";" +
                           base.Property("UpgradeCode");
  summary.characterCount = kLanguageTransformFlags;
  return true;
}

}  // namespace setup::msi
