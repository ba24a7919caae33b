#include "floppy/disk_set_copier.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "support/crc32.h"
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
  state_.faultCallback = nullptr;
  state_.stopRequested = false;
}

DiskSetCopier::~DiskSetCopier() { state_.manifest.Clear(); }

void DiskSetCopier::SetPromptCallback(PromptCallback callback) {
  state_.promptCallback = std::move(callback);
}

void DiskSetCopier::SetFaultCallback(DiskFaultCallback callback) {
  state_.faultCallback = std::move(callback);
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
  state_.volumeDigest.reset();
  state_.volumeCrc = 0;
  state_.diskStart = {};
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
  int32_t entry = 1;
  int64_t written = 0;
  for (;;) {
    Step step = Step::Done;
    std::string value;
    for (; entry < INT32_MAX; ++entry, written = 0) {
      std::string key = IntToText(entry);
      if (!state_.manifest.Lookup(key, value)) break;
      ManifestEntry file = ParseManifestEntry(value);
      std::string destination = state_.targetDir + file.path;
      std::size_t lastSeparator = FindLastChar(destination, '\\');
      if (lastSeparator != std::string::npos) {
        // A failure here shows when the file is opened.
        std::string folder = destination.substr(0, lastSeparator + 1);
        state_.fileUtils.CreateFolderChain(folder);
      }
      step = CopyFileFromDisks(entry, destination, file.size, written);
      if (step != Step::Done) break;
    }
    if (step == Step::Done) step = FinishLastVolume(entry - 1);
    if (step != Step::Redo) return step == Step::Done;
    entry = state_.diskStart.entry;
    written = state_.diskStart.written;
  }
}

DiskSetCopier::Step DiskSetCopier::CopyFileFromDisks(int32_t entry, const std::string& destination,
                                                     int64_t size, int64_t written) {
  // The pieces are appended, so whatever the path held must go first.
  if (written == 0 && !destination.empty()) state_.files.RemoveFile(destination);
  int64_t left = size - written;
  while (left > 0) {
    if (state_.volumeRemaining == 0 && !OpenNextDisk(entry, size - left)) return Step::Failed;
    int64_t copied = 0;
    const int64_t piece = std::min(left, state_.volumeRemaining);
    const ChunkResult result =
        piece > 0 ? CopyChunk(state_.volumePath, destination, state_.volumeOffset, piece, copied)
                  : ChunkResult::Copied;
    state_.volumeOffset += copied;
    state_.volumeRemaining -= copied;
    left -= copied;
    if (result == ChunkResult::ReadFailed) {
      // Goes on from the first byte not yet written.
      if (!AskAgain(DiskFault::ReadError)) return Step::Failed;
      continue;
    }
    if (result != ChunkResult::Copied) return Step::Failed;
    if (state_.volumeRemaining == 0) {
      const Step proven = ProveVolume(entry);
      if (proven != Step::Done) return proven;
    }
  }
  return Step::Done;
}

template <typename Callback, typename... Args>
bool DiskSetCopier::Ask(const Callback& callback, Args... args) {
  if (!callback || StopRequested()) return false;
  bool answer = false;
  try {
    answer = callback(args...);
  } catch (...) {
    return false;
  }
  return answer && !StopRequested();
}

bool DiskSetCopier::OpenNextDisk(int32_t entry, int64_t written) {
  ++state_.diskNumber;
  state_.volumePath = state_.sourceDir + kVolumePrefix + IntToText(state_.diskNumber);
  state_.volumeDigest = FindVolumeDigest(state_.manifest, state_.diskNumber);
  state_.diskStart = {entry, written, state_.totalCopied};
  return OpenVolume(false);
}

bool DiskSetCopier::OpenVolume(bool again) {
  const int disk = state_.diskNumber;
  std::unique_ptr<ReadableFile> volume;
  bool result = true;
  for (;;) {
    volume = state_.files.OpenForReading(state_.volumePath);
    while (!volume) {
      if (!result) return false;
      result = Ask(state_.promptCallback, disk, true);
      volume = state_.files.OpenForReading(state_.volumePath);
      if (volume && !result) return false;
    }
    std::optional<DiskFault> fault = Identify(*volume, again);
    if (!fault) break;
    volume.reset();
    if (!Ask(state_.faultCallback, disk, *fault)) return false;
    result = true;
  }
  if (state_.promptCallback) result = Ask(state_.promptCallback, disk, false);
  if (again) return result;

  // The volume is measured even when the announcement said stop, as the
  // counters must describe the disk now in the drive.
  int64_t length = volume->Size();
  if (length < 0 || length >= kSetSizeLimit) return false;
  state_.volumeSize = length;
  state_.volumeRemaining = length;
  state_.volumeOffset = 0;
  state_.volumeCrc = 0;
  return result;
}

