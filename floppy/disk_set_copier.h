// The disk-set copy engine: rebuilds the files listed in the manifest
// Files.id from the volume files Disk.1, Disk.2, ... that carry their bytes
// as one stream cut into disk-sized parts.
//
// A manifest line is "number,relative path,size". The engine copies the
// entries 1, 2, 3 ... up to the first number without an entry; other lines
// are not copied but their folders are still removed by the cleanup. The
// manifest names its files in UTF-8 when it begins with the UTF-8
// byte-order mark, else in the system's ANSI code page.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "floppy/manifest_path.h"
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
  PromptCallback promptCallback;
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

  // Resets the counters, the volume path, the prompt callback and the stop
  // request of state; the progress callbacks, the folders and the manifest
  // stay.
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
  void SetDiskProgressCallback(ProgressCallback callback);
  void SetTotalProgressCallback(ProgressCallback callback);

  // Asks a running copy to stop: it ends with false after the chunk being
  // written, or at the next disk prompt (before asking and once it is
  // answered). Any thread may call it; it stays set until a DiskSetCopier is
  // constructed on the state again.
  void RequestStop() { state_.stopRequested = true; }
  bool StopRequested() const { return state_.stopRequested; }

  // The steps of Start, public for the tests.
  bool CopyAll();
  bool CopyFileFromDisks(const std::string& destination, int64_t size);
  bool OpenNextDisk();
  bool CopyChunk(const std::string& volumePath, const std::string& destination, int64_t offset,
                 int64_t count);
  bool HasFreeSpace(int64_t count);

  CopyEngineState& State() { return state_; }

 private:
  // The disk number, sizes and offsets of a copy that has not begun.
  void ResetCounters();
  bool Prompt(int diskNumber, bool missing);

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
