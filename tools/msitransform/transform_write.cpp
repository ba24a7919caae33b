// Writing a transform with libgsf. A transform holds its own
// string pool (_StringPool, _StringData), one stream per changed table
// with its rows one after the other, one stream per binary cell it sets,
// and its summary information. Each row starts with a 16-bit mask: low bit
// set, the high byte counts the columns that follow (an insert, or an
// overwrite of the whole row); zero, the keys of a row to delete follow;
// otherwise bit i marks column i present in an update (keys always are).
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>

#include <unordered_map>

#include "support/unicode.h"
#include "tools/msitransform/codepage_converter.h"
#include "tools/msitransform/gobject_ptr.h"
#include "tools/msitransform/summary_stream.h"
#include "tools/msitransform/transform_layout.h"

namespace setup::msi {
namespace {

using namespace layout;

// The transform's strings: ids from 1 in order of first use.
class PoolWriter {
 public:
  void Add(const std::string& text) {
    if (text.empty()) return;
    auto [it, added] = ids_.emplace(text, static_cast<uint32_t>(texts_.size() + 1));
    if (added) {
      texts_.push_back(&it->first);
      refs_.push_back(0);
    }
    ++refs_[it->second - 1];
  }
  uint32_t Id(const std::string& text) const { return text.empty() ? 0 : ids_.find(text)->second; }
  int StringBytes() const { return texts_.size() > 0xFFFF ? 3 : 2; }
  bool Serialize(int codepage, std::string& pool, std::string& data, std::string& error) const {
    CodepageConverter converter(codepage, true);
    if (!converter.Usable()) {
      error = "code page " + std::to_string(codepage) + " is not known here";
      return false;
    }
    uint32_t header = static_cast<uint32_t>(codepage) | (StringBytes() == 3 ? 0x80000000u : 0);
    PutInt(pool, header, 4);
    std::string bytes;
    for (size_t i = 0; i < texts_.size(); ++i) {
      if (!converter.Convert(*texts_[i], bytes)) {
        error = "the string \"" + *texts_[i] + "\" cannot be written in code page " +
                std::to_string(codepage);
        return false;
      }
      uint32_t refs = refs_[i] > 0xFFFF ? 0xFFFF : refs_[i];
      if (bytes.size() > 0xFFFF) {  // a null entry carries the high word
        PutInt(pool, 0, 2);
        PutInt(pool, refs, 2);
        PutInt(pool, static_cast<uint32_t>(bytes.size()), 4);
      } else {
        PutInt(pool, static_cast<uint32_t>(bytes.size()), 2);
        PutInt(pool, refs, 2);
      }
      data += bytes;
    }
    return true;
  }

 private:
  std::unordered_map<std::string, uint32_t> ids_;
  std::vector<const std::string*> texts_;
  std::vector<uint32_t> refs_;
};

bool Present(const RowChange& row, const Schema& schema, size_t i) {
  if (row.action == RowAction::kInsert) return true;
  if (IsKey(schema[i].type)) return true;
  return row.action == RowAction::kUpdate && i < 16 && (row.columns & (1u << i)) != 0;
}

void EncodeRow(const RowChange& row, const Schema& schema, const PoolWriter& pool,
               std::string& out) {
  uint32_t mask = 0;
  if (row.action == RowAction::kInsert) mask = 1 | static_cast<uint32_t>(schema.size() << 8);
  if (row.action == RowAction::kUpdate) mask = row.columns & 0xFFFE;
  PutInt(out, mask, 2);
  for (size_t i = 0; i < schema.size(); ++i) {
    if (!Present(row, schema, i)) continue;
    const Cell& cell = row.cells[i];
    int type = schema[i].type, bytes = CellBytes(type, pool.StringBytes());
    uint32_t value = 0;
    if (IsBinary(type)) {
      value = cell.null ? 0 : 1;
    } else if (IsString(type)) {
      value = cell.null ? 0 : pool.Id(cell.text);
    } else if (!cell.null) {
      value = bytes == 2 ? static_cast<uint32_t>(cell.number + 0x8000) & 0xFFFF
                         : static_cast<uint32_t>(cell.number) ^ 0x80000000u;
    }
    PutInt(out, value, bytes);
  }
}

// The rows of the _Tables and _Columns streams for added and dropped tables.
void SystemTableChanges(const Transform& transform, TableChange& tables, TableChange& columns) {
  auto text = [](const std::string& s) { return Cell{false, 0, s}; };
  auto number = [](int n) { return Cell{false, n, ""}; };
  tables = {"_Tables", kTablesSchema, {}};
  columns = {"_Columns", kColumnsSchema, {}};
  for (const std::string& name : transform.droppedTables) {
    tables.rows.push_back({RowAction::kDelete, 0, {text(name)}});
  }
  for (const auto& [name, schema] : transform.addedTables) {
    tables.rows.push_back({RowAction::kInsert, 0, {text(name)}});
    for (size_t i = 0; i < schema.size(); ++i) {
      columns.rows.push_back({RowAction::kInsert,
                              0,
                              {text(name), number(static_cast<int>(i + 1)), text(schema[i].name),
                               number(schema[i].type)}});
    }
  }
}

class StorageWriter {
 public:
  bool Open(const std::string& path, std::string& error) {
    GError* failure = nullptr;
    sink_.reset(gsf_output_stdio_new(path.c_str(), &failure));
    if (!sink_) {
      error = failure != nullptr ? failure->message : "cannot create " + path;
      if (failure != nullptr) g_error_free(failure);
      return false;
    }
    root_.reset(gsf_outfile_msole_new(sink_.get()));
    return root_ && gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root_.get()), kTransformClass);
  }
  bool Add(const std::string& utf8Name, const std::string& data) {
    GObjectPtr<GsfOutput> child(gsf_outfile_new_child(root_.get(), utf8Name.c_str(), FALSE));
    if (!child) return false;
    bool ok = gsf_output_write(child.get(), data.size(),
                               reinterpret_cast<const guint8*>(data.data())) != FALSE;
    return gsf_output_close(child.get()) && ok;
  }
  bool Close() {
    bool ok = gsf_output_close(GSF_OUTPUT(root_.get())) != FALSE;
    root_.reset();
    // Closing the storage closes its file too.
    if (!gsf_output_is_closed(sink_.get())) ok = gsf_output_close(sink_.get()) && ok;
    sink_.reset();
    return ok;
  }

