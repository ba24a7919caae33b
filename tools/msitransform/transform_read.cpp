// Reading a transform back: the storage's class, the string pool, the
// _Tables and _Columns rows, each table's rows with the streams of their
// binary cells, and the summary information.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>

#include "tools/msitransform/codepage_converter.h"
#include "tools/msitransform/gobject_ptr.h"
#include "tools/msitransform/summary_stream.h"
#include "tools/msitransform/transform_layout.h"

namespace setup::msi {
namespace {

using namespace layout;

std::string FormatGuid(const guint8* b) {
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return text;
}

struct Storage {
  std::map<std::string, std::string> tables;           // decoded name -> rows
  std::unordered_map<std::string, std::string> cells;  // binary cell streams
  std::string summary;
  bool hasSummary = false;
};

bool ReadStorage(const std::string& path, Storage& storage, std::string& error) {
  GError* failure = nullptr;
  GObjectPtr<GsfInput> input(gsf_input_stdio_new(path.c_str(), &failure));
  if (!input) {
    error = failure != nullptr ? failure->message : "cannot be opened";
    if (failure != nullptr) g_error_free(failure);
    return false;
  }
  GObjectPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), &failure));
  if (!root) {
    if (failure != nullptr) g_error_free(failure);
    error = "not a structured storage file, or a damaged one";
    return false;
  }
  guint8 clsid[16] = {};
  if (!gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root.get()), clsid) ||
      std::memcmp(clsid, kTransformClass, sizeof clsid) != 0) {
    error = "not a transform: its storage class is " + FormatGuid(clsid);
    return false;
  }
  int count = gsf_infile_num_children(root.get());
  for (int i = 0; i < count; ++i) {
    const char* utf8 = gsf_infile_name_by_index(root.get(), i);
    GObjectPtr<GsfInput> child(gsf_infile_child_by_index(root.get(), i));
    if (utf8 == nullptr || !child || gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
      continue;  // a sub-storage: transforms hold none the installer reads
    }
    std::string data(static_cast<size_t>(gsf_input_size(child.get())), '\0');
    if (!data.empty() && gsf_input_read(child.get(), data.size(),
                                        reinterpret_cast<guint8*>(data.data())) == nullptr) {
      error = "a stream cannot be read: the file is damaged";
      return false;
    }
    if (std::strcmp(utf8, kSummaryStream) == 0) {
      storage.summary = std::move(data);
      storage.hasSummary = true;
      continue;
    }
    glong length = 0;
    gunichar2* wide = g_utf8_to_utf16(utf8, -1, nullptr, &length, nullptr);
    if (wide == nullptr) continue;
    bool table = false;
    std::string name =
        DecodeStreamName(std::u16string(reinterpret_cast<char16_t*>(wide), length), table);
    g_free(wide);
    if (table) {
      storage.tables[name] = std::move(data);
    } else {
      storage.cells[name] = std::move(data);
    }
  }
  return true;
}

struct Pool {
  std::vector<std::string> strings{""};
  int stringBytes = 2;
  int codepage = 0;
};

bool ReadPool(const Storage& storage, Pool& pool, std::string& error) {
  auto poolIt = storage.tables.find("_StringPool"), dataIt = storage.tables.find("_StringData");
  if (poolIt == storage.tables.end() || dataIt == storage.tables.end()) {
    error = "it holds no string pool";
    return false;
  }
  const std::string &entries = poolIt->second, &data = dataIt->second;
  if (entries.size() % 4 != 0) {
    error = "its string pool is damaged";
    return false;
  }
  size_t count = entries.size() / 4, offset = 0;
  if (count > 1) {
    uint32_t header = GetInt(entries, 0, 4);
    pool.stringBytes = (header & 0x80000000u) != 0 ? 3 : 2;
    pool.codepage = static_cast<int>(header & 0x7FFFFFFF);
  }
  CodepageConverter converter(pool.codepage, false);
  if (!converter.Usable()) {
    error = "its code page " + std::to_string(pool.codepage) + " is not known here";
    return false;
  }
  std::string text;
  for (size_t i = 1; i < count;) {
    uint32_t length = GetInt(entries, i * 4, 2), refs = GetInt(entries, i * 4 + 2, 2);
    if (length == 0 && refs == 0) {
      pool.strings.emplace_back();
      ++i;
      continue;
    }
    if (length == 0) {  // a long string: the next entry holds its length
      if (i + 1 >= count) break;
      length = GetInt(entries, (i + 1) * 4, 4);
      i += 2;
    } else {
      ++i;
    }
    if (length > data.size() - offset || !converter.Convert(data.substr(offset, length), text)) {
      error = "its string pool is damaged";
      return false;
    }
    pool.strings.push_back(text);
    offset += length;
  }
  return true;
}

