#include "floppy/disk_set_copier.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "support/text.h"

namespace setup {
namespace {

const char kManifestName[] = "Files.id";
const char kVolumePrefix[] = "Disk.";

// Values for the callbacks' int arguments; only a CopyChunk called outside
// Start can see counts beyond int.
int ToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

// The sizes saturate when parsed; their sum must not overflow either.
int64_t SaturatingAdd(int64_t a, int64_t b) {
  if (b > 0 && a > INT64_MAX - b) return INT64_MAX;
  if (b < 0 && a < INT64_MIN - b) return INT64_MIN;
  return a + b;
}

}  // namespace

ManifestEntry ParseManifestEntry(const std::string& value) {
  ManifestEntry entry;
  std::size_t first = FindChar(value, ',');
  if (first == std::string::npos) return entry;
  std::string rest = value.substr(first + 1);
  std::size_t second = FindChar(rest, ',');
  if (second == std::string::npos) return entry;
  entry.path = rest.substr(0, second);
  entry.size = ParseLeadingInteger(rest.substr(second + 1));
  return entry;
}

DiskSetCopier::DiskSetCopier(CopyEngineState& state) : state_(state) {
  ResetCounters();
  state_.volumePath.clear();
  state_.promptCallback = nullptr;
  state_.stopRequested = false;
}

DiskSetCopier::~DiskSetCopier() { state_.manifest.Clear(); }

void DiskSetCopier::SetPromptCallback(PromptCallback callback) {
  state_.promptCallback = std::move(callback);
}

void DiskSetCopier::SetDiskProgressCallback(ProgressCallback callback) {
  state_.diskProgressCallback = std::move(callback);
}

void DiskSetCopier::SetTotalProgressCallback(ProgressCallback callback) {
  state_.totalProgressCallback = std::move(callback);
}

void DiskSetCopier::ResetCounters() {
  state_.diskNumber = 0;
  state_.totalSize = 0;
  state_.totalCopied = 0;
  state_.volumeSize = 0;
  state_.volumeRemaining = 0;
  state_.volumeOffset = 0;
}

bool DiskSetCopier::Start() {
  if (state_.targetDir.empty()) return false;
  ResetCounters();
  state_.diskFullReported = false;

  state_.manifest.SetFile(state_.sourceDir + kManifestName);
  bool loaded = state_.manifest.Load(false);
  TotalSize();
  if (!loaded || !RunIsAcceptable()) return false;
  return CopyAll();
}

int64_t DiskSetCopier::TotalSize() {
  state_.totalSize = 0;
  std::string value;
  for (int32_t i = 1; i < INT32_MAX; ++i) {
    std::string key = IntToText(i);
    if (!state_.manifest.Lookup(key, value)) break;
    state_.totalSize = SaturatingAdd(state_.totalSize, ParseManifestEntry(value).size);
  }
  return state_.totalSize;
}

bool DiskSetCopier::RunIsAcceptable() {
  if (state_.manifest.TextRefused()) return false;
  int64_t bytes = 0;
  std::string value;
  for (int32_t i = 1; i < INT32_MAX; ++i) {
    std::string key = IntToText(i);
    if (!state_.manifest.Lookup(key, value)) break;
    ManifestEntry entry = ParseManifestEntry(value);
    if (!IsSafeRelativePath(entry.path)) return false;
    if (entry.size > 0) {
      if (entry.size >= kSetSizeLimit - bytes) return false;
      bytes += entry.size;
    }
  }
  return true;
}

bool DiskSetCopier::CopyAll() {
  std::string value;
  for (int32_t i = 1; i < INT32_MAX; ++i) {
    std::string key = IntToText(i);
    if (!state_.manifest.Lookup(key, value)) break;
    ManifestEntry entry = ParseManifestEntry(value);
    std::string destination = state_.targetDir + entry.path;
    std::size_t lastSeparator = FindLastChar(destination, '\\');
    if (lastSeparator != std::string::npos) {
      // A failure here shows when the file is opened.
      std::string folder = destination.substr(0, lastSeparator + 1);
      state_.fileUtils.CreateFolderChain(folder);
    }
    if (!CopyFileFromDisks(destination, entry.size)) return false;
  }
  return true;
}

bool DiskSetCopier::CopyFileFromDisks(const std::string& destination, int64_t size) {
  // The pieces are appended, so whatever the path held must go first.
  state_.files.RemoveFile(destination);
  while (size > 0) {
    if (!OpenNextDisk()) return false;
    if (size < state_.volumeRemaining) {
      if (!CopyChunk(state_.volumePath, destination, state_.volumeOffset, size)) return false;
      state_.volumeOffset += size;
      state_.volumeRemaining -= size;
      return true;
    }
    int64_t piece = state_.volumeRemaining;
    if (!CopyChunk(state_.volumePath, destination, state_.volumeOffset, piece)) return false;
    size -= piece;
    state_.volumeOffset += piece;
    state_.volumeRemaining = 0;
  }
  return true;
}

bool DiskSetCopier::Prompt(int diskNumber, bool missing) {
  if (!state_.promptCallback || StopRequested()) return false;
  bool answer = false;
  try {
    answer = state_.promptCallback(diskNumber, missing);
  } catch (...) {
    return false;
  }
  return answer && !StopRequested();
}

bool DiskSetCopier::OpenNextDisk() {
  if (state_.volumeRemaining != 0) return true;
  ++state_.diskNumber;
  state_.volumePath = state_.sourceDir + kVolumePrefix + IntToText(state_.diskNumber);

  bool result = true;
  std::unique_ptr<ReadableFile> volume = state_.files.OpenForReading(state_.volumePath);
  while (!volume) {
    if (!result) return false;
    result = Prompt(state_.diskNumber, true);
    volume = state_.files.OpenForReading(state_.volumePath);
    if (volume && !result) return false;
  }
  if (state_.promptCallback) result = Prompt(state_.diskNumber, false);

  // The volume is measured even when the announcement said stop, as the
  // counters must describe the disk now in the drive.
  int64_t length = volume->Size();
  if (length < 0 || length >= kSetSizeLimit) return false;
  state_.volumeSize = length;
  state_.volumeRemaining = length;
  state_.volumeOffset = 0;
  return result;
}

bool DiskSetCopier::CopyChunk(const std::string& volumePath, const std::string& destination,
                              int64_t offset, int64_t count) {
  std::vector<char> buffer;
  try {
    buffer.resize(kChunkSize);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::unique_ptr<ReadableFile> volume = state_.files.OpenForReading(volumePath);
  if (!volume) return false;
  std::unique_ptr<WritableFile> target = state_.files.OpenForAppending(destination);
  if (!target) return false;
  if (!volume->Seek(offset)) return false;

  int64_t copied = 0;
  bool ok = true;
  while (copied < count && ok) {
    if (StopRequested()) return false;
    std::size_t want = static_cast<std::size_t>(std::min<int64_t>(kChunkSize, count - copied));
    int64_t n = volume->Read(buffer.data(), want);
    if (n < 0) return false;
    if (!HasFreeSpace(n)) {
      state_.diskFullReported = true;
      state_.messages.ShowMessageById(11);
      return false;
    }
    if (n == 0) return false;
    if (!target->Append(buffer.data(), static_cast<std::size_t>(n))) return false;
    state_.totalCopied += n;
    copied += n;
    offset += n;
    try {
      if (state_.totalProgressCallback) {
        ok = state_.totalProgressCallback(ToInt(state_.totalSize), ToInt(state_.totalCopied));
      }
      if (state_.diskProgressCallback) {
        ok = state_.diskProgressCallback(ToInt(state_.volumeSize), ToInt(offset));
      }
    } catch (...) {
      ok = false;
    }
    if (StopRequested()) ok = false;
  }
  return ok;
}

bool DiskSetCopier::HasFreeSpace(int64_t count) {
  std::optional<uint64_t> free = state_.files.FreeSpace(state_.targetDir);
  if (!free) return false;
  return count < 0 || *free > static_cast<uint64_t>(count);
}

void DiskSetCopier::RemoveCreatedFolders() { RemoveCreatedFolders(state_.fileUtils); }

void DiskSetCopier::RemoveCreatedFolders(FileUtilities& utils) {
  std::string value;
  state_.manifest.BeginEnum();
  while (state_.manifest.NextValue(value)) {
    std::string path = ParseManifestEntry(value).path;
    if (!IsSafeRelativePath(path)) continue;
    std::size_t lastSeparator = FindLastChar(path, '\\');
    if (lastSeparator == std::string::npos) continue;
    std::string relative = path.substr(0, lastSeparator);
    utils.RemoveFolderChain(state_.targetDir, relative);
  }
}

void RemoveExtractedFiles(DiskSetCopier& copier, const std::string& extractionFolder,
                          FileSystem& files) {
  CopyEngineState& state = copier.State();
  if (!extractionFolder.empty()) {
    std::string folder = WithOneTrailingBackslash(extractionFolder);
    std::string value;
    state.manifest.BeginEnum();
    while (state.manifest.NextValue(value)) {
      std::string path = ParseManifestEntry(value).path;
      if (!path.empty() && IsSafeRelativePath(path)) files.RemoveFile(folder + path);
    }
    state.targetDir = folder;
    FileUtilities utils(files);
    copier.RemoveCreatedFolders(utils);
    utils.RemoveFolder(folder);
  }
  state.manifest.Clear();
}

}  // namespace setup
