// FileSystem over the file API of Win32, names in the form of the text
// layer (support/text_win32.h).
#pragma once

#include "support/platform.h"

namespace setup::win32 {

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             DirectoryEntry& first) override;
  CreateFolderResult CreateFolder(const std::string& path) override;
  using FileSystem::RemoveFile;
  using FileSystem::RemoveFolder;
  bool RemoveFolder(const std::string& path, uint32_t& error) override;
  bool RemoveFile(const std::string& path, uint32_t& error) override;
  std::optional<std::string> CurrentFolder() override;
  bool SetCurrentFolder(const std::string& path) override;
  std::optional<std::string> TempFolder() override;
  std::optional<uint64_t> FreeSpace(const std::string& folder) override;
  using FileSystem::OpenForReading;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path, FileSharing sharing,
                                               uint32_t& error) override;
  std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) override;
  bool Truncate(const std::string& path, int64_t length) override;
};

}  // namespace setup::win32