bool DecodeRows(const std::string& table, const std::string& data, const Schema& schema,
                const Pool& pool, const Storage& storage, TableChange& out, std::string& error) {
  out.table = table;
  out.schema = schema;
  const std::string damaged = "the rows of table " + table + " are damaged";
  for (size_t n = 0; n < data.size();) {
    if (data.size() - n < 2) {
      error = damaged;
      return false;
    }
    uint32_t mask = GetInt(data, n, 2);
    n += 2;
    RowChange row;
    row.cells.resize(schema.size());
    size_t given = mask >> 8;
    if ((mask & 1) != 0 && given > schema.size()) {
      error = damaged + " (a row of " + std::to_string(given) + " columns)";
      return false;
    }
    row.action = (mask & 1) != 0 ? RowAction::kInsert
                 : mask == 0     ? RowAction::kDelete
                                 : RowAction::kUpdate;
    row.columns = row.action == RowAction::kUpdate ? mask : 0;
    std::vector<size_t> binaries;
    for (size_t i = 0; i < schema.size(); ++i) {
      int type = schema[i].type;
      bool present =
          (mask & 1) != 0 ? i < given : IsKey(type) || (i < 16 && (mask & (1u << i)) != 0);
      if (!present) continue;
      int bytes = CellBytes(type, pool.stringBytes);
      if (data.size() - n < static_cast<size_t>(bytes)) {
        error = damaged;
        return false;
      }
      uint32_t value = GetInt(data, n, bytes);
      n += bytes;
      Cell& cell = row.cells[i];
      if (value == 0) continue;
      cell.null = false;
      if (IsBinary(type)) {
        binaries.push_back(i);
      } else if (IsString(type)) {
        if (value >= pool.strings.size()) {
          error = damaged + " (string " + std::to_string(value) + " is not in the pool)";
          return false;
        }
        cell.text = pool.strings[value];
        cell.null = cell.text.empty();
      } else {
        cell.number = bytes == 2 ? static_cast<int32_t>(value) - 0x8000
                                 : static_cast<int32_t>(value ^ 0x80000000u);
      }
    }
    for (size_t i : binaries) {
      std::string name = CellStreamName(table, schema, row.cells);
      auto it = storage.cells.find(name);
      if (it == storage.cells.end()) {
        error = damaged + " (the stream " + name + " is missing)";
        return false;
      }
      row.cells[i].text = it->second;
    }
    out.rows.push_back(std::move(row));
  }
  return true;
}

}  // namespace

bool ReadTransform(const std::string& path, const Schemas& schemas, Transform& transform,
                   std::string& error) {
  transform = Transform();
  Storage storage;
  Pool pool;
  if (!ReadStorage(path, storage, error) || !ReadPool(storage, pool, error)) return false;
  transform.codepage = pool.codepage;
  transform.stringBytes = pool.stringBytes;
  if (storage.hasSummary && !ReadSummaryStream(storage.summary, transform.summary)) {
    error = "its summary information is damaged";
    return false;
  }

  TableChange tables, columns;
  auto system = [&](const char* name, const Schema& schema, TableChange& out) {
    auto it = storage.tables.find(name);
    return it == storage.tables.end() ||
           DecodeRows(name, it->second, schema, pool, storage, out, error);
  };
  if (!system("_Tables", kTablesSchema, tables) || !system("_Columns", kColumnsSchema, columns)) {
    return false;
  }
  // Columns the transform defines, numbered in order where it leaves the
  // number out, as the installer does.
  Schemas known = schemas;
  std::map<std::string, std::map<int, Column>> defined;
  std::string last;
  int next = 0;
  for (const RowChange& row : columns.rows) {
    if (row.action != RowAction::kInsert) continue;
    const std::string& table = row.cells[0].text;
    if (table != last) next = 0;
    last = table;
    int number = row.cells[1].null ? ++next : row.cells[1].number;
    next = number;
    defined[table][number] = Column{row.cells[2].text, row.cells[3].number};
  }
  for (const RowChange& row : tables.rows) {
    const std::string& name = row.cells[0].text;
    if (row.action == RowAction::kDelete) transform.droppedTables.push_back(name);
    if (row.action != RowAction::kInsert) continue;
    Schema schema;
    for (const auto& [number, column] : defined[name]) schema.push_back(column);
    transform.addedTables.emplace_back(name, schema);
    known[name] = schema;
    defined.erase(name);
  }
  for (const auto& [table, added] : defined) {  // columns added to a table
    auto it = known.find(table);
    if (it == known.end()) continue;
    for (const auto& [number, column] : added) {
      if (number > static_cast<int>(it->second.size())) it->second.push_back(column);
    }
  }

  for (const auto& [name, data] : storage.tables) {
    if (name == "_StringPool" || name == "_StringData" || name == "_Tables" || name == "_Columns") {
      continue;
    }
    auto schema = known.find(name);
    if (schema == known.end()) {
      transform.unknownTables.push_back(name);
      continue;
    }
    TableChange change;
    if (!DecodeRows(name, data, schema->second, pool, storage, change, error)) return false;
    transform.tables.push_back(std::move(change));
  }
  return true;
}

}  // namespace setup::msi
