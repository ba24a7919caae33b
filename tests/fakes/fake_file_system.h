// An in-memory file system with Windows path rules ('\' separators, names
// compared without regard to case, "." and ".." resolved, trailing dots and
// blanks dropped, listings in creation order) that can be told to fail the
// way real disks do. Free space belongs to a volume: every folder of a drive
// or share shares it, and what is written there uses it up.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/platform.h"

namespace setup::testing {

class FakeFileSystem : public FileSystem {
 public:
  FakeFileSystem();

  // Set-up. Paths are absolute ("C:\a\b"); parents are created as needed.
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, const std::string& content = {});
  bool Exists(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  // The content of a file; nullopt when there is none.
  std::optional<std::string> Content(const std::string& path) const;
  // Every path below (and not including) root, in creation order.
  std::vector<std::string> List(const std::string& root) const;

  // Failure injection.
  // Free bytes of every volume not in volumeFreeSpace, before the writes of
  // the test (nullopt: the query fails).
  std::optional<uint64_t> freeSpace = uint64_t{1} << 40;
  std::optional<std::string> currentFolder = std::string("C:\\Work\\");
  std::optional<std::string> tempFolder = std::string("C:\\Temp\\");
  // Appends fail once this many bytes were written in all (the write that
  // crosses the limit writes up to it, then fails).
  std::optional<uint64_t> failWritesAfterBytes;
  // Reads return at most this many bytes.
  std::optional<std::size_t> readLimit;
  // Files that cannot be opened (a disk not in the drive).
  std::set<std::string> unavailable;
  // Files that open but whose reads fail (a bad sector).
  std::set<std::string> unreadable;
  // A byte of a file that no read touching it gets past (a bad sector there).
  std::map<std::string, int64_t> badByte;
  // Free bytes of particular volumes ("C:", "\\srv\share"; any case).
  std::map<std::string, uint64_t> volumeFreeSpace;
  // Files another program holds open for reading, sharing reading only:
  // they open only with FileSharing::ShareRead.
  std::set<std::string> heldByReader;
  // Folders where no file can be created or opened for writing, with all
  // below them (a CD, a read-only share), and files that cannot be opened
  // for writing (read-only, or held open by another program).
  std::set<std::string> readOnly;
  // Called before each OpenForReading; may change the fake (insert a disk).
  std::function<void(const std::string& path)> beforeOpen;
  // Asked before each RemoveFile ("delete"), RemoveFolder ("rmdir") and
  // OpenForReading ("open"): a nonzero answer refuses the call with that
  // error code (a scanner holding the file).
  std::function<uint32_t(const std::string& operation, const std::string& path)> refuse;
  // Asked when a file is removed, and again when it or its folder is
  // removed afterwards: while true, the file stays listed (a delete that
  // waits for another program to close it, as on Windows), refuses every
  // open and removal with ERROR_ACCESS_DENIED, and keeps its folder from
  // being removed (ERROR_DIR_NOT_EMPTY).
  std::function<bool(const std::string& path)> deletePending;
  // A second delete of such a file succeeds, as under Wine (Windows refuses
  // it).
  bool pendingDeleteSucceedsAgain = false;

  // Observations.
  std::vector<std::string> createFolderCalls;
  std::vector<std::string> removeFolderCalls;
  std::vector<std::string> setCurrentFolderCalls;
  uint64_t bytesWritten = 0;
  uint64_t bytesRead = 0;
  int freeSpaceQueries = 0;
  int openSearches = 0;  // searches not yet closed

  // FileSystem
  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             DirectoryEntry& first) override;
  CreateFolderResult CreateFolder(const std::string& path) override;
  using FileSystem::RemoveFile;
  using FileSystem::RemoveFolder;
  bool RemoveFolder(const std::string& path, uint32_t& error) override;
  bool RemoveFile(const std::string& path, uint32_t& error) override;
  std::optional<std::string> CurrentFolder() override { return currentFolder; }
  bool SetCurrentFolder(const std::string& path) override;
  std::optional<std::string> TempFolder() override { return tempFolder; }
  std::optional<uint64_t> FreeSpace(const std::string& folder) override;
  using FileSystem::OpenForReading;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path, FileSharing sharing,
                                               uint32_t& error) override;
  std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) override;
  bool Truncate(const std::string& path, int64_t length) override;

  struct Node {
    std::string name;  // as spelled when created
    bool isFolder = false;
    std::string data;
    std::vector<std::string> children;  // keys, in creation order
    bool removed = false;               // deleted, the delete still pending
  };

 private:
  friend class FakeWritableFile;
  static std::string Key(const std::string& path);
  bool IsReadOnly(const std::string& path) const;
  Node* Find(const std::string& path);
  const Node* Find(const std::string& path) const;
  // Takes the node of a normalised path out of the tree.
  void Unlink(const std::string& norm);
  // Unlinks the removed children of folder whose delete no longer waits.
  void FinishPendingDeletes(const std::string& folder);
  // Creates path (and parents when makeParents) as the given kind.
  Node* Create(const std::string& path, bool isFolder, bool makeParents);

  std::map<std::string, Node> nodes_;
  std::map<std::string, uint64_t> writtenPerVolume_;
};

// Wildcard match of '*' and '?' without regard to case; "*.*" matches every
// name, as on Windows.
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace setup::testing
