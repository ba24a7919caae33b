// The checks Windows Installer makes before it applies a transform: the
// storage class, the validation the summary information asks for (the
// flags of MsiCreateTransformSummaryInfo against the package's ProductCode,
// UpgradeCode, ProductLanguage, platform and ProductVersion), the code
// page, and the error conditions of each table and row change that the
// transform does not suppress. A transform without summary information
// asks for no validation and suppresses nothing.
#include "tools/mkdiskset/check_transform.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace setup::tools {
namespace {

using namespace msi;

bool SameText(std::string a, std::string b) {
  for (std::string* s : {&a, &b}) {
    std::transform(s->begin(), s->end(), s->begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  }
  return a == b;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// "{GUID}1.2.3" into its code and version.
void ProductAndVersion(const std::string& field, std::string& code, std::string& version) {
  size_t end = field.find('}');
  code = end == std::string::npos ? field : field.substr(0, end + 1);
  version = end == std::string::npos ? "" : field.substr(end + 1);
}

// -1, 0 or 1 comparing the first depth fields of two versions.
int CompareVersions(const std::string& a, const std::string& b, int depth) {
  std::vector<std::string> x = Split(a, '.'), y = Split(b, '.');
  for (int i = 0; i < depth; ++i) {
    long p = i < static_cast<int>(x.size()) ? std::strtol(x[i].c_str(), nullptr, 10) : 0;
    long q = i < static_cast<int>(y.size()) ? std::strtol(y[i].c_str(), nullptr, 10) : 0;
    if (p != q) return p < q ? -1 : 1;
  }
  return 0;
}

// False with why when the validation flags reject the package.
bool Validates(const PackageReader& package, const TransformSummary& summary, int flags,
               std::string& why) {
  std::vector<std::string> revision = Split(summary.revisionNumber, ';');
  revision.resize(3);
  std::string baseCode, baseVersion, templatePlatform, templateLanguage;
  ProductAndVersion(revision[0], baseCode, baseVersion);
  size_t semicolon = summary.templateText.find(';');
  templatePlatform = summary.templateText.substr(0, semicolon);
  templateLanguage =
      semicolon == std::string::npos ? "" : summary.templateText.substr(semicolon + 1);

  std::string productCode = package.Property("ProductCode");
  if ((flags & kValidateProduct) != 0 && !SameText(baseCode, productCode)) {
    why = "made for another product: it is for product " + baseCode + ", the package is " +
          productCode;
    return false;
  }
  std::string upgradeCode = package.Property("UpgradeCode");
  if ((flags & kValidateUpgradeCode) != 0 && !SameText(revision[2], upgradeCode)) {
    why = "made for another product family: it is for upgrade code " + revision[2] +
          ", the package has " + upgradeCode;
    return false;
  }
  std::string language = package.Property("ProductLanguage");
  if ((flags & kValidateLanguage) != 0 && templateLanguage != language) {
    why = "made for a package of language " + templateLanguage + ", the package's is " + language;
    return false;
  }
  if ((flags & kValidatePlatform) != 0 && !SameText(templatePlatform, package.Platform())) {
    why = "made for platform " + templatePlatform + ", the package's is " + package.Platform();
    return false;
  }
  int depth = (flags & kValidateUpdateVersion) != 0  ? 3
              : (flags & kValidateMinorVersion) != 0 ? 2
              : (flags & kValidateMajorVersion) != 0 ? 1
                                                     : 0;
  if (depth > 0) {
    std::string version = package.Property("ProductVersion");
    int order = CompareVersions(version, baseVersion, depth);
    bool ok = (flags & kValidateNewLessBase) != 0           ? order < 0
              : (flags & kValidateNewLessEqualBase) != 0    ? order <= 0
              : (flags & kValidateNewGreaterEqualBase) != 0 ? order >= 0
              : (flags & kValidateNewGreaterBase) != 0      ? order > 0
                                                            : order == 0;
    if (!ok) {
      why =
          "made for version " + baseVersion + " of the product, the package is version " + version;
      return false;
    }
  }
  return true;
}

}  // namespace

std::string ProductCodeSetBy(const Transform& transform) {
  std::string code;
  for (const TableChange& change : transform.tables) {
    if (change.table != "Property" || change.schema.size() < 2) continue;
    for (const RowChange& row : change.rows) {
      const bool valueGiven = row.action == RowAction::kInsert ||
                              (row.action == RowAction::kUpdate && (row.columns & 2) != 0);
      if (valueGiven && !row.cells[0].null && row.cells[0].text == "ProductCode") {
        code = row.cells[1].text;
      }
    }
  }
  return code;
}

bool TransformChecker::Open(LibmsiDatabase* package, std::string& error) {
  keys_.clear();
  return package_.Open(package, error);
}

const std::unordered_set<std::string>* TransformChecker::Keys(const std::string& table,
                                                              std::string& error) {
  auto it = keys_.find(table);
  if (it != keys_.end()) return &it->second;
  std::unordered_set<std::string> keys;
  if (!package_.ForEachKey(
          table, [&](const std::string& key) { keys.insert(key); }, error)) {
    return nullptr;
  }
  return &(keys_[table] = std::move(keys));
}

bool TransformChecker::Applies(const std::string& path, Transform& transform, std::string& why) {
  transform = Transform();
  if (!ReadTransform(path, package_.TableSchemas(), transform, why)) return false;
  const TransformSummary& summary = transform.summary;
  int flags = summary.present ? (summary.characterCount >> 16) & 0xFFFF : 0;
  int suppressed = summary.present ? summary.characterCount & 0xFFFF : 0;
  if (!Validates(package_, summary, flags, why)) return false;

  const Schemas& tables = package_.TableSchemas();
  int codepage = package_.Codepage();
  if (transform.codepage != 0 && codepage != 0 && transform.codepage != codepage &&
      (suppressed & kErrorChangeCodepage) == 0) {
    why = "its code page " + std::to_string(transform.codepage) + " is not the package's (" +
          std::to_string(codepage) + ") and it does not allow the change";
    return false;
  }
  if (!transform.unknownTables.empty()) {
    why = "it changes table " + transform.unknownTables[0] + ", which the package does not have";
    return false;
  }
  std::unordered_set<std::string> added;
  for (const auto& [name, schema] : transform.addedTables) {
    if (tables.count(name) != 0 && (suppressed & kErrorAddExistingTable) == 0) {
      why = "it adds table " + name + ", which the package already has";
      return false;
    }
    if (tables.count(name) == 0) added.insert(name);
  }
  for (const std::string& name : transform.droppedTables) {
    if (tables.count(name) == 0 && (suppressed & kErrorDeleteMissingTable) == 0) {
      why = "it drops table " + name + ", which the package does not have";
      return false;
    }
  }

  for (const TableChange& change : transform.tables) {
    static const std::unordered_set<std::string> kNone;
    const std::unordered_set<std::string>* present = &kNone;
    if (added.count(change.table) == 0 && (present = Keys(change.table, why)) == nullptr) {
      return false;
    }
    // The rows as the changes before each one leave them.
    std::unordered_set<std::string> inserted, deleted;
    for (const RowChange& row : change.rows) {
      std::string key = RowKey(change.schema, row.cells);
      bool exists =
          inserted.count(key) != 0 || (present->count(key) != 0 && deleted.count(key) == 0);
      std::string shown = ShownKey(change.schema, row.cells);
      if (row.action == RowAction::kInsert && exists && (suppressed & kErrorAddExistingRow) == 0) {
        why = "it adds row " + shown + " to table " + change.table + ", which already has it";
        return false;
      }
      if (row.action == RowAction::kUpdate && !exists &&
          (suppressed & kErrorUpdateMissingRow) == 0) {
        why = "it changes row " + shown + " of table " + change.table +
              ", which the package does not have";
        return false;
      }
      if (row.action == RowAction::kDelete && !exists &&
          (suppressed & kErrorDeleteMissingRow) == 0) {
        why = "it deletes row " + shown + " of table " + change.table +
              ", which the package does not have";
        return false;
      }
      if (row.action == RowAction::kInsert) {
        inserted.insert(key);
        deleted.erase(key);
      } else if (row.action == RowAction::kDelete) {
        deleted.insert(key);
        inserted.erase(key);
      }
    }
  }
  return true;
}

}  // namespace setup::tools
