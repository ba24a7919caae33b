#include "support/busy_files.h"

#include <algorithm>

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
      removed_.push_back(path);
      return true;
    }
    if (!IsMomentaryRefusal(error, true) || !budget_.PauseForRetry()) return false;
  }
}

bool PatientFileSystem::RemoveFolder(const std::string& path, uint32_t& error) {
  for (;;) {
    if (inner_.RemoveFolder(path, error)) return true;
    const bool momentary =
        error == syserror::kDirNotEmpty ? DeletePending() : IsMomentaryRefusal(error, true);
    if (!momentary || !budget_.PauseForRetry()) return false;
  }
}

bool PatientFileSystem::DeletePending() {
  for (const std::string& path : removed_) {
    uint32_t error = 0;
    // Windows refuses the second delete (ERROR_ACCESS_DENIED); Wine grants it.
    if (inner_.RemoveFile(path, error) ||
        (error != syserror::kFileNotFound && error != syserror::kPathNotFound)) {
      return true;
    }
  }
  return false;
}

}  // namespace setup
