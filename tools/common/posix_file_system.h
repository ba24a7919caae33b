// FileSystem over POSIX calls for the tools that run on the build machine
// (mkdiskset, the benchmark). Not part of SETUP.EXE. Backslashes in paths
// become slashes, so the engine's "folder\name" paths work unchanged; a
// POSIX name that itself holds a backslash cannot be reached. Names are
// case-sensitive and files are not locked against other openers.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/platform.h"

namespace setup::tools {

// A search over entries listed beforehand; FindFirst hands out the first.
class ListedSearch : public DirectorySearch {
 public:
  explicit ListedSearch(std::vector<DirectoryEntry> entries) : entries_(std::move(entries)) {}
  bool Next(DirectoryEntry& entry) override {
    if (next_ >= entries_.size()) return false;
    entry = entries_[next_++];
    return true;
  }

 private:
  std::vector<DirectoryEntry> entries_;
  std::size_t next_ = 1;
};

class PosixFileSystem : public FileSystem {
 public:
  static std::string ToPosixPath(const std::string& path);

  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             DirectoryEntry& first) override;
  CreateFolderResult CreateFolder(const std::string& path) override;
  // The errors are errno mapped onto the system's codes of Windows.
  using FileSystem::RemoveFile;
  using FileSystem::RemoveFolder;
  bool RemoveFolder(const std::string& path, uint32_t& error) override;
  bool RemoveFile(const std::string& path, uint32_t& error) override;
  std::optional<std::string> CurrentFolder() override;
  bool SetCurrentFolder(const std::string& path) override;
  // TMPDIR, else /tmp.
  std::optional<std::string> TempFolder() override;
  // statvfs: blocks available to unprivileged users.
  std::optional<uint64_t> FreeSpace(const std::string& folder) override;
  using FileSystem::OpenForReading;
  // POSIX knows no sharing modes: sharing plays no part.
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path, FileSharing sharing,
                                               uint32_t& error) override;
  std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) override;
  bool Truncate(const std::string& path, int64_t length) override;
};

}  // namespace setup::tools
