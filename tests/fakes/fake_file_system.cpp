#include "fakes/fake_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "support/busy_files.h"

namespace setup::testing {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A path as Windows resolves it: "C:\a\b\" -> "C:\a\b"; several
// backslashes in a row count as one; "." is dropped and ".." (or any
// component of dots and blanks with two or more dots) takes away the
// component before it, never the drive or share; other components lose
// their trailing dots and blanks.
std::string Normalise(const std::string& path) {
  const bool unc = path.rfind("\\\\", 0) == 0;
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&parts, &part] {
    const bool dotsOnly = !part.empty() && part.find_first_not_of(". ") == std::string::npos;
    if (dotsOnly) {
      const bool up = std::count(part.begin(), part.end(), '.') >= 2;
      if (up && parts.size() > 1) parts.pop_back();
    } else if (!part.empty()) {
      while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
      parts.push_back(part);
    }
    part.clear();
  };
  for (std::size_t i = unc ? 2 : 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      flush();
    } else {
      part += path[i];
    }
  }
  std::string out = unc ? "\\\\" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
  return out;
}

// The volume of a normalised path: "C:" or "\\srv\share".
std::string VolumeOf(const std::string& path) {
  std::size_t end = path.find('\\', path.rfind("\\\\", 0) == 0 ? path.find('\\', 2) + 1 : 0);
  return Lower(path.substr(0, end));
}

