#include "tools/mkmst/run_mkmst.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "tools/msitransform/generate.h"

namespace setup::tools {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "usage: mkmst BASE.msi LOCALIZED.msi OUT.mst\n"
    "  writes the transform that turns BASE into LOCALIZED\n";

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ignored;
  return fs::equivalent(a, b, ignored);
}

}  // namespace

int RunMkmst(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 3 || arguments[0].empty() || arguments[1].empty() ||
      arguments[2].empty() || arguments[0][0] == '-') {
    err << kUsage;
    return 2;
  }
  const fs::path output = arguments[2];
  if (SameFile(output, arguments[0]) || SameFile(output, arguments[1])) {
    err << "mkmst: " << output.string() << " is one of the packages; refusing to overwrite it\n";
    return 2;
  }
  msi::QuietLibmsiLog();
  msi::PackageReader base, localized;
  std::string error;
  if (!base.Open(arguments[0], error)) {
    err << "mkmst: cannot read " << arguments[0] << ": " << error << "\n";
    return 1;
  }
  if (!localized.Open(arguments[1], error)) {
    err << "mkmst: cannot read " << arguments[1] << ": " << error << "\n";
    return 1;
  }
  msi::Transform transform;
  if (!msi::GenerateTransform(base, localized, transform, error)) {
    err << "mkmst: refused: " << error << "; nothing written\n";
    return 1;
  }
  // Written beside OUT under a scratch name and renamed, so that a failed
  // run leaves no partial transform behind.
  fs::path parent = output.has_parent_path() ? output.parent_path() : fs::path(".");
  std::string scratch = (parent / ("." + output.filename().string() + ".XXXXXX")).string();
  int fd = mkstemp(scratch.data());
  if (fd < 0) {
    err << "mkmst: cannot create a file in " << parent.string() << "\n";
    return 1;
  }
  close(fd);
  std::error_code failure;
  if (!msi::WriteTransform(transform, scratch, error)) {
    fs::remove(scratch, failure);
    err << "mkmst: refused: " << error << "; nothing written\n";
    return 1;
  }
  fs::permissions(scratch,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read,
                  failure);
  fs::rename(scratch, output, failure);
  if (failure) {
    fs::remove(scratch, failure);
    err << "mkmst: cannot write " << output.string() << "\n";
    return 1;
  }
  size_t inserted = 0, updated = 0, deleted = 0;
  for (const msi::TableChange& table : transform.tables) {
    for (const msi::RowChange& row : table.rows) {
      inserted += row.action == msi::RowAction::kInsert;
      updated += row.action == msi::RowAction::kUpdate;
      deleted += row.action == msi::RowAction::kDelete;
    }
  }
  out << "mkmst: wrote " << output.string() << ": " << transform.tables.size()
      << " tables changed (" << inserted << " rows inserted, " << updated << " updated, " << deleted
      << " deleted), " << transform.addedTables.size() << " added, "
      << transform.droppedTables.size() << " dropped; code page " << transform.codepage << "\n";
  return 0;
}

}  // namespace setup::tools
