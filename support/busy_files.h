// Files that another program holds for a moment. A virus scanner opens a
// file it has just seen written and keeps it for a few seconds; meanwhile
// Windows refuses to start, open or delete it. Such a refusal is waited
// out, within a budget, before it counts as a failure.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/platform.h"

namespace setup {

// The system's error codes the file operations report (Win32 numbering;
// the POSIX file system maps errno onto them).
namespace syserror {
constexpr uint32_t kFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr uint32_t kPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
constexpr uint32_t kAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr uint32_t kGeneralFailure = 31;    // ERROR_GEN_FAILURE
constexpr uint32_t kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr uint32_t kLockViolation = 33;     // ERROR_LOCK_VIOLATION
constexpr uint32_t kDirNotEmpty = 145;      // ERROR_DIR_NOT_EMPTY
}  // namespace syserror

// Whether a refusal with error may be gone a moment later: a sharing or
// lock violation always; ERROR_ACCESS_DENIED only for a file the run has
// just copied (a scanner's hold, or a delete still pending, reads so),
// since elsewhere it is the lasting answer of the file's permissions.
bool IsMomentaryRefusal(uint32_t error, bool justCopied);

// The pauses between the tries of refused operations: they grow from
// kFirstPause, doubling up to kLongestPause, and the tries end kBudget
// after the first refusal.
class RetryBudget {
 public:
  static constexpr uint32_t kFirstPause = 100;
  static constexpr uint32_t kLongestPause = 2000;
  static constexpr uint32_t kBudget = 30000;

  explicit RetryBudget(Clock& clock) : clock_(clock) {}

  // Called after a momentary refusal: pauses and returns true when another
  // try fits in the budget (the last pause is cut so that the last try
  // falls at the end of it); false, at once, when the budget is spent, and
  // the refusal then counts as the failure.
  bool PauseForRetry();

 private:
  Clock& clock_;
  std::optional<uint32_t> firstRefusal_;
  uint32_t nextPause_ = kFirstPause;
};

// The file system through which a run removes the files it copied and the
// folders it made for them: a removal refused for a moment is tried again,
// all removals sharing one RetryBudget, so that a file that stays held
// costs the run kBudget once, not once per file. A folder refused as not
// empty counts as held for a moment only while a file removed through here
// is still there, its delete waiting for a scanner that shares deletion to
// close its handle (another delete of it then finds it); anything else in
// it is left as it is, at once. Every other operation is the inner file
// system's.
class PatientFileSystem final : public FileSystem {
 public:
  PatientFileSystem(FileSystem& inner, Clock& clock) : inner_(inner), budget_(clock) {}

  using FileSystem::RemoveFile;
  using FileSystem::RemoveFolder;
  bool RemoveFile(const std::string& path, uint32_t& error) override;
  bool RemoveFolder(const std::string& path, uint32_t& error) override;

  std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                             DirectoryEntry& first) override {
    return inner_.FindFirst(pattern, first);
  }
  CreateFolderResult CreateFolder(const std::string& path) override {
    return inner_.CreateFolder(path);
  }
  std::optional<std::string> CurrentFolder() override { return inner_.CurrentFolder(); }
  bool SetCurrentFolder(const std::string& path) override { return inner_.SetCurrentFolder(path); }
  std::optional<std::string> TempFolder() override { return inner_.TempFolder(); }
  std::optional<uint64_t> FreeSpace(const std::string& folder) override {
    return inner_.FreeSpace(folder);
  }
  using FileSystem::OpenForReading;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path, FileSharing sharing,
                                               uint32_t& error) override {
    return inner_.OpenForReading(path, sharing, error);
  }
  std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) override {
    return inner_.OpenForAppending(path);
  }
  bool Truncate(const std::string& path, int64_t length) override {
    return inner_.Truncate(path, length);
  }

 private:
  // Whether a file removed through here is still there, its delete
  // waiting.
  bool DeletePending();

  FileSystem& inner_;
  RetryBudget budget_;
  std::vector<std::string> removed_;
};

}  // namespace setup
