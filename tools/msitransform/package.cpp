// Every read goes through libmsi's queries: _Columns for the tables'
// columns, SELECT * for the rows, and the _ForceCodepage export for the
// code page (libmsi has no call that returns it).
#include "tools/msitransform/package.h"

#include <libmsi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/msitransform/gobject_ptr.h"

namespace setup::msi {
namespace {

std::string TakeError(GError* error, const std::string& fallback) {
  std::string text = error != nullptr ? error->message : fallback;
  if (error != nullptr) g_error_free(error);
  return text;
}

std::string TakeString(gchar* text) {
  std::string value = text != nullptr ? text : "";
  g_free(text);
  return value;
}

// Runs a query and hands each record to each; false with the reason.
template <typename Each>
bool Query(LibmsiDatabase* db, const std::string& sql, Each each, std::string& error) {
  GError* failure = nullptr;
  GObjectPtr<LibmsiQuery> query(libmsi_query_new(db, sql.c_str(), &failure));
  if (!query || !libmsi_query_execute(query.get(), nullptr, &failure)) {
    error = TakeError(failure, "libmsi cannot run " + sql);
    return false;
  }
  for (;;) {
    GObjectPtr<LibmsiRecord> record(libmsi_query_fetch(query.get(), &failure));
    if (!record) break;
    if (!each(record.get())) return false;
  }
  // The end of the rows comes as "no more items".
  if (failure != nullptr) g_error_free(failure);
  libmsi_query_close(query.get(), nullptr);
  return true;
}

bool ReadStream(LibmsiRecord* record, guint field, std::string& data) {
  GObjectPtr<GInputStream> stream(libmsi_record_get_stream(record, field));
  if (!stream) return false;
  char buffer[65536];
  for (;;) {
    gssize got = g_input_stream_read(stream.get(), buffer, sizeof buffer, nullptr, nullptr);
    if (got < 0) return false;
    if (got == 0) return true;
    data.append(buffer, static_cast<size_t>(got));
  }
}

int ExportedCodepage(LibmsiDatabase* db) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), &std::fclose);
  if (!file || !libmsi_database_export(db, "_ForceCodepage", fileno(file.get()), nullptr)) {
    return 0;
  }
  std::rewind(file.get());
  int codepage = 0;
  // Two empty lines, then "<code page>\t_ForceCodepage".
  return std::fscanf(file.get(), " %d", &codepage) == 1 ? codepage : 0;
}

}  // namespace

void QuietLibmsiLog() {
  g_log_set_default_handler(
      [](const gchar* domain, GLogLevelFlags level, const gchar* text, gpointer data) {
        if ((level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE)) == 0) {
          g_log_default_handler(domain, level, text, data);
        }
      },
      nullptr);
}

struct PackageReader::Database {
  GObjectPtr<LibmsiDatabase> handle;
};

PackageReader::PackageReader() : db_(std::make_unique<Database>()) {}
PackageReader::~PackageReader() = default;

bool PackageReader::Open(const std::string& path, std::string& error) {
  // libmsi names neither a missing file nor a file of another kind: ask
  // the file system first, so that the reason says which it is.
  std::error_code failure;
  if (std::filesystem::is_directory(path, failure)) {
    error = "it is a folder, not a package";
    return false;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    error = errno == ENOENT ? "there is no such file" : std::strerror(errno);
    return false;
  }
  file.reset();
  GError* opened = nullptr;
  GObjectPtr<LibmsiDatabase> db(
      libmsi_database_new(path.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &opened));
  if (!db) {
    if (opened != nullptr) g_error_free(opened);
    error = "it is not a Windows Installer package (libmsi cannot open it as one)";
    return false;
  }
  return Open(db.get(), error);
}

