// applymst: shows a package as Windows Installer's own msi.dll reads it, for
// the end-to-end tests that hold the project's transforms against it.
//
//   applymst dump PACKAGE OUTDIR             every table of PACKAGE
//   applymst apply PACKAGE TRANSFORM OUTDIR  every table of PACKAGE after
//                                            MsiDatabaseApplyTransform
//
// Each table becomes OUTDIR\<table>.txt in UTF-8: its column names and types,
// then one line per row, sorted, so that the folders of two packages compare
// with diff whatever order the engine keeps the rows in. A binary cell is
// written as its size and a hash of its bytes. OUTDIR\codepage
// holds the database's code page. The package itself is never changed: the
// transform is applied to a scratch copy. Exit status: 0 written, 1 failed,
// 2 usage.
#include <windows.h>
// (needs <windows.h> first)
#include <msi.h>
#include <msiquery.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "utf8_text.h"

namespace {

class MsiHandle {
 public:
  MsiHandle() = default;
  ~MsiHandle() { reset(); }
  MsiHandle(const MsiHandle&) = delete;
  MsiHandle& operator=(const MsiHandle&) = delete;
  MSIHANDLE get() const { return h_; }
  MSIHANDLE* out() {
    reset();
    return &h_;
  }
  void reset() {
    if (h_ != 0) MsiCloseHandle(h_);
    h_ = 0;
  }

 private:
  MSIHANDLE h_ = 0;
};

// Deletes the scratch copy of the package on every path.
class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  void set(const std::wstring& path) { path_ = path; }

 private:
  std::wstring path_;
};

class LocalArgs {
 public:
  LocalArgs() : argv_(CommandLineToArgvW(GetCommandLineW(), &argc_)) {}
  ~LocalArgs() {
    if (argv_ != nullptr) LocalFree(argv_);
  }
  LocalArgs(const LocalArgs&) = delete;
  LocalArgs& operator=(const LocalArgs&) = delete;
  int count() const { return argv_ != nullptr ? argc_ : 0; }
  std::wstring operator[](int i) const { return argv_[i]; }

 private:
  int argc_ = 0;
  LPWSTR* argv_;
};

