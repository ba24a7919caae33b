// An installer package read with libmsi: its code page, the columns of
// every table, the rows of a table on request, and the properties a
// transform's summary information names.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/msitransform/transform.h"

typedef struct _LibmsiDatabase LibmsiDatabase;

namespace setup::msi {

struct Table {
  Schema schema;
  std::vector<Row> rows;
};

// libmsi also logs on stderr what it returns as an error (a table or
// stream that is not there). A tool that reports each error itself calls
// this before it opens a package: from then on the process drops the
// warnings, critical warnings and messages of every log domain.
void QuietLibmsiLog();

class PackageReader {
 public:
  PackageReader();
  ~PackageReader();
  PackageReader(const PackageReader&) = delete;
  PackageReader& operator=(const PackageReader&) = delete;

  // False with the reason when path is no package libmsi can read: there
  // is no such file, it cannot be read, or it is not a package.
  bool Open(const std::string& path, std::string& error);
  // The same over a database already open (libmsi reads a whole package
  // when it opens it); the reader takes a reference of its own.
  bool Open(LibmsiDatabase* database, std::string& error);

  int Codepage() const { return codepage_; }
  const Schemas& TableSchemas() const { return schemas_; }
  // The platform and language of the summary information's template
  // ("Intel", "1033"); the language is "" when the template names none.
  const std::string& Platform() const { return platform_; }
  const std::string& TemplateLanguage() const { return language_; }
  // A row of the Property table; "" when there is none.
  std::string Property(const std::string& name) const;

  // Every row of table, binary cells with their data.
  bool ReadTable(const std::string& name, Table& table, std::string& error);
  // The same, one row at a time; each may take the row's cells.
  bool ForEachRow(const std::string& name, const std::function<void(Row&)>& each,
                  std::string& error);
  // The RowKey of every row of table (only the key columns are read).
  bool ForEachKey(const std::string& name, const std::function<void(const std::string&)>& each,
                  std::string& error);

 private:
  // Runs sql, whose columns are columns, and hands each row to each.
  bool Select(const Schema& columns, const std::string& sql, const std::function<void(Row&)>& each,
              std::string& error);
  struct Database;
  std::unique_ptr<Database> db_;
  int codepage_ = 0;
  Schemas schemas_;
  std::string platform_, language_;
  std::map<std::string, std::string> properties_;
};

}  // namespace setup::msi
