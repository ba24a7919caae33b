// Turns a transform into inputs of transform_read_fuzz, whose format is its
// own: the string pool, the string data, the rows of its one table, that
// table's binary cell and the summary information, cut at FF 00 FF. The
// transform's pool, data and summary go in as they are; each of its table
// streams in turn goes in as the rows (read there with the target's
// columns), with its first binary cell stream, if any.
//
// Usage: transform_fuzz_input TRANSFORM.mst OUT
// Writes OUT-1, OUT-2, ... (one per table stream, or OUT-1 without rows);
// exit code 1 when the transform cannot be read or a stream holds the
// separator, which would cut it in the wrong place.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "tools/msitransform/gobject_ptr.h"
#include "tools/msitransform/transform.h"

namespace {

using setup::msi::DecodeStreamName;

const std::string kSeparator("\xFF\x00\xFF", 3);

// The streams of the storage's root, by decoded name; table streams
// carry a leading '!'.
bool ReadStreams(const char* path, std::map<std::string, std::string>& streams) {
  setup::msi::GObjectPtr<GsfInput> input(gsf_input_stdio_new(path, nullptr));
  if (!input) return false;
  setup::msi::GObjectPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), nullptr));
  if (!root) return false;
  for (int i = 0; i < gsf_infile_num_children(root.get()); ++i) {
    const char* utf8 = gsf_infile_name_by_index(root.get(), i);
    setup::msi::GObjectPtr<GsfInput> child(gsf_infile_child_by_index(root.get(), i));
    if (utf8 == nullptr || !child) return false;
    std::string data(static_cast<size_t>(gsf_input_size(child.get())), '\0');
    if (!data.empty() && gsf_input_read(child.get(), data.size(),
                                        reinterpret_cast<guint8*>(data.data())) == nullptr) {
      return false;
    }
    glong length = 0;
    gunichar2* wide = g_utf8_to_utf16(utf8, -1, nullptr, &length, nullptr);
    if (wide == nullptr) return false;
    bool table = false;
    std::string name =
        DecodeStreamName(std::u16string(reinterpret_cast<char16_t*>(wide), length), table);
    g_free(wide);
    streams[(table ? "!" : "") + name] = std::move(data);
  }
  return true;
}

// The parts as the target cuts them: at the first five separators.
std::vector<std::string> Cut(const std::string& input) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < input.size(); ++i) {
    if (parts.size() < 5 && input.compare(i, 3, kSeparator) == 0) {
      parts.emplace_back();
      i += 2;
      continue;
    }
    parts.back() += input[i];
  }
  parts.resize(5);
  return parts;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: transform_fuzz_input TRANSFORM.mst OUT\n";
    return 2;
  }
  std::map<std::string, std::string> streams;
  if (!ReadStreams(argv[1], streams)) {
    std::cerr << "transform_fuzz_input: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<std::string> tables;
  for (const auto& [name, data] : streams) {
    if (name[0] == '!' && name != "!_StringPool" && name != "!_StringData") tables.push_back(name);
  }
  if (tables.empty()) tables.emplace_back();
  int number = 0;
  for (const std::string& table : tables) {
    std::string cell;
    const std::string prefix = table.empty() ? "" : table.substr(1) + ".";
    auto found = streams.lower_bound(prefix);
    if (!prefix.empty() && found != streams.end() &&
        found->first.compare(0, prefix.size(), prefix) == 0)
      cell = found->second;
    const std::vector<std::string> parts = {streams["!_StringPool"], streams["!_StringData"],
                                            table.empty() ? "" : streams[table], cell,
                                            streams["\005SummaryInformation"]};
    std::string input = parts[0];
    for (size_t i = 1; i < parts.size(); ++i) input += kSeparator + parts[i];
    if (Cut(input) != parts) {
      std::cerr << "transform_fuzz_input: a stream of " << argv[1]
                << " holds FF 00 FF; the target would cut it apart\n";
      return 1;
    }
    const std::string path = std::string(argv[2]) + "-" + std::to_string(++number);
    std::ofstream(path, std::ios::binary) << input;
    std::cout << path << ": " << (table.empty() ? "no table" : table.substr(1)) << "\n";
  }
  return 0;
}
