// The disk-set copy engine: rebuilds the files listed in the manifest
// Files.id from the volume files Disk.1, Disk.2, ... that carry their bytes
// as one stream cut into disk-sized parts.
//
// A manifest line is "number,relative path,size". The engine copies the
// entries 1, 2, 3 ... up to the first number without an entry; other lines
// are not copied but their folders are still removed by the cleanup. The
// manifest names its files in UTF-8 when it begins with the UTF-8
// byte-order mark, else in the system's ANSI code page.
//
// A set may record a digest of each volume (floppy/volume_digest.h). Each
// disk is then checked when it is opened (its length and first block) and
// when it has been read to its end (all its bytes); a disk that fails is
// asked for again, and after a mismatch at its end the files it fed are put
// back as they were before it and it is read again from its start. A copy
// that succeeds has proven every byte of such a set.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "floppy/manifest_path.h"
#include "floppy/volume_digest.h"
#include "support/file_utils.h"
#include "support/ini_storage.h"
#include "support/messages.h"
#include "support/platform.h"

namespace setup {

// (disk number, missing): missing = the volume of that disk could not be
// opened (true: try again, false: give up); not missing = the volume has
// just been opened and is the one now read (true: go on, false: abort).
using PromptCallback = std::function<bool(int diskNumber, bool missing)>;
// (range, position) after every chunk; false stops the copy.
using ProgressCallback = std::function<bool(int range, int position)>;
// (disk number, fault): the disk in the drive cannot be taken as it is and
// must be put in again (true: try it again, false: give up).
using DiskFaultCallback = std::function<bool(int diskNumber, DiskFault fault)>;

// Where the current disk began in the stream of files: the entry it fed
// first, how many bytes of that entry were written before it, and the
// bytes written in all by then.
struct DiskStart {
  int32_t entry = 0;
  int64_t written = 0;
  int64_t totalCopied = 0;
};

// The fields of one manifest line. A line without a second comma has an
// empty path and size 0.
struct ManifestEntry {
  std::string path;  // between the first and the second comma, unchanged
  int64_t size = 0;  // the rest, read like C atoi
};
ManifestEntry ParseManifestEntry(const std::string& value);

// The one engine state of the process. The start-up code and the worker
// thread each hold a DiskSetCopier on it; they never use it at the same time,
// except for the stop request, which any thread may make.
struct CopyEngineState {
  // text converts the manifest's names into the program's form.
  CopyEngineState(FileSystem& files, Messages& messages, TextCodec& text)
      : files(files), fileUtils(files), messages(messages), manifest(files, &text) {}
  CopyEngineState(const CopyEngineState&) = delete;
  CopyEngineState& operator=(const CopyEngineState&) = delete;

  FileSystem& files;
  // The engine's own utilities: their search state is never shared with the
  // user-interface thread.
  FileUtilities fileUtils;
  Messages& messages;

  std::string sourceDir;  // holds Files.id and the volumes; ends in '\'
  std::string targetDir;  // receives the files; ends in '\'
  std::string volumePath;
  int32_t diskNumber = 0;
  // Counters are 64-bit; Start refuses a set of 2^31 bytes or more, so the
  // values handed to the callbacks always fit an int.
  int64_t totalSize = 0;
  int64_t totalCopied = 0;
  int64_t volumeSize = 0;
  int64_t volumeRemaining = 0;  // 0: the next byte lies on the next disk
  int64_t volumeOffset = 0;
  // What the current volume must match; empty for a set without digests,
  // whose volumes are neither checked nor read beyond what the files need.
  std::optional<VolumeDigest> volumeDigest;
  uint32_t volumeCrc = 0;  // of the volume's bytes consumed so far
  DiskStart diskStart;
  PromptCallback promptCallback;
  DiskFaultCallback faultCallback;
  ProgressCallback diskProgressCallback;
  ProgressCallback totalProgressCallback;
  IniStorage manifest;
  std::atomic<bool> stopRequested{false};
  // Message 11 was shown: the copy ran out of room, whatever follows.
  std::atomic<bool> diskFullReported{false};
};

class DiskSetCopier {
 public:
  static constexpr std::size_t kChunkSize = 51200;
  // Start refuses sets of this many bytes or more.
  static constexpr int64_t kSetSizeLimit = int64_t{1} << 31;

  // Resets the counters, the volume path, the prompt and fault callbacks
  // and the stop request of state; the progress callbacks, the folders and
  // the manifest stay.
  explicit DiskSetCopier(CopyEngineState& state);
  // Empties the manifest.
  virtual ~DiskSetCopier();
  DiskSetCopier(const DiskSetCopier&) = delete;
  DiskSetCopier& operator=(const DiskSetCopier&) = delete;

