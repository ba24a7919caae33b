#include "floppy/temp_space.h"

#include <optional>

#include "support/text.h"

namespace setup {
namespace {

constexpr int kExtractionFolderAttempts = 64;

std::string HexDigits(uint32_t value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kHex[value & 0xF];
    value >>= 4;
  }
  return text;
}

}  // namespace

std::string NormaliseChosenFolder(const std::string& fieldText) {
  std::string path = fieldText;
  TrimTrailing(path, '\\');
  bool unc = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  TrimLeading(path, '\\');
  if (unc && !path.empty()) path = "\\\\" + path;
  return path + "\\";
}

std::string FolderOfChosenFile(const std::string& filePath) {
  std::size_t last = FindLastChar(filePath, '\\');
  return last == std::string::npos ? filePath : filePath.substr(0, last);
}

bool CheckTempSpace(FileUtilities& fileUtils, Messages& messages, TempSpaceDialogView& view,
                    std::string& folder, int64_t required, bool& tempFolderCreated) {
  FileSystem& files = fileUtils.Files();
  std::optional<uint64_t> firstRead = files.FreeSpace(folder);
  if (!firstRead) {
    messages.ShowMessageById(10);
    return false;
  }
  // Compared as signed 64-bit values: a volume beyond 2^63 bytes is
  // plenty, and a negative need is met by any volume.
  auto asSigned = [](uint64_t bytes) {
    return bytes > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(bytes);
  };
  int64_t free = asSigned(*firstRead);
  // Saturated: a size near 2^63 must not wrap around to a small need.
  const int64_t need =
      required > INT64_MAX - kTempSpaceMargin ? INT64_MAX : required + kTempSpaceMargin;

  while (free <= need) {
    std::string chosen;
    if (!messages.Attended()) return false;  // Exit: nobody can choose a folder
    if (view.RunModal(folder, chosen) != TempSpaceDialogView::Result::Ok) return false;
    std::optional<uint64_t> read = files.FreeSpace(chosen);
    bool created = false;
    if (!read) {
      std::string chain = chosen;
      created = fileUtils.CreateFolderChain(chain);
      read = files.FreeSpace(chosen);
    }
    free = read ? asSigned(*read) : 0;
    if (free > need) {
      folder = chosen;
      // Only a folder this check made is the run's to remove.
      if (created) tempFolderCreated = true;
    } else if (created) {
      std::string made = chosen;
      fileUtils.RemoveFolder(made);
    }
  }
  return true;
}

bool CreateExtractionFolder(FileSystem& files, SystemInfo& system, const std::string& parent,
                            std::string& created) {
  std::string base = WithOneTrailingBackslash(parent);
  for (int attempt = 0; attempt < kExtractionFolderAttempts; ++attempt) {
    // Eight characters, so the name also fits a file system without long
    // names.
    std::string candidate = base + "ST" + HexDigits(system.RandomNumber(), 6);
    if (files.CreateFolder(candidate) == CreateFolderResult::Created) {
      created = candidate + "\\";
      return true;
    }
  }
  return false;
}

}  // namespace setup
