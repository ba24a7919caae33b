#include "fakes/test_packages.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <libmsi.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "tools/msitransform/gobject_ptr.h"

namespace setup::testing {
namespace {

template <typename T>
using Ptr = msi::GObjectPtr<T>;

void Run(LibmsiDatabase* db, const std::string& sql, LibmsiRecord* params = nullptr) {
  GError* error = nullptr;
  Ptr<LibmsiQuery> query(libmsi_query_new(db, sql.c_str(), &error));
  ASSERT_TRUE(query) << sql << ": " << (error != nullptr ? error->message : "");
  ASSERT_TRUE(libmsi_query_execute(query.get(), params, &error))
      << sql << ": " << (error != nullptr ? error->message : "");
  libmsi_query_close(query.get(), nullptr);
}

void Import(LibmsiDatabase* db, const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  GError* error = nullptr;
  EXPECT_TRUE(libmsi_database_import(db, path.c_str(), &error))
      << (error != nullptr ? error->message : "");
  std::remove(path.c_str());
}

}  // namespace

void MakeTestPackage(const std::string& path, const PackageSpec& spec) {
  std::remove(path.c_str());
  GError* error = nullptr;
  Ptr<LibmsiDatabase> db(
      libmsi_database_new(path.c_str(), LIBMSI_DB_FLAGS_CREATE, nullptr, &error));
  ASSERT_TRUE(db) << (error != nullptr ? error->message : "");
  // The code page first: libmsi stores strings in it from then on.
  Import(db.get(), path + ".cp.idt", "\n\n" + std::to_string(spec.codepage) + "\t_ForceCodepage\n");
  Run(db.get(),
      "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL "
      "LOCALIZABLE PRIMARY KEY `Property`)");
  const std::pair<const char*, std::string> properties[] = {{"ProductCode", spec.productCode},
                                                            {"ProductVersion", spec.version},
                                                            {"UpgradeCode", spec.upgradeCode},
                                                            {"ProductLanguage", spec.language}};
  for (const auto& [name, value] : properties) {
    Run(db.get(), "INSERT INTO `Property` (`Property`, `Value`) VALUES ('" + std::string(name) +
                      "', '" + value + "')");
  }
  Run(db.get(),
      "CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY KEY "
      "`Name`)");
  for (const auto& [name, data] : spec.blobs) {
    Ptr<LibmsiRecord> record(libmsi_record_new(1));
    Ptr<GInputStream> stream(g_memory_input_stream_new_from_data(
        g_memdup2(data.data(), data.size()), static_cast<gssize>(data.size()), g_free));
    ASSERT_TRUE(
        libmsi_record_set_stream(record.get(), 1, stream.get(), data.size(), nullptr, nullptr));
    Run(db.get(), "INSERT INTO `Binary` (`Name`, `Data`) VALUES ('" + name + "', ?)", record.get());
  }
  for (const std::string& sql : spec.sql) Run(db.get(), sql);
  if (!spec.idt.empty()) Import(db.get(), path + ".table.idt", spec.idt);
  if (!spec.platform) {  // no summary information at all, as libmsi leaves it
    ASSERT_TRUE(libmsi_database_commit(db.get(), &error))
        << (error != nullptr ? error->message : "");
    return;
  }
  Ptr<LibmsiSummaryInfo> summary(libmsi_summary_info_new(db.get(), 4, nullptr));
  ASSERT_TRUE(summary);
  libmsi_summary_info_set_string(summary.get(), LIBMSI_PROPERTY_TEMPLATE,
                                 ("Intel;" + spec.language).c_str(), nullptr);
  libmsi_summary_info_set_string(summary.get(), LIBMSI_PROPERTY_UUID,
                                 "{00000000-0000-0000-0000-000000000001}", nullptr);
  libmsi_summary_info_set_int(summary.get(), LIBMSI_PROPERTY_VERSION, 200, nullptr);
  ASSERT_TRUE(libmsi_summary_info_persist(summary.get(), &error))
      << (error != nullptr ? error->message : "");
  ASSERT_TRUE(libmsi_database_commit(db.get(), &error)) << (error != nullptr ? error->message : "");
}

}  // namespace setup::testing

// libmsi 0.101 leaks a few small blocks of its own (seen under
// LeakSanitizer, from libmsi's frames only); they are not this project's.
extern "C" const char* __lsan_default_suppressions() { return "leak:libmsi.so\n"; }
