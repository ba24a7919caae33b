#include "tools/mkmst/run_mkmst.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "tools/msitransform/codepages.h"
#include "tools/msitransform/generate.h"

namespace setup::tools {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "usage: mkmst BASE.msi LOCALIZED.msi OUT.mst\n"
    "       mkmst --codepage PACKAGE.msi\n";

constexpr char kHelp[] =
    "  writes OUT.mst, the language transform that turns the package BASE into its\n"
    "  language build LOCALIZED (the same product built in another language); nothing\n"
    "  is written when the pair holds a change a transform cannot carry, or a text the\n"
    "  build's code page cannot hold (the message names the code page that would)\n"
    "  --codepage PACKAGE.msi  prints the code page that holds every text of the package,\n"
    "                          the one its ProductLanguage implies first (0: all ASCII)\n"
    "  --help, --version\n"
    "Exit code 0: done; 1: refused (nothing written); 2: bad usage.\n";

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ignored;
  return fs::equivalent(a, b, ignored);
}

int Usage(std::ostream& err) {
  err << kUsage << "(mkmst --help tells more)\n";
  return 2;
}

bool OpenPackage(msi::PackageReader& package, const std::string& path, std::ostream& err) {
  std::string error;
  if (package.Open(path, error)) return true;
  err << "mkmst: cannot read " << path << ": " << error << "\n";
  return false;
}

int LanguageOf(const msi::PackageReader& package) {
  return std::atoi(package.Property("ProductLanguage").c_str());
}

// The code page that holds every text of package; nullopt with the reason
// when its tables cannot be read or no one code page holds them all.
std::optional<int> CodepageFor(msi::PackageReader& package, std::string& why) {
  std::vector<msi::TextCell> cells;
  if (!msi::TextsOutsideAscii(package, cells, why)) return std::nullopt;
  std::vector<std::string> texts;
  for (const msi::TextCell& cell : cells) texts.push_back(cell.text);
  std::optional<int> codepage = msi::CodepageHolding(texts, LanguageOf(package));
  if (!codepage) {
    why =
        "no one code page holds every text of it (it mixes scripts: " + msi::DescribeCells(cells) +
        ")";
  }
  return codepage;
}

// The refusal of a transform whose texts the localized build's code page
// cannot hold: which rows, the code page that would hold them, and how to
// set it on the build.
void RefuseCodepage(msi::PackageReader& localized, const std::string& path, int codepage,
                    const std::vector<msi::TextCell>& outside, std::ostream& err) {
  err << "mkmst: refused: " << path << " is in code page " << codepage
      << ", which cannot hold its texts (" << msi::DescribeCells(outside) << ");\n";
  std::string why;
  std::optional<int> holding = CodepageFor(localized, why);
  if (holding) {
    err << "  code page " << *holding << " holds every text of it: set it on the build with\n"
        << "    scripts/set-codepage.sh " << path << " " << *holding << "\n"
        << "  (or import a _ForceCodepage row: printf '\\n\\n"
        << *holding << "\\t_ForceCodepage\\n' >cp.idt && msibuild " << path << " -i cp.idt)\n"
        << "  and run mkmst again; nothing written\n";
  } else {
    err << "  " << why << "; nothing written\n";
  }
}

int PrintCodepage(const std::string& path, std::ostream& out, std::ostream& err) {
  msi::QuietLibmsiLog();
  msi::PackageReader package;
  if (!OpenPackage(package, path, err)) return 1;
  std::string why;
  std::optional<int> codepage = CodepageFor(package, why);
  if (!codepage) {
    err << "mkmst: " << path << ": " << why << "\n";
    return 1;
  }
  out << *codepage << "\n";
  return 0;
}

}  // namespace

int RunMkmst(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      out << "mkmst " << SETUP_TOOLS_VERSION << ": language transforms for SETUP.EXE's media\n"
          << kUsage << kHelp;
      return 0;
    }
    if (argument == "--version") {
      out << "mkmst " << SETUP_TOOLS_VERSION << "\n";
      return 0;
    }
  }
  if (!arguments.empty() && arguments[0] == "--codepage") {
    if (arguments.size() != 2 || arguments[1].empty()) return Usage(err);
    return PrintCodepage(arguments[1], out, err);
  }
  if (arguments.size() != 3 || arguments[0].empty() || arguments[1].empty() ||
      arguments[2].empty()) {
    return Usage(err);
  }
  for (const std::string& argument : arguments) {
    if (argument[0] == '-') {
      err << "mkmst: unknown option " << argument << "\n";
      return Usage(err);
    }
  }
  const fs::path output = arguments[2];
  if (SameFile(output, arguments[0]) || SameFile(output, arguments[1])) {
    err << "mkmst: " << output.string() << " is one of the packages; refusing to overwrite it\n";
    return 2;
  }
  msi::QuietLibmsiLog();
  msi::PackageReader base, localized;
  if (!OpenPackage(base, arguments[0], err) || !OpenPackage(localized, arguments[1], err)) {
    return 1;
  }
  msi::Transform transform;
  std::string error;
  if (!msi::GenerateTransform(base, localized, transform, error)) {
    err << "mkmst: refused: " << error << "; nothing written\n";
    return 1;
  }
  const std::vector<msi::TextCell> outside =
      msi::TextsOutside(msi::TextsOutsideAscii(transform), transform.codepage);
  if (!outside.empty()) {
    RefuseCodepage(localized, arguments[1], transform.codepage, outside, err);
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
