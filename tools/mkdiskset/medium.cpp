// The medium a set is made from. ListMedium turns its folder into the
// manifest's entries and refuses the names, sizes and files a disk set
// cannot carry; AcceptForFloppyRoute refuses what the floppy route (and,
// for images, a FAT file system) could not install.
#include <algorithm>
#include <cctype>
#include <system_error>

#include "floppy/manifest_path.h"
#include "support/text.h"
#include "tools/mkdiskset/commands.h"

namespace fs = std::filesystem;

namespace setup::tools {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Names the manifest or Windows cannot carry: the comma separates the
// manifest's fields, a backslash or colon would change the path on the
// target, and a control character (LF, 0x1A) would end the line or file.
std::optional<char> ForbiddenCharacter(const std::string& name) {
  for (char c : name) {
    if (c == ',' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return c;
  }
  return std::nullopt;
}

bool IsVolumeName(const std::string& upperName) {
  if (upperName.rfind("DISK.", 0) != 0 || upperName.size() == 5) return false;
  return std::all_of(upperName.begin() + 5, upperName.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// What the long-name entries of a FAT file system refuse besides what the
// manifest refuses already; Windows would also drop a trailing dot or blank,
// so the file would arrive under another name.
std::optional<std::string> FatNameProblem(const std::string& name) {
  for (char c : name) {
    if (std::string("\"*<>?|").find(c) != std::string::npos) {
      return std::string("holds '") + c + "'";
    }
  }
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    return "ends in a dot or blank";
  }
  if (name.size() > 255) return "is longer than 255 characters";
  return std::nullopt;
}

std::string Describe(char c) {
  if (static_cast<unsigned char>(c) < 0x20) return "a control character";
  return std::string("'") + c + "'";
}

}  // namespace

std::optional<Medium> ListMedium(const fs::path& folder, std::ostream& err) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    err << "mkdiskset: " << folder.string() << " is not a folder\n";
    return std::nullopt;
  }
  Medium medium;
  try {
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it) {
      const fs::directory_entry& entry = *it;
      if (entry.is_directory()) continue;
      fs::path relative = entry.path().lexically_relative(folder);
      if (!entry.is_regular_file()) {
        err << "mkdiskset: " << relative.string() << " is neither a file nor a folder\n";
        return std::nullopt;
      }
      std::string joined;
      for (const fs::path& part : relative) {
        std::string name = part.string();
        if (std::optional<char> bad = ForbiddenCharacter(name)) {
          err << "mkdiskset: the name " << relative.string() << " holds " << Describe(*bad)
              << ", which a disk set cannot carry\n";
          return std::nullopt;
        }
        // Files.id names them in UTF-8, which SETUP.EXE checks.
        if (!IsValidUtf8(name)) {
          err << "mkdiskset: the name " << relative.string()
              << " is not UTF-8; rename it (convmv can convert names from a legacy code page)\n";
          return std::nullopt;
        }
        joined += (joined.empty() ? "" : "\\") + name;
      }
      bool topLevel = relative.has_parent_path() == false;
      std::string upper = Upper(joined);
      if (topLevel && upper == "SETUP.EXE") {
        medium.setupExe = entry.path();
        continue;
      }
      if (topLevel && (upper == "FILES.ID" || IsVolumeName(upper))) {
        err << "mkdiskset: the medium already holds " << joined
            << ", a name the disk set itself uses (is it a disk set already?)\n";
        return std::nullopt;
      }
      medium.files.push_back({joined, entry.path(), static_cast<int64_t>(entry.file_size())});
    }
  } catch (const fs::filesystem_error& failure) {
    err << "mkdiskset: cannot read the medium: " << failure.what() << "\n";
    return std::nullopt;
  }
  if (medium.setupExe.empty()) {
    err << "mkdiskset: the medium " << folder.string() << " holds no SETUP.EXE\n";
    return std::nullopt;
  }
  std::sort(medium.files.begin(), medium.files.end(),
            [](const MediumFile& a, const MediumFile& b) { return a.relative < b.relative; });
  for (const MediumFile& file : medium.files) {
    medium.totalSize += file.size;
    if (medium.totalSize >= (int64_t{1} << 31)) {
      err << "mkdiskset: the medium holds 2^31 bytes or more; a disk set must stay below "
             "2,147,483,648 bytes\n";
      return std::nullopt;
    }
  }
  return medium;
}

bool AcceptForFloppyRoute(const Medium& medium, bool images, std::ostream& err) {
  bool package = false;
  for (const MediumFile& file : medium.files) {
    if (Upper(file.relative) == "SETUP.MSI") {
      if (file.size == 0) {
        err << "mkdiskset: " << file.relative
            << " is empty, and SETUP.EXE creates no file of size 0; put the package there\n";
        return false;
      }
      package = true;
    }
    if (!IsSafeRelativePath(file.relative)) {
      err << "mkdiskset: " << file.relative
          << " names a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, CLOCK$) "
             "that Windows would open instead of the file; rename it\n";
      return false;
    }
    if (!images) continue;
    std::size_t start = 0;
    for (std::size_t end = 0; end != std::string::npos; start = end + 1) {
      end = file.relative.find('\\', start);
      std::string name = file.relative.substr(start, end - start);
      if (std::optional<std::string> problem = FatNameProblem(name)) {
        err << "mkdiskset: the name " << file.relative << " " << *problem
            << ", which a FAT floppy cannot hold; rename it\n";
        return false;
      }
    }
  }
  if (!package) {
    err << "mkdiskset: the medium holds no Setup.msi at its top; SETUP.EXE takes exactly that "
           "package from a disk set, so name the package Setup.msi\n";
  }
  return package;
}

}  // namespace setup::tools
