#include "support/busy_files.h"

#include <algorithm>

#include "support/text.h"

namespace setup {

bool IsMomentaryRefusal(uint32_t error, bool justCopied) {
  switch (error) {
    case syserror::kSharingViolation:
    case syserror::kLockViolation:
      return true;
    case syserror::kAccessDenied:
      return justCopied;
    default:
      return false;
  }
}

bool RetryBudget::PauseForRetry() {
  const uint32_t now = clock_.Milliseconds();
  if (!firstRefusal_) firstRefusal_ = now;
  const uint32_t spent = now - *firstRefusal_;
  if (spent >= kBudget) return false;
  clock_.Sleep(std::min(nextPause_, kBudget - spent));
  nextPause_ = std::min(nextPause_ * 2, kLongestPause);
  return true;
}

bool PatientFileSystem::RemoveFile(const std::string& path, uint32_t& error) {
  for (;;) {
    if (inner_.RemoveFile(path, error)) {
      removed_.push_back(ToUpper(path));
      return true;
    }
    if (!IsMomentaryRefusal(error, true) || !budget_.PauseForRetry()) return false;
  }
}

bool PatientFileSystem::RemoveFolder(const std::string& path, uint32_t& error) {
  for (;;) {
    if (inner_.RemoveFolder(path, error)) return true;
    const bool momentary = error == syserror::kDirNotEmpty ? HoldsOnlyRemovedFiles(path)
                                                           : IsMomentaryRefusal(error, true);
    if (!momentary || !budget_.PauseForRetry()) return false;
  }
}

bool PatientFileSystem::HoldsOnlyRemovedFiles(const std::string& folder) {
  std::string base = folder;
  TrimTrailing(base, '\\');
  DirectoryEntry entry;
  std::unique_ptr<DirectorySearch> search = inner_.FindFirst(base + "\\*", entry);
  for (bool found = search != nullptr; found; found = search->Next(entry)) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = ToUpper(base + "\\" + entry.name);
    if (entry.isFolder || std::find(removed_.begin(), removed_.end(), path) == removed_.end()) {
      return false;
    }
  }
  return true;
}

}  // namespace setup