std::optional<DiskFault> DiskSetCopier::Identify(ReadableFile& volume, bool again) {
  if (state_.volumeDigest) return IdentifyVolume(volume, *state_.volumeDigest);
  // Without a digest, a disk put in again after a read error must at least
  // have the length of the one it stands for.
  if (again && volume.Size() != state_.volumeSize) return DiskFault::WrongDisk;
  return std::nullopt;
}

bool DiskSetCopier::AskAgain(DiskFault fault) {
  return Ask(state_.faultCallback, state_.diskNumber, fault) && OpenVolume(true);
}

DiskSetCopier::Step DiskSetCopier::ProveVolume(int32_t entry) {
  if (!state_.volumeDigest || state_.volumeCrc == state_.volumeDigest->crc) return Step::Done;
  if (!RollBack(entry) || !AskAgain(DiskFault::DigestMismatch)) return Step::Failed;
  state_.volumeRemaining = state_.volumeSize;
  state_.volumeOffset = 0;
  state_.volumeCrc = 0;
  return Step::Redo;
}

bool DiskSetCopier::RollBack(int32_t entry) {
  const DiskStart& start = state_.diskStart;
  std::string value;
  for (int32_t i = entry; i >= start.entry && i > 0; --i) {
    std::string key = IntToText(i);
    if (!state_.manifest.Lookup(key, value)) return false;
    const std::string destination = state_.targetDir + ParseManifestEntry(value).path;
    // The file the disk went on with keeps what earlier disks gave it; the
    // files that began on it go.
    if (i == start.entry && start.written > 0) {
      if (!state_.files.Truncate(destination, start.written)) return false;
    } else {
      state_.files.RemoveFile(destination);
    }
  }
  state_.totalCopied = start.totalCopied;
  return true;
}

DiskSetCopier::Step DiskSetCopier::FinishLastVolume(int32_t entry) {
  if (!state_.volumeDigest) return Step::Done;
  if (state_.volumeRemaining == 0) return ProveVolume(entry);
  // The bytes no file takes are read, without a destination, to prove it.
  return CopyFileFromDisks(entry, std::string(), state_.volumeRemaining, 0);
}

DiskSetCopier::ChunkResult DiskSetCopier::CopyChunk(const std::string& volumePath,
                                                    const std::string& destination, int64_t offset,
                                                    int64_t count, int64_t& copied) {
  copied = 0;
  std::vector<char> buffer;
  try {
    buffer.resize(kChunkSize);
  } catch (const std::bad_alloc&) {
    return ChunkResult::Failed;
  }
  std::unique_ptr<ReadableFile> volume = state_.files.OpenForReading(volumePath);
  if (!volume) return ChunkResult::ReadFailed;
  const bool readOnly = destination.empty();
  std::unique_ptr<WritableFile> target;
  if (!readOnly) {
    target = state_.files.OpenForAppending(destination);
    if (!target) return ChunkResult::Failed;
  }
  if (!volume->Seek(offset)) return ChunkResult::ReadFailed;

  bool ok = true;
  while (copied < count && ok) {
    if (StopRequested()) return ChunkResult::Failed;
    std::size_t want = static_cast<std::size_t>(std::min<int64_t>(kChunkSize, count - copied));
    int64_t n = volume->Read(buffer.data(), want);
    if (n < 0) return ChunkResult::ReadFailed;
    if (!readOnly && !HasFreeSpace(n)) {
      state_.diskFullReported = true;
      state_.messages.ShowMessageById(11);
      return ChunkResult::Failed;
    }
    if (n == 0) return ChunkResult::Failed;
    if (!readOnly && !target->Append(buffer.data(), static_cast<std::size_t>(n)))
      return ChunkResult::Failed;
    if (state_.volumeDigest) {
      state_.volumeCrc = Crc32(state_.volumeCrc, buffer.data(), static_cast<std::size_t>(n));
    }
    if (readOnly) {
      copied += n;
      continue;
    }
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
  return ok ? ChunkResult::Copied : ChunkResult::Failed;
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