  // Loads sourceDir + "Files.id" (merging into the manifest), checks every
  // entry of the run 1..n (safe path, set below 2^31 bytes) and copies them.
  // False when targetDir is empty, the manifest cannot be loaded, an entry
  // is refused (nothing is written then), or the copy fails or is stopped.
  bool Start();
  // Sum of the sizes of the entries 1..n (negative sizes included).
  int64_t TotalSize();
  // False when the last load of the manifest stopped at a name that cannot
  // be read in the program's form (invalid UTF-8 after the byte-order mark,
  // or a character the program's code page lacks), an entry of the run 1..n
  // has an unsafe path, or the run reaches kSetSizeLimit: such a set is
  // refused before anything else.
  bool RunIsAcceptable();
  // Removes the folders of every manifest entry's path below targetDir,
  // innermost first, through utils (the engine's own by default); a folder
  // that is not empty stays. Unsafe paths are skipped. Never deletes a file.
  void RemoveCreatedFolders();
  void RemoveCreatedFolders(FileUtilities& utils);

  void SetPromptCallback(PromptCallback callback);
  // Without a fault callback a wrong, unreadable or damaged disk fails the
  // copy.
  void SetFaultCallback(DiskFaultCallback callback);
  void SetDiskProgressCallback(ProgressCallback callback);
  void SetTotalProgressCallback(ProgressCallback callback);

  // Asks a running copy to stop: it ends with false after the chunk being
  // written, or at the next disk prompt (before asking and once it is
  // answered). Any thread may call it; it stays set until a DiskSetCopier is
  // constructed on the state again.
  void RequestStop() { state_.stopRequested = true; }
  bool StopRequested() const { return state_.stopRequested; }

  // How a step of the copy ended: Redo after a disk failed its digest,
  // was put in again and is to be read again from its start (diskStart).
  enum class Step { Done, Failed, Redo };
  enum class ChunkResult { Copied, ReadFailed, Failed };

  // The steps of Start, public for the tests.
  bool CopyAll();
  // Copies entry's file of size bytes, of which written are already in
  // place (0: whatever the path holds is deleted first). An empty
  // destination only reads size bytes of the current volume.
  Step CopyFileFromDisks(int32_t entry, const std::string& destination, int64_t size,
                         int64_t written);
  // Opens the next disk (once the current one is used up) for entry, of
  // which written bytes are in place; false when it is refused.
  bool OpenNextDisk(int32_t entry, int64_t written);
  // Copies count bytes of the volume from offset to the end of destination;
  // copied tells how many were written, whatever the result. ReadFailed:
  // the volume could not be opened, positioned or read. An empty
  // destination only reads the bytes, to complete the volume's digest.
  ChunkResult CopyChunk(const std::string& volumePath, const std::string& destination,
                        int64_t offset, int64_t count, int64_t& copied);
  bool HasFreeSpace(int64_t count);

  CopyEngineState& State() { return state_; }

 private:
  // The disk number, sizes and offsets of a copy that has not begun.
  void ResetCounters();
  // Asks callback(args); false when none is installed, it throws, or a stop
  // was requested before or while it was asked.
  template <typename Callback, typename... Args>
  bool Ask(const Callback& callback, Args... args);
  // Opens the current disk's volume, asking for it while it is missing or
  // is not the disk asked for, and announces it. A first opening measures
  // it; again (after a fault) it must be the same length as before.
  bool OpenVolume(bool again);
  // Whether volume is the disk asked for: by its digest where the set has
  // one, else, put in again after a fault, by its length.
  std::optional<DiskFault> Identify(ReadableFile& volume, bool again);
  // The current disk after fault: asked for again and opened.
  bool AskAgain(DiskFault fault);
  // After the current volume is used up, by entry: Done when it matches
  // its digest (or has none); otherwise the files it fed are put back and
  // the disk asked for again (Redo), or Failed.
  Step ProveVolume(int32_t entry);
  // The files fed by the current disk, up to entry, as before it began.
  bool RollBack(int32_t entry);
  // Reads what the files left of the last volume and proves it.
  Step FinishLastVolume(int32_t entry);

  CopyEngineState& state_;
};

// Removes what a run extracted, through files: deletes the file of every
// manifest entry below extractionFolder (safe paths only), removes the
// folders the copy created, then extractionFolder itself, and empties the
// manifest. The extraction folder is the run's own (see
// CreateExtractionFolder), so nothing of another program is touched. Does
// nothing but empty the manifest when extractionFolder is empty. Call only
// when no copy runs.
void RemoveExtractedFiles(DiskSetCopier& copier, const std::string& extractionFolder,
                          FileSystem& files);

}  // namespace setup
