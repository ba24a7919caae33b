// The free-space check of the temporary folder before a disk set is copied,
// and the run's own extraction folder inside the folder it accepts.
#pragma once

#include <cstdint>
#include <string>

#include "support/file_utils.h"
#include "support/messages.h"

namespace setup {

// Added to the size of the set: decimal, not 102,400.
constexpr int64_t kTempSpaceMargin = 100000;

// The "No free disk space" dialog (template 137) as the check sees it.
class TempSpaceDialogView {
 public:
  enum class Result { Ok, Exit };
  virtual ~TempSpaceDialogView() = default;
  // Shows path and runs modally. On Ok, chosen holds the folder the user
  // confirmed, already in the form NormaliseChosenFolder gives; on Exit (or
  // Escape) chosen is not to be read.
  virtual Result RunModal(const std::string& path, std::string& chosen) = 0;
};

// What OK makes of the path field: trailing backslashes removed, then
// leading ones, then one backslash appended. A UNC path (two or more
// leading backslashes before a name) keeps exactly two leading backslashes,
// so it is not turned into a path relative to the current folder.
std::string NormaliseChosenFolder(const std::string& fieldText);

// What Change puts into the path field for a file chosen in the file-open
// dialog: the path cut before its last backslash (whole when it has none).
std::string FolderOfChosenFile(const std::string& filePath);

// Makes sure the volume of folder has more than required + kTempSpaceMargin
// bytes free, asking the user for another folder while it has not. True
// with folder holding the folder to copy into; false when the first
// free-space query fails (message 10 is shown) or the user chose Exit
// (folder unchanged). Sets tempFolderCreated when the accepted folder is
// one the check had to create (the flag is never cleared here).
bool CheckTempSpace(FileUtilities& fileUtils, Messages& messages, TempSpaceDialogView& view,
                    std::string& folder, int64_t required, bool& tempFolderCreated);

// Creates a new folder with a fresh name inside parent (which ends in '\')
// for one run to extract into; an existing folder is never reused. True
// with created holding the new folder's path and one trailing backslash;
// false when no name could be created (created untouched). The names come
// from system.RandomNumber(), so that another program cannot guess them.
bool CreateExtractionFolder(FileSystem& files, SystemInfo& system, const std::string& parent,
                            std::string& created);

}  // namespace setup