std::string ParentOf(const std::string& path) {
  auto pos = path.find_last_of('\\');
  return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string LeafOf(const std::string& path) {
  auto pos = path.find_last_of('\\');
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

// A drive ("C:") or a share ("\\srv\share") is the top of a tree.
bool IsDriveRoot(const std::string& path) {
  if (path.size() == 2 && path[1] == ':') return true;
  return path.rfind("\\\\", 0) == 0 && std::count(path.begin() + 2, path.end(), '\\') == 1;
}

bool Match(const char* name, const char* pattern) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* n = name;; ++n) {
      if (Match(n, pattern + 1)) return true;
      if (*n == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                             std::tolower(static_cast<unsigned char>(*name)))
    return Match(name + 1, pattern + 1);
  return false;
}

class FakeSearch : public DirectorySearch {
 public:
  FakeSearch(std::vector<DirectoryEntry> entries, int& openCount)
      : entries_(std::move(entries)), openCount_(openCount) {
    ++openCount_;
  }
  ~FakeSearch() override { --openCount_; }
  bool Next(DirectoryEntry& entry) override {
    if (next_ >= entries_.size()) return false;
    entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<DirectoryEntry> entries_;
  std::size_t next_ = 1;  // the first entry went to FindFirst
  int& openCount_;
};

class FakeReadableFile : public ReadableFile {
 public:
  // Reads fail when failReads, or when they touch badByte; bytesRead counts
  // what they return.
  FakeReadableFile(std::string data, std::optional<std::size_t> limit, bool failReads,
                   std::optional<int64_t> badByte, uint64_t& bytesRead)
      : data_(std::move(data)),
        limit_(limit),
        failReads_(failReads),
        badByte_(badByte),
        bytesRead_(bytesRead) {}
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  bool Seek(int64_t offset) override {
    if (offset < 0) return false;
    position_ = static_cast<std::size_t>(offset);
    return true;
  }
  int64_t Read(void* buffer, std::size_t count) override {
    if (failReads_) return -1;
    if (position_ >= data_.size()) {
      // A caller that keeps reading at the end would spin for ever on a
      // real file.
      if (++readsAtEnd_ > 1000) {
        ADD_FAILURE() << "read on and on at the end of a file";
        return -1;
      }
      return 0;
    }
    std::size_t n = std::min(count, data_.size() - position_);
    if (limit_) n = std::min(n, *limit_);
    if (badByte_ && *badByte_ >= static_cast<int64_t>(position_) &&
        *badByte_ < static_cast<int64_t>(position_ + n)) {
      return -1;
    }
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    bytesRead_ += n;
    return static_cast<int64_t>(n);
  }

 private:
  std::string data_;
  std::optional<std::size_t> limit_;
  bool failReads_ = false;
  std::optional<int64_t> badByte_;
  uint64_t& bytesRead_;
  std::size_t position_ = 0;
  int readsAtEnd_ = 0;
};

}  // namespace

class FakeWritableFile : public WritableFile {
 public:
  FakeWritableFile(FakeFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  bool Append(const void* data, std::size_t count) override {
    FakeFileSystem::Node* node = fs_.Find(path_);
    if (node == nullptr || node->isFolder) return false;
    std::size_t allowed = count;
    if (fs_.failWritesAfterBytes) {
      uint64_t room = *fs_.failWritesAfterBytes > fs_.bytesWritten
                          ? *fs_.failWritesAfterBytes - fs_.bytesWritten
                          : 0;
      allowed = static_cast<std::size_t>(std::min<uint64_t>(room, count));
    }
    node->data.append(static_cast<const char*>(data), allowed);
    fs_.bytesWritten += allowed;
    fs_.writtenPerVolume_[VolumeOf(Normalise(path_))] += allowed;
    return allowed == count;
  }

 private:
  FakeFileSystem& fs_;
  std::string path_;
};

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*.*") return true;
  return Match(name.c_str(), pattern.c_str());
}

FakeFileSystem::FakeFileSystem() {
  AddFolder("C:");
  AddFolder("C:\\Work");
  AddFolder("C:\\Temp");
}

std::string FakeFileSystem::Key(const std::string& path) { return Lower(Normalise(path)); }

bool FakeFileSystem::IsReadOnly(const std::string& path) const {
  for (std::string at = Normalise(path); !at.empty(); at = ParentOf(at)) {
    for (const std::string& listed : readOnly) {
      if (Key(listed) == Lower(at)) return true;
    }
  }
  return false;
}

FakeFileSystem::Node* FakeFileSystem::Find(const std::string& path) {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

const FakeFileSystem::Node* FakeFileSystem::Find(const std::string& path) const {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

FakeFileSystem::Node* FakeFileSystem::Create(const std::string& rawPath, bool isFolder,
                                             bool makeParents) {
  std::string path = Normalise(rawPath);
  if (path.empty()) return nullptr;
  if (Node* existing = Find(path)) return existing->isFolder == isFolder ? existing : nullptr;
  if (!IsDriveRoot(path)) {
    std::string parent = ParentOf(path);
    if (parent.empty() || LeafOf(path).empty()) return nullptr;
    Node* parentNode = Find(parent);
    if (parentNode == nullptr && makeParents) parentNode = Create(parent, true, true);
    if (parentNode == nullptr || !parentNode->isFolder) return nullptr;
    parentNode->children.push_back(Key(path));
  } else if (!isFolder) {
    return nullptr;
  }
  Node& node = nodes_[Key(path)];
  node.name = LeafOf(path);
  node.isFolder = isFolder;
  return &node;
}

void FakeFileSystem::AddFolder(const std::string& path) { Create(path, true, true); }

void FakeFileSystem::AddFile(const std::string& path, const std::string& content) {
  if (Node* node = Create(path, false, true)) node->data = content;
}

bool FakeFileSystem::Exists(const std::string& path) const { return Find(path) != nullptr; }

bool FakeFileSystem::IsFolder(const std::string& path) const {
  const Node* node = Find(path);
  return node != nullptr && node->isFolder;
}

std::optional<std::string> FakeFileSystem::Content(const std::string& path) const {
  const Node* node = Find(path);
  if (node == nullptr || node->isFolder) return std::nullopt;
  return node->data;
}

std::vector<std::string> FakeFileSystem::List(const std::string& root) const {
  std::vector<std::string> out;
  const Node* node = Find(root);
  if (node == nullptr) return out;
  std::string base = Normalise(root);
  for (const std::string& childKey : node->children) {
    const Node& child = nodes_.at(childKey);
    std::string path = base + "\\" + child.name;
    out.push_back(path);
    if (child.isFolder) {
      for (const std::string& below : List(path)) out.push_back(below);
    }
  }
  return out;
}

std::unique_ptr<DirectorySearch> FakeFileSystem::FindFirst(const std::string& pattern,
                                                           DirectoryEntry& first) {
  std::string folder = ParentOf(pattern);
  std::string wildcard = LeafOf(pattern);
  // As on Windows, "folder\" (empty wildcard) and a missing folder match
  // nothing.
  const Node* node = Find(folder.empty() ? pattern : folder);
  if (folder.empty() || wildcard.empty() || node == nullptr || !node->isFolder) return nullptr;
  std::vector<DirectoryEntry> entries;
  if (!IsDriveRoot(Normalise(folder))) {
    if (MatchesPattern(".", wildcard)) entries.push_back({".", true});
    if (MatchesPattern("..", wildcard)) entries.push_back({"..", true});
  }
  for (const std::string& childKey : node->children) {
    const Node& child = nodes_.at(childKey);
    if (MatchesPattern(child.name, wildcard)) entries.push_back({child.name, child.isFolder});
  }
  if (entries.empty()) return nullptr;
  first = entries.front();
  return std::make_unique<FakeSearch>(std::move(entries), openSearches);
}

CreateFolderResult FakeFileSystem::CreateFolder(const std::string& path) {
  createFolderCalls.push_back(path);
  // Paths that no real system can create: empty, "\", a server or a share
  // ("\\srv", "\\srv\share").
  if (path.empty() || path == "\\") return CreateFolderResult::Failed;
  if (path.rfind("\\\\", 0) == 0 && std::count(path.begin() + 2, path.end(), '\\') < 2 &&
      Find(path) == nullptr) {
    return CreateFolderResult::Failed;
  }
  if (const Node* existing = Find(path)) {
    return existing->isFolder ? CreateFolderResult::AlreadyExists : CreateFolderResult::Failed;
  }
  return Create(path, true, false) ? CreateFolderResult::Created : CreateFolderResult::Failed;
}

bool FakeFileSystem::RemoveFolder(const std::string& path, uint32_t& error) {
  removeFolderCalls.push_back(path);
  const std::string norm = Normalise(path);
  error = refuse ? refuse("rmdir", path) : 0;
  if (error != 0) return false;
  const Node* node = Find(norm);
  if (node == nullptr || !node->isFolder || IsDriveRoot(norm)) {
    error = node == nullptr ? syserror::kFileNotFound : syserror::kAccessDenied;
    return false;
  }
  FinishPendingDeletes(norm);
  if (!node->children.empty()) {
    error = syserror::kDirNotEmpty;
    return false;
  }
  Unlink(norm);
  return true;
}

bool FakeFileSystem::RemoveFile(const std::string& path, uint32_t& error) {
  const std::string norm = Normalise(path);
  error = refuse ? refuse("delete", path) : 0;
  if (error != 0) return false;
  Node* node = Find(norm);
  if (node != nullptr && node->removed && !(deletePending && deletePending(path))) {
    Unlink(norm);
    node = nullptr;
  }
  if (node != nullptr && node->removed && pendingDeleteSucceedsAgain) return true;
  if (node == nullptr || node->isFolder || node->removed) {
    error = node == nullptr ? syserror::kFileNotFound : syserror::kAccessDenied;
    return false;
  }
  if (deletePending && deletePending(path)) {
    node->removed = true;
  } else {
    Unlink(norm);
  }
  return true;
}

void FakeFileSystem::FinishPendingDeletes(const std::string& folder) {
  const Node* node = Find(folder);
  if (node == nullptr) return;
  const std::vector<std::string> children = node->children;
  for (const std::string& key : children) {
    const Node& child = nodes_.at(key);
    const std::string path = folder + "\\" + child.name;
    if (child.removed && !(deletePending && deletePending(path))) Unlink(path);
  }
}

void FakeFileSystem::Unlink(const std::string& norm) {
  if (Node* parent = Find(ParentOf(norm))) {
    auto& c = parent->children;
    c.erase(std::remove(c.begin(), c.end(), Key(norm)), c.end());
  }
  nodes_.erase(Key(norm));
}

bool FakeFileSystem::SetCurrentFolder(const std::string& path) {
  setCurrentFolderCalls.push_back(path);
  if (!IsFolder(path)) return false;
  currentFolder = path;
  return true;
}

std::optional<uint64_t> FakeFileSystem::FreeSpace(const std::string& folder) {
  ++freeSpaceQueries;
  if (!IsFolder(folder)) return std::nullopt;
  const std::string volume = VolumeOf(Normalise(folder));
  std::optional<uint64_t> free = freeSpace;
  for (const auto& [name, bytes] : volumeFreeSpace) {
    if (Key(name) == volume) free = bytes;
  }
  if (!free) return std::nullopt;
  const uint64_t written = writtenPerVolume_[volume];
  return *free > written ? *free - written : 0;
}

std::unique_ptr<ReadableFile> FakeFileSystem::OpenForReading(const std::string& path,
                                                             FileSharing sharing, uint32_t& error) {
  if (beforeOpen) beforeOpen(path);
  error = refuse ? refuse("open", path) : 0;
  if (error != 0) return nullptr;
  error = syserror::kFileNotFound;
  if (unavailable.count(path) != 0) return nullptr;
  error = syserror::kSharingViolation;
  if (sharing != FileSharing::ShareRead && heldByReader.count(path) != 0) return nullptr;
  const Node* node = Find(path);
  error = node == nullptr ? syserror::kFileNotFound : syserror::kAccessDenied;
  if (node == nullptr || node->isFolder || node->removed) return nullptr;
  error = 0;
  auto bad = badByte.find(path);
  return std::make_unique<FakeReadableFile>(
      node->data, readLimit, unreadable.count(path) != 0,
      bad == badByte.end() ? std::nullopt : std::optional<int64_t>(bad->second), bytesRead);
}

bool FakeFileSystem::Truncate(const std::string& path, int64_t length) {
  Node* node = Find(path);
  if (IsReadOnly(path) || node == nullptr || node->isFolder || node->removed || length < 0 ||
      node->data.size() < static_cast<uint64_t>(length)) {
    return false;
  }
  node->data.resize(static_cast<std::size_t>(length));
  return true;
}

std::unique_ptr<WritableFile> FakeFileSystem::OpenForAppending(const std::string& path) {
  if (IsReadOnly(path)) return nullptr;
  Node* node = Find(path);
  if (node == nullptr) node = Create(path, false, false);
  if (node == nullptr || node->isFolder) return nullptr;
  return std::make_unique<FakeWritableFile>(*this, path);
}

}  // namespace setup::testing