// Tabs and line ends inside a value must not split the dump's fields.
std::string Escaped(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool RecordString(MSIHANDLE record, UINT field, std::wstring& value) {
  DWORD size = 0;
  wchar_t probe[1] = {0};
  UINT r = MsiRecordGetStringW(record, field, probe, &size);
  if (r != ERROR_MORE_DATA && r != ERROR_SUCCESS) return false;
  value.assign(static_cast<size_t>(size) + 1, L'\0');
  size += 1;
  if (MsiRecordGetStringW(record, field, &value[0], &size) != ERROR_SUCCESS) return false;
  value.resize(size);
  return true;
}

// A binary cell as "<binary SIZE FNV-1a-64>": enough to tell two streams apart.
bool StreamSummary(MSIHANDLE record, UINT field, std::string& out) {
  if (MsiRecordIsNull(record, field)) {
    out.clear();
    return true;
  }
  unsigned long long hash = 14695981039346656037ull;
  unsigned long long total = 0;
  char buffer[65536];
  for (;;) {
    DWORD got = sizeof buffer;
    if (MsiRecordReadStream(record, field, buffer, &got) != ERROR_SUCCESS) return false;
    if (got == 0) break;
    for (DWORD i = 0; i < got; ++i) {
      hash ^= static_cast<unsigned char>(buffer[i]);
      hash *= 1099511628211ull;
    }
    total += got;
  }
  char text[64];
  std::snprintf(text, sizeof text, "<binary %llu %016llx>", total, hash);
  out = text;
  return true;
}

bool OpenView(MSIHANDLE db, const std::wstring& query, MsiHandle& view) {
  return MsiDatabaseOpenViewW(db, query.c_str(), view.out()) == ERROR_SUCCESS &&
         MsiViewExecute(view.get(), 0) == ERROR_SUCCESS;
}

bool TableNames(MSIHANDLE db, std::vector<std::wstring>& names) {
  MsiHandle view;
  if (!OpenView(db, L"SELECT `Name` FROM `_Tables`", view)) return false;
  for (;;) {
    MsiHandle row;
    UINT r = MsiViewFetch(view.get(), row.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    std::wstring name;
    if (r != ERROR_SUCCESS || !RecordString(row.get(), 1, name)) return false;
    names.push_back(name);
  }
  // _Streams is left out: binary cells are compared through the rows that
  // hold them, and Wine keeps the stream of a row a transform deletes.
  return true;
}

bool WriteFileUtf8(const std::wstring& path, const std::string& text) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

bool DumpTable(MSIHANDLE db, const std::wstring& table, const std::wstring& outdir) {
  MsiHandle view;
  if (!OpenView(db, L"SELECT * FROM `" + table + L"`", view)) {
    std::fprintf(stderr, "applymst: cannot read table %s\n", Utf8(table).c_str());
    return false;
  }
  MsiHandle names, types;
  if (MsiViewGetColumnInfo(view.get(), MSICOLINFO_NAMES, names.out()) != ERROR_SUCCESS ||
      MsiViewGetColumnInfo(view.get(), MSICOLINFO_TYPES, types.out()) != ERROR_SUCCESS)
    return false;
  UINT columns = MsiRecordGetFieldCount(names.get());
  std::string header;
  std::vector<bool> binary;
  for (UINT i = 1; i <= columns; ++i) {
    std::wstring name, type;
    if (!RecordString(names.get(), i, name) || !RecordString(types.get(), i, type)) return false;
    header += (i > 1 ? "\t" : "") + Utf8(name) + ":" + Utf8(type);
    binary.push_back(!type.empty() && (type[0] == L'v' || type[0] == L'V'));
  }
  std::vector<std::string> rows;
  for (;;) {
    MsiHandle row;
    UINT r = MsiViewFetch(view.get(), row.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) return false;
    std::string line;
    for (UINT i = 1; i <= columns; ++i) {
      std::string cell;
      std::wstring value;
      if (binary[i - 1]) {
        if (!StreamSummary(row.get(), i, cell)) return false;
      } else {
        if (!RecordString(row.get(), i, value)) return false;
        cell = Escaped(Utf8(value));
      }
      line += (i > 1 ? "\t" : "") + cell;
    }
    rows.push_back(line);
  }
  std::sort(rows.begin(), rows.end());
  std::string text = header + "\n";
  for (const std::string& line : rows) text += line + "\n";
  return WriteFileUtf8(outdir + L"\\" + table + L".txt", text);
}

// The code page, as the engine's own export of _ForceCodepage states it.
bool DumpCodepage(MSIHANDLE db, const std::wstring& outdir) {
  return MsiDatabaseExportW(db, L"_ForceCodepage", outdir.c_str(), L"codepage") == ERROR_SUCCESS;
}

int Dump(MSIHANDLE db, const std::wstring& outdir) {
  CreateDirectoryW(outdir.c_str(), nullptr);
  std::vector<std::wstring> tables;
  if (!TableNames(db, tables)) {
    std::fprintf(stderr, "applymst: cannot list the tables\n");
    return 1;
  }
  for (const std::wstring& table : tables)
    if (!DumpTable(db, table, outdir)) return 1;
  if (!DumpCodepage(db, outdir)) {
    std::fprintf(stderr, "applymst: cannot export the code page\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main() {
  LocalArgs args;
  bool dump = args.count() == 4 && args[1] == L"dump";
  bool apply = args.count() == 5 && args[1] == L"apply";
  if (!dump && !apply) {
    std::fprintf(stderr,
                 "usage: applymst dump PACKAGE OUTDIR\n"
                 "       applymst apply PACKAGE TRANSFORM OUTDIR\n");
    return 2;
  }
  std::wstring package = args[2];
  ScratchFile scratch;
  if (apply) {
    wchar_t folder[MAX_PATH], file[MAX_PATH];
    if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"mst", 0, file) == 0 ||
        !CopyFileW(package.c_str(), file, FALSE)) {
      std::fprintf(stderr, "applymst: cannot copy the package\n");
      return 1;
    }
    scratch.set(file);
    package = file;
  }
  MsiHandle db;
  // MSIDBOPEN_TRANSACT (1) for the scratch copy, MSIDBOPEN_READONLY (0) else.
  LPCWSTR mode = reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(apply ? 1 : 0));
  UINT r = MsiOpenDatabaseW(package.c_str(), mode, db.out());
  if (r != ERROR_SUCCESS) {
    std::fprintf(stderr, "applymst: cannot open %s: %u\n", Utf8(args[2]).c_str(), r);
    return 1;
  }
  if (apply) {
    r = MsiDatabaseApplyTransformW(db.get(), args[3].c_str(), 0);
    if (r != ERROR_SUCCESS) {
      std::fprintf(stderr, "applymst: the transform does not apply: %u\n", r);
      return 1;
    }
  }
  return Dump(db.get(), args[apply ? 4 : 3]);
}
