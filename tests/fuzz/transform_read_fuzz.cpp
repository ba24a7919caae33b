// Reads a transform whose string pool, string data, table rows, binary cell
// and summary information are arbitrary bytes, and checks what the reader
// promises: it returns true or false without reading out of bounds, and
// every row it returns has one cell per column.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/msitransform/transform.h"

namespace {

using namespace setup::msi;

const guint8 kClass[16] = {0x82, 0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

std::string Utf8(const std::u16string& name) {
  gchar* text = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(name.data()),
                                static_cast<glong>(name.size()), nullptr, nullptr, nullptr);
  std::string out = text != nullptr ? text : "";
  g_free(text);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Five parts, cut at the bytes 0xFF 0x00 0xFF.
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (parts.size() < 5 && i + 2 < size && data[i] == 0xFF && data[i + 1] == 0 &&
        data[i + 2] == 0xFF) {
      parts.emplace_back();
      i += 2;
      continue;
    }
    parts.back() += static_cast<char>(data[i]);
  }
  parts.resize(5);
  const Schema schema = {{"Name", kTypeKey | kTypeString | kTypeValid | 72},
                         {"Data", kTypeNullable | kTypeString | kTypeValid},
                         {"Size", kTypeNullable | 0x0400 | kTypeValid | 2},
                         {"Long", kTypeNullable | kTypeValid | 4}};
  const std::pair<std::string, int> streams[] = {{Utf8(EncodeStreamName("_StringPool", true)), 0},
                                                 {Utf8(EncodeStreamName("_StringData", true)), 1},
                                                 {Utf8(EncodeStreamName("Binary", true)), 2},
                                                 {Utf8(EncodeStreamName("Binary.a", false)), 3},
                                                 {"\005SummaryInformation", 4}};

  char path[] = "/tmp/transform-fuzz-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return 0;
  close(fd);
  GsfOutput* sink = gsf_output_stdio_new(path, nullptr);
  GsfOutfile* root = sink != nullptr ? gsf_outfile_msole_new(sink) : nullptr;
  if (root != nullptr) {
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root), kClass);
    for (const auto& [name, part] : streams) {
      GsfOutput* child = gsf_outfile_new_child(root, name.c_str(), FALSE);
      gsf_output_write(child, parts[part].size(),
                       reinterpret_cast<const guint8*>(parts[part].data()));
      gsf_output_close(child);
      g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(root));
    g_object_unref(root);
  }
  if (sink != nullptr) g_object_unref(sink);

  Transform transform;
  std::string error;
  if (ReadTransform(path, {{"Binary", schema}}, transform, error)) {
    for (const TableChange& table : transform.tables) {
      for (const RowChange& row : table.rows) {
        if (row.cells.size() != table.schema.size()) std::abort();
      }
    }
  } else if (error.empty()) {
    std::abort();
  }
  unlink(path);
  return 0;
}
