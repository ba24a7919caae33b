// Whether Windows Installer applies a transform to a package, decided from
// the transform's own contents (libmsi's apply cannot be trusted with
// transforms that hold tables).
#pragma once

#include <map>
#include <string>
#include <unordered_set>

#include "tools/msitransform/package.h"

namespace setup::tools {

class TransformChecker {
 public:
  // False with the reason when the package cannot be read.
  bool Open(LibmsiDatabase* package, std::string& error);

  // True when Windows Installer would apply the transform at path to the
  // package; otherwise false with the reason, in the words of the report
  // ("made for another product: ...").
  bool Applies(const std::string& path, std::string& why);

 private:
  const std::unordered_set<std::string>* Keys(const std::string& table, std::string& error);
  msi::PackageReader package_;
  std::map<std::string, std::unordered_set<std::string>> keys_;  // read once per table
};

}  // namespace setup::tools