bool PackageReader::Open(LibmsiDatabase* opened, std::string& error) {
  db_->handle.reset(LIBMSI_DATABASE(g_object_ref(opened)));
  LibmsiDatabase* db = db_->handle.get();
  codepage_ = ExportedCodepage(db);

  std::map<std::string, std::map<int, Column>> columns;
  bool ok = Query(
      db, "SELECT `Table`, `Number`, `Name`, `Type` FROM `_Columns`",
      [&](LibmsiRecord* r) {
        columns[TakeString(libmsi_record_get_string(r, 1))][libmsi_record_get_int(r, 2)] =
            Column{TakeString(libmsi_record_get_string(r, 3)), libmsi_record_get_int(r, 4)};
        return true;
      },
      error);
  if (!ok) return false;
  schemas_.clear();
  for (auto& [table, numbered] : columns) {
    Schema& schema = schemas_[table];
    for (auto& [number, column] : numbered) schema.push_back(column);
  }

  GObjectPtr<LibmsiSummaryInfo> summary(libmsi_summary_info_new(db, 0, nullptr));
  // An unset property's string is not to be read.
  const gchar* templateText =
      summary && libmsi_summary_info_get_property_type(summary.get(), LIBMSI_PROPERTY_TEMPLATE,
                                                       nullptr) == LIBMSI_PROPERTY_TYPE_STRING
          ? libmsi_summary_info_get_string(summary.get(), LIBMSI_PROPERTY_TEMPLATE, nullptr)
          : nullptr;
  std::string text = templateText != nullptr ? templateText : "";
  size_t semicolon = text.find(';');
  platform_ = text.substr(0, semicolon);
  language_ = semicolon == std::string::npos ? "" : text.substr(semicolon + 1);

  properties_.clear();
  if (schemas_.count("Property") != 0) {
    ok = Query(
        db, "SELECT `Property`, `Value` FROM `Property`",
        [&](LibmsiRecord* r) {
          properties_[TakeString(libmsi_record_get_string(r, 1))] =
              TakeString(libmsi_record_get_string(r, 2));
          return true;
        },
        error);
  }
  return ok;
}

std::string PackageReader::Property(const std::string& name) const {
  auto it = properties_.find(name);
  return it == properties_.end() ? "" : it->second;
}

bool PackageReader::ReadTable(const std::string& name, Table& table, std::string& error) {
  table.rows.clear();
  bool ok = ForEachRow(
      name, [&](Row& row) { table.rows.push_back(std::move(row)); }, error);
  if (ok) table.schema = schemas_.at(name);
  return ok;
}

bool PackageReader::ForEachKey(const std::string& name,
                               const std::function<void(const std::string&)>& each,
                               std::string& error) {
  auto schema = schemas_.find(name);
  if (schema == schemas_.end()) {
    error = "the package has no table " + name;
    return false;
  }
  Schema keys;
  std::string list;
  for (const Column& column : schema->second) {
    if (!IsKey(column.type)) continue;
    keys.push_back(column);
    list += (list.empty() ? "`" : ", `") + column.name + "`";
  }
  return Select(
      keys, "SELECT " + list + " FROM `" + name + "`", [&](Row& row) { each(RowKey(keys, row)); },
      error);
}

bool PackageReader::ForEachRow(const std::string& name, const std::function<void(Row&)>& each,
                               std::string& error) {
  auto schema = schemas_.find(name);
  if (schema == schemas_.end()) {
    error = "the package has no table " + name;
    return false;
  }
  return Select(schema->second, "SELECT * FROM `" + name + "`", each, error);
}

bool PackageReader::Select(const Schema& columns, const std::string& sql,
                           const std::function<void(Row&)>& each, std::string& error) {
  Row row;
  return Query(
      db_->handle.get(), sql,
      [&](LibmsiRecord* r) {
        row.assign(columns.size(), Cell());
        for (guint i = 0; i < columns.size(); ++i) {
          Cell& cell = row[i];
          int type = columns[i].type;
          if (IsBinary(type)) {
            cell.null = libmsi_record_is_null(r, i + 1) || !ReadStream(r, i + 1, cell.text);
          } else if (IsString(type)) {
            gchar* text = libmsi_record_get_string(r, i + 1);
            if (text != nullptr) cell.text = text;
            g_free(text);
            cell.null = cell.text.empty();
          } else if (!libmsi_record_is_null(r, i + 1)) {
            cell.number = libmsi_record_get_int(r, i + 1);
            cell.null = false;
          }
        }
        each(row);
        return true;
      },
      error);
}

}  // namespace setup::msi
