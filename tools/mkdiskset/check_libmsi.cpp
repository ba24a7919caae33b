// The Installer object of the check over libmsi: only what SETUP.EXE's
// language stage and bootstrap walk use. InstallProduct installs nothing; the
// check records what the walk hands it.
#include <libmsi.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "tools/mkdiskset/check.h"
#include "tools/mkdiskset/check_transform.h"
#include "tools/msitransform/gobject_ptr.h"
#include "tools/msitransform/package.h"

namespace fs = std::filesystem;

namespace setup::tools {
namespace {

using msi::GObjectPtr;

// Raises a failing call as the dispatch wrappers of SETUP.EXE do. libmsi's
// message is the name of the function that failed ("init"), which tells a
// vendor nothing; its code does.
[[noreturn]] void Fail(GError* error) {
  const int code = error != nullptr ? error->code : LIBMSI_RESULT_FUNCTION_FAILED;
  if (error != nullptr) g_error_free(error);
  switch (code) {
    case LIBMSI_RESULT_BAD_QUERY_SYNTAX:
      throw DispatchError(kDispErrorException, "the query does not fit the package's tables");
    case LIBMSI_RESULT_OPEN_FAILED:
      throw DispatchError(kDispErrorException, "the package cannot be opened");
    default:
      throw DispatchError(kDispErrorException, "libmsi fails with error " + std::to_string(code));
  }
}

// The table a "SELECT ... FROM Table" reads; "" for other statements.
std::string TableOf(const std::string& sql) {
  const size_t from = sql.find(" FROM ");
  if (from == std::string::npos) return "";
  std::string table = sql.substr(from + 6);
  table = table.substr(0, table.find(' '));
  table.erase(std::remove(table.begin(), table.end(), '`'), table.end());
  return table;
}

bool HasTable(LibmsiDatabase* database, const std::string& table) {
  const std::string sql = "SELECT `Table` FROM `_Columns` WHERE `Table` = '" + table + "'";
  GObjectPtr<LibmsiQuery> query(libmsi_query_new(database, sql.c_str(), nullptr));
  if (!query || !libmsi_query_execute(query.get(), nullptr, nullptr)) return false;
  GObjectPtr<LibmsiRecord> row(libmsi_query_fetch(query.get(), nullptr));
  libmsi_query_close(query.get(), nullptr);
  return row != nullptr;
}

class LibmsiRecordObject : public RecordObject {
 public:
  explicit LibmsiRecordObject(LibmsiRecord* record) : record_(record) {}
  std::string StringData(int32_t field) override {
    gchar* text = libmsi_record_get_string(record_.get(), static_cast<guint>(field));
    std::string value = text != nullptr ? text : "";
    g_free(text);
    return value;
  }

 private:
  GObjectPtr<LibmsiRecord> record_;
};

class LibmsiViewObject : public ViewObject {
 public:
  explicit LibmsiViewObject(LibmsiQuery* query) : query_(query) {}
  void Execute() override {
    GError* error = nullptr;
    if (!libmsi_query_execute(query_.get(), nullptr, &error)) Fail(error);
  }
  std::unique_ptr<RecordObject> Fetch() override {
    GError* error = nullptr;
    LibmsiRecord* record = libmsi_query_fetch(query_.get(), &error);
    if (record == nullptr) {
      // The end of the rows is reported as "no more items", not an error.
      if (error != nullptr) g_error_free(error);
      return nullptr;
    }
    return std::make_unique<LibmsiRecordObject>(record);
  }
  void Close() override {
    GError* error = nullptr;
    if (!libmsi_query_close(query_.get(), &error)) Fail(error);
  }

 private:
  GObjectPtr<LibmsiQuery> query_;
};

class LibmsiDatabaseObject : public DatabaseObject {
 public:
  explicit LibmsiDatabaseObject(LibmsiDatabase* database) : database_(database) {}
  std::unique_ptr<ViewObject> OpenView(const std::string& sql) override {
    GError* error = nullptr;
    LibmsiQuery* query = libmsi_query_new(database_.get(), sql.c_str(), &error);
    if (query == nullptr) {
      const std::string table = TableOf(sql);
      if (!table.empty() && table.find('\'') == std::string::npos &&
          !HasTable(database_.get(), table)) {
        g_clear_error(&error);
        throw DispatchError(kDispErrorException, "the package has no " + table + " table");
      }
      Fail(error);
    }
    return std::make_unique<LibmsiViewObject>(query);
  }
  void Commit() override {}  // opened read-only: nothing to commit

