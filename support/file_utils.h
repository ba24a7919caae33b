// File-system utilities over the FileSystem service. Several operations trim
// the caller's string in place; that is part of their contract.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "support/platform.h"

namespace setup {

// Called by WalkFolder for every file: (full path, context); false stops the
// walk.
using WalkCallback = std::function<bool(std::string& path, std::string& context)>;

class FileUtilities {
 public:
  explicit FileUtilities(FileSystem& files) : files_(files) {}

  // Start mode (name not empty): closes an open search, trims trailing '\'
  // from folder in place, and searches folder + '\' + name. Continue mode
  // (name empty, folder not empty): the next entry of the open search.
  // On return name holds the entry found (empty when none) and isFolder its
  // directory bit (unchanged when nothing was found).
  bool FindFile(std::string& folder, std::string& name, bool& isFolder);

  // Whether folder (with or without trailing '\') holds name: a search
  // started and closed again.
  bool HasFile(const std::string& folder, const std::string& name);

  // Walks folder recursively, calling callback for every file matching
  // pattern; folders named skipName (any case, trailing '\' ignored) are
  // skipped with all they hold. True when the walk ran to its end.
  bool WalkFolder(std::string folder, std::string skipName, std::string pattern,
                  std::string context, const WalkCallback& callback);

  // Trims leading white space in place, then creates every folder of path
  // up to its last '\'. True when the last creation succeeded or the folder
  // existed already.
  bool CreateFolderChain(std::string& path);
  // Trims leading white space in place; removes the folder when empty.
  bool RemoveFolder(std::string& path);
  // Removes the folders of relative below root, innermost first; root
  // itself stays.
  void RemoveFolderChain(std::string root, std::string& relative);

  void GetCurrentFolder(std::string& out);
  void GetTempFolder(std::string& out);

  FileSystem& Files() { return files_; }

 private:
  // The search state: none (no search, not invalid), invalid (failed start)
  // or open.
  struct SearchState {
    std::unique_ptr<DirectorySearch> search;
    bool invalid = false;
  };

  FileSystem& files_;
  SearchState state_;
};

// The root folder of the volume that path lies on, with its trailing '\':
// "C:\" for "C:\Temp\x", "\\server\share\" for a UNC path; empty when
// path names no volume (a relative path, "\\server" alone).
std::string VolumeRoot(const std::string& path);

}  // namespace setup