 private:
  GObjectPtr<GsfOutput> sink_;
  GObjectPtr<GsfOutfile> root_;
};

}  // namespace

bool WriteTransform(const Transform& transform, const std::string& path, std::string& error) {
  TableChange tables, columns;
  SystemTableChanges(transform, tables, columns);
  std::vector<const TableChange*> all = {&tables, &columns};
  for (const TableChange& table : transform.tables) all.push_back(&table);

  PoolWriter pool;
  for (const TableChange* table : all) {
    for (const RowChange& row : table->rows) {
      for (size_t i = 0; i < table->schema.size(); ++i) {
        if (IsString(table->schema[i].type) && Present(row, table->schema, i)) {
          pool.Add(row.cells[i].text);
        }
      }
    }
  }
  // Each stream by its name as given (table streams carry the prefix).
  struct Stream {
    std::string name;
    bool table = true;
    std::string data;
  };
  std::vector<Stream> streams(2);
  streams[0].name = "_StringPool";
  streams[1].name = "_StringData";
  if (!pool.Serialize(transform.codepage, streams[0].data, streams[1].data, error)) {
    return false;
  }
  for (const TableChange* table : all) {
    if (table->rows.empty()) continue;
    std::string data;
    for (const RowChange& row : table->rows) {
      EncodeRow(row, table->schema, pool, data);
      for (size_t i = 0; i < table->schema.size(); ++i) {
        if (IsBinary(table->schema[i].type) && Present(row, table->schema, i) &&
            !row.cells[i].null) {
          streams.push_back(
              {CellStreamName(table->table, table->schema, row.cells), false, row.cells[i].text});
        }
      }
    }
    streams.push_back({table->table, true, std::move(data)});
  }
  std::vector<std::string> stored;
  for (const Stream& stream : streams) {
    const std::u16string name = EncodeStreamName(stream.name, stream.table);
    std::optional<std::string> utf8 = Utf16ToUtf8(name);
    if (name.empty() || !utf8) {
      error = "the stream name " + stream.name + " is not UTF-8";
      return false;
    }
    // A storage element name holds 31 code units.
    if (name.size() > 31) {
      error = "the stream name " + stream.name + " is too long for a transform";
      return false;
    }
    stored.push_back(std::move(*utf8));
  }

  StorageWriter writer;
  if (!writer.Open(path, error)) return false;
  bool ok = true;
  for (size_t i = 0; i < streams.size(); ++i) ok = ok && writer.Add(stored[i], streams[i].data);
  if (transform.summary.present) {
    ok = ok && writer.Add(kSummaryStream, WriteSummaryStream(transform.summary));
  }
  ok = writer.Close() && ok;
  if (!ok) error = "writing " + path + " failed";
  return ok;
}

}  // namespace setup::msi
