#include "support/file_utils.h"

#include "support/text.h"

namespace setup {

bool FileUtilities::FindFile(std::string& folder, std::string& name, bool& isFolder) {
  bool found = false;
  DirectoryEntry entry;
  if (!name.empty()) {
    state_.search.reset();
    state_.invalid = false;
    TrimTrailing(folder, '\\');
    state_.search = files_.FindFirst(folder + "\\" + name, entry);
    found = state_.search != nullptr;
    state_.invalid = !found;
  } else if (!folder.empty()) {
    found = !state_.invalid && state_.search != nullptr && state_.search->Next(entry);
  } else {
    // Both empty: closes an open search and reports nothing found.
    state_.search.reset();
  }

  name.clear();
  if (found) {
    name = entry.name;
    isFolder = entry.isFolder;
  } else {
    state_.search.reset();
    state_.invalid = false;
  }
  return found;
}

bool FileUtilities::HasFile(const std::string& folder, const std::string& name) {
  std::string searched = folder;
  std::string found = name;
  bool isFolder = false;
  const bool present = FindFile(searched, found, isFolder);
  std::string none;
  FindFile(none, none, isFolder);  // closes the search
  return present;
}

bool FileUtilities::WalkFolder(std::string folder, std::string skipName, std::string pattern,
                               std::string context, const WalkCallback& callback) {
  TrimTrailing(folder, '\\');
  TrimTrailing(skipName, '\\');
  skipName = ToUpper(skipName);

  // The search of this level is closed on every way out, also when the
  // callback or a nested walk throws.
  struct CloseSearch {
    SearchState& state;
    ~CloseSearch() {
      state.search.reset();
      state.invalid = false;
    }
  } closeSearch{state_};

  std::string name = pattern;
  bool isFolder = false;
  bool found = FindFile(folder, name, isFolder);
  bool proceed = true;
  if (!found) return true;

  while (found && proceed) {
    if (!isFolder) {
      std::string path = folder + "\\" + name;
      proceed = callback(path, context);
    } else if (name != "." && name != ".." && ToUpper(name) != skipName) {
      SearchState saved = std::move(state_);
      state_ = SearchState();
      bool nested = WalkFolder(folder + "\\" + name, skipName, pattern, context, callback);
      state_ = std::move(saved);
      proceed = nested;
    }
    name.clear();
    found = FindFile(folder, name, isFolder);
  }
  return proceed;
}

bool FileUtilities::CreateFolderChain(std::string& path) {
  TrimLeadingSpace(path);
  if (path.empty()) return false;

  std::size_t start = 0;
  std::size_t colon = FindChar(path, ':');
  if (colon != std::string::npos) start = colon + 2;  // a drive root is never created itself

  bool lastOk = false;
  bool attempted = false;
  for (std::size_t i = start; i < path.size(); ++i) {
    std::size_t next = FindChar(path.substr(i), '\\');
    if (next == std::string::npos) break;
    i += next;
    CreateFolderResult result = files_.CreateFolder(path.substr(0, i));
    attempted = true;
    lastOk = result != CreateFolderResult::Failed;
  }
  return attempted && lastOk;
}

bool FileUtilities::RemoveFolder(std::string& path) {
  TrimLeadingSpace(path);
  if (path.empty()) return false;
  return files_.RemoveFolder(path);
}

void FileUtilities::RemoveFolderChain(std::string root, std::string& relative) {
  if (root.empty()) {
    RemoveFolder(relative);
    return;
  }
  TrimTrailing(root, '\\');
  std::string r = relative;
  std::size_t at = FindText(r, root);
  if (at != std::string::npos) r.erase(0, at + root.size());
  TrimTrailing(r, '\\');
  TrimLeading(r, '\\');
  r = "\\" + r;
  for (std::size_t cut = FindLastChar(r, '\\'); cut != std::string::npos;
       cut = FindLastChar(r, '\\')) {
    std::string folder = root + r;
    RemoveFolder(folder);
    r.erase(cut);
  }
}

void FileUtilities::GetCurrentFolder(std::string& out) {
  if (std::optional<std::string> folder = files_.CurrentFolder()) out = *folder;
  out = WithOneTrailingBackslash(out);
}

void FileUtilities::GetTempFolder(std::string& out) {
  if (std::optional<std::string> folder = files_.TempFolder()) out = *folder;
  out = WithOneTrailingBackslash(out);
}

std::string VolumeRoot(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
  if (path.compare(0, 2, "\\\\") != 0) return std::string();
  const std::size_t share = path.find('\\', 2);
  if (share == std::string::npos || share == 2 || share + 1 == path.size() ||
      path[share + 1] == '\\') {
    return std::string();
  }
  const std::size_t end = path.find('\\', share + 1);
  return (end == std::string::npos ? path : path.substr(0, end)) + "\\";
}

}  // namespace setup
