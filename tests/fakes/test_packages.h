// Packages for the transform tests, made with libmsi as a vendor's tool
// would: a Property table naming the product, a Binary table, and what
// each test adds with SQL.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace setup::testing {

struct PackageSpec {
  int codepage = 1252;
  std::string productCode = "{11111111-2222-3333-4444-555555555555}";
  std::string version = "1.0.0";
  std::string upgradeCode = "{66666666-7777-8888-9999-AAAAAAAAAAAA}";
  std::string language = "1033";
  // With summary information whose template is "Intel;<language>", or
  // with none at all.
  bool platform = true;
  std::map<std::string, std::string> blobs;  // Binary table: name -> data
  std::vector<std::string> sql;              // run after the common tables
  std::string idt;                           // a table imported from this text when not empty
};

// Writes the package; fails the current test when libmsi refuses a step.
void MakeTestPackage(const std::string& path, const PackageSpec& spec);

}  // namespace setup::testing