 private:
  GObjectPtr<LibmsiDatabase> database_;
};

// The file at path as it is now: a package replaced under the same name
// is another package.
std::string Identity(const std::string& path) {
  struct stat facts {};
  if (::stat(path.c_str(), &facts) != 0) return path;
  return path + "\n" + std::to_string(facts.st_dev) + ":" + std::to_string(facts.st_ino) + ":" +
         std::to_string(facts.st_size) + ":" + std::to_string(facts.st_mtim.tv_sec) + "." +
         std::to_string(facts.st_mtim.tv_nsec);
}

// The packages opened so far: libmsi reads a whole package when it opens
// it, and the transform check reads the same one again.
class OpenedPackages {
 public:
  // A new reference to the package at path; throws as a dispatch call does.
  LibmsiDatabase* Open(const std::string& path) {
    auto it = opened_.find(Identity(path));
    if (it == opened_.end()) {
      GError* error = nullptr;
      LibmsiDatabase* database =
          libmsi_database_new(path.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
      if (database == nullptr) Fail(error);
      it = opened_.emplace(Identity(path), GObjectPtr<LibmsiDatabase>(database)).first;
    }
    return LIBMSI_DATABASE(g_object_ref(it->second.get()));
  }

 private:
  std::map<std::string, GObjectPtr<LibmsiDatabase>> opened_;
};

class LibmsiInstallerObject : public InstallerObject {
 public:
  explicit LibmsiInstallerObject(OpenedPackages& packages) : packages_(packages) {}
  std::unique_ptr<DatabaseObject> OpenDatabase(const std::string& path, int32_t) override {
    std::string posix = path;
    for (char& c : posix) c = c == '\\' ? '/' : c;
    return std::make_unique<LibmsiDatabaseObject>(packages_.Open(posix));
  }
  int32_t GetUILevel() override { return level_; }
  void PutUILevel(int32_t level) override { level_ = level; }
  void InstallProduct(const std::string&, const std::string&) override {}

 private:
  OpenedPackages& packages_;
  int32_t level_ = 5;
};

class LibmsiAutomation : public AutomationPlatform {
 public:
  explicit LibmsiAutomation(OpenedPackages& packages) : packages_(packages) {}
  int32_t InitializeCom() override { return 0; }
  void UninitializeCom() override {}
  std::unique_ptr<InstallerObject> CreateInstallerObject() override {
    return std::make_unique<LibmsiInstallerObject>(packages_);
  }

 private:
  OpenedPackages& packages_;
};

class LibmsiPackageAccess : public PackageAccess {
 public:
  AutomationPlatform& Automation() override { return automation_; }

  // Decided from the transform's contents as Windows Installer checks them
  // (see check_transform.cpp); the package is read once for all of them.
  bool TransformApplies(const fs::path& package, const fs::path& transform, std::string& why,
                        CheckReport& report) override {
    if (!OpenPackage(package, why)) return false;
    msi::Transform read;
    if (!checker_->Applies(transform.string(), read, why)) return false;
    const std::string name = transform.filename().string();
    ReportTextsOutsideCodepage(name, read.codepage, LanguageOf(read.summary.lastSavedBy),
                               msi::TextsOutsideAscii(read), report);
    const std::string code = ProductCodeSetBy(read);
    const std::string own = checker_->Package().Property("ProductCode");
    if (!code.empty() && g_ascii_strcasecmp(code.c_str(), own.c_str()) != 0) {
      report.warnings.push_back(
          {0, name + " changes the product code from " + own + " to " + code +
                  ": a user who gets it installs another product, which Windows lists and "
                  "updates apart from the package's (a language transform normally keeps the "
                  "product code; go on if this one is meant to change it)"});
    }
    return true;
  }

  void CheckPackageTexts(const fs::path& package, CheckReport& report) override {
    std::string why;
    if (!OpenPackage(package, why)) return;  // the language rows report an unreadable package
    msi::PackageReader& reader = checker_->Package();
    // libmsi has read every text of a package of another code page in it.
    if (reader.Codepage() != 0) return;
    std::vector<msi::TextCell> cells;
    if (!msi::TextsOutsideAscii(reader, cells, why)) return;
    ReportTextsOutsideCodepage(
        report.package, 0, std::atoi(reader.Property("ProductLanguage").c_str()), cells, report);
  }

 private:
  // Reads the package for the transform checks once; false with the
  // reason when it cannot be read.
  bool OpenPackage(const fs::path& package, std::string& why) {
    if (checkedPackage_ != Identity(package.string())) {
      checker_ = std::make_unique<TransformChecker>();
      checkedPackage_ = Identity(package.string());
      openError_.clear();
      try {
        GObjectPtr<LibmsiDatabase> database(packages_.Open(package.string()));
        if (!checker_->Open(database.get(), openError_)) {
          openError_ = "the package cannot be read: " + openError_;
        }
      } catch (const DispatchError& error) {
        openError_ = "the package cannot be read: " + error.Text();
      }
    }
    why = openError_;
    return openError_.empty();
  }

  // The language of "platform;language" (a transform's Last Saved By).
  static int LanguageOf(const std::string& platformAndLanguage) {
    const size_t semicolon = platformAndLanguage.find(';');
    return semicolon == std::string::npos ? 0
                                          : std::atoi(platformAndLanguage.c_str() + semicolon + 1);
  }

  OpenedPackages packages_;
  LibmsiAutomation automation_{packages_};
  std::unique_ptr<TransformChecker> checker_;
  std::string checkedPackage_, openError_;
};

}  // namespace

std::unique_ptr<PackageAccess> MakeLibmsiPackageAccess() {
  msi::QuietLibmsiLog();
  return std::make_unique<LibmsiPackageAccess>();
}

}  // namespace setup::tools
