// Whether Windows Installer applies a transform to a package, decided from
// the transform's own contents (libmsi's apply cannot be trusted with
// transforms that hold tables).
#pragma once

#include <map>
#include <string>
#include <unordered_set>

#include "tools/mkdiskset/check.h"
#include "tools/msitransform/codepages.h"
#include "tools/msitransform/package.h"

namespace setup::tools {

// Adds to report an error when the code page of file (the package or a
// transform, as the report names it) cannot hold the texts among cells
// (its string cells outside ASCII): the rows, what Windows shows the
// customer, and the code page that holds them all for language languageId.
void ReportTextsOutsideCodepage(const std::string& file, int codepage, int languageId,
                                const std::vector<msi::TextCell>& cells, CheckReport& report);

// The product code a transform gives the product (its Property row
// ProductCode, inserted or changed); "" when it sets none.
std::string ProductCodeSetBy(const msi::Transform& transform);

class TransformChecker {
 public:
  // False with the reason when the package cannot be read.
  bool Open(LibmsiDatabase* package, std::string& error);

  // True when Windows Installer would apply the transform at path to the
  // package; otherwise false with the reason, in the words of the report
  // ("made for another product: ..."). The transform as read is left in
  // transform.
  bool Applies(const std::string& path, msi::Transform& transform, std::string& why);
  msi::PackageReader& Package() { return package_; }

 private:
  const std::unordered_set<std::string>* Keys(const std::string& table, std::string& error);
  msi::PackageReader package_;
  std::map<std::string, std::unordered_set<std::string>> keys_;  // read once per table
};

}  // namespace setup::tools
