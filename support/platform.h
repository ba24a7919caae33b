// The services of the operating system that the setup logic uses, as small
// interfaces. SETUP.EXE implements them over Win32; the native tests use the
// fakes under tests/fakes; mkdiskset and the benchmark use the POSIX file
// system. Paths are the program's 8-bit strings (see TextCodec) with '\' as
// separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace setup {

struct DirectoryEntry {
  std::string name;       // long file name, as the file system spells it
  bool isFolder = false;  // the directory attribute
};

// One open directory search. Closed by destruction.
class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;
  // Fills entry with the next match and returns true; false at the end.
  virtual bool Next(DirectoryEntry& entry) = 0;
};

enum class CreateFolderResult { Created, AlreadyExists, Failed };

// Whether others may read a file while it is open for reading. Nobody may
// write to it either way.
enum class FileSharing { Exclusive, ShareRead };

// A file opened for reading.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Length in bytes, or -1 when it cannot be read.
  virtual int64_t Size() = 0;
  virtual bool Seek(int64_t offset) = 0;
  // Bytes read (0 at the end of the file), or -1 on a read error.
  virtual int64_t Read(void* buffer, std::size_t count) = 0;
};

// A file opened for writing without sharing; created when absent, never
// truncated.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Moves to the end of the file and writes all count bytes; false when
  // not everything could be written.
  virtual bool Append(const void* data, std::size_t count) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Starts a search for pattern (folder + '\' + wildcard or name). Returns
  // null when nothing matches; otherwise fills first with the first match.
  virtual std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern,
                                                     DirectoryEntry& first) = 0;
  virtual CreateFolderResult CreateFolder(const std::string& path) = 0;
  // Removes an empty folder. On failure error holds the system's error
  // code (see support/system_errors.h), as for the other overloads with an
  // error parameter.
  virtual bool RemoveFolder(const std::string& path, uint32_t& error) = 0;
  virtual bool RemoveFile(const std::string& path, uint32_t& error) = 0;
  bool RemoveFolder(const std::string& path) {
    uint32_t error = 0;
    return RemoveFolder(path, error);
  }
  bool RemoveFile(const std::string& path) {
    uint32_t error = 0;
    return RemoveFile(path, error);
  }
  virtual std::optional<std::string> CurrentFolder() = 0;
  virtual bool SetCurrentFolder(const std::string& path) = 0;
  virtual std::optional<std::string> TempFolder() = 0;
  // Free bytes available to the caller on the volume of folder.
  virtual std::optional<uint64_t> FreeSpace(const std::string& folder) = 0;
  // Null when path cannot be opened, also when another holds it open and
  // sharing does not allow that.
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::string& path, FileSharing sharing,
                                                       uint32_t& error) = 0;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path, FileSharing sharing) {
    uint32_t error = 0;
    return OpenForReading(path, sharing, error);
  }
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) {
    return OpenForReading(path, FileSharing::Exclusive);
  }
  virtual std::unique_ptr<WritableFile> OpenForAppending(const std::string& path) = 0;
  // Cuts the file at path to its first length bytes. False when it cannot
  // be opened for writing or holds fewer bytes than that.
  virtual bool Truncate(const std::string& path, int64_t length) = 0;
};

// The failure to start a child process, with the system's error code (0
// when there is none).
class ProcessLaunchError {
 public:
  explicit ProcessLaunchError(std::string program, uint32_t error = 0)
      : program_(std::move(program)), error_(error) {}
  const std::string& Program() const { return program_; }
  uint32_t Error() const { return error_; }

 private:
  std::string program_;
  uint32_t error_;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Starts program with arguments as its whole command line (the program's
  // path is not put in front), hidden, and waits until it ends. Returns its
  // exit code; throws ProcessLaunchError when it cannot be started.
  virtual uint32_t Run(const std::string& program, const std::string& arguments) = 0;
};

// Time as the run measures its waits.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some fixed moment (GetTickCount): only differences
  // count, and they stay right across the wrap of the 32-bit count.
  virtual uint32_t Milliseconds() = 0;
  // Blocks the calling thread for milliseconds (Sleep).
  virtual void Sleep(uint32_t milliseconds) = 0;
};

struct FileVersion {
  uint32_t versionMS = 0;  // dwFileVersionMS
  uint32_t versionLS = 0;  // dwFileVersionLS
};

struct OsVersion {
  uint32_t platformId = 0;  // VER_PLATFORM_WIN32_NT = 2, _WINDOWS = 1
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
  uint32_t buildNumber = 0;
  std::string csdVersion;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // The running program's own path; empty when it cannot be read.
  virtual std::optional<std::string> ModulePath() = 0;
  virtual std::optional<std::string> SystemFolder() = 0;
  // The fixed file version of path's version resource.
  virtual std::optional<FileVersion> GetFileVersion(const std::string& path) = 0;
  virtual OsVersion GetOsVersion() = 0;
  virtual uint16_t UserDefaultLangId() = 0;
  // False only when the process's window station is known to be invisible
  // (a service's or a deployment agent's): nobody can answer a window there.
  virtual bool WindowStationVisible() = 0;
  // A number that another program cannot predict, different on each call.
  virtual uint32_t RandomNumber() = 0;
};

// Message-box styles used by the system (same values as Win32).
namespace box {
constexpr uint32_t kOk = 0x0;
constexpr uint32_t kRetryCancel = 0x5;
constexpr uint32_t kIconHand = 0x10;
constexpr uint32_t kIconQuestion = 0x20;
constexpr uint32_t kSystemModal = 0x1000;
constexpr uint32_t kTopmost = 0x40000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;
}  // namespace box

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a message box with no owner and returns the button pressed.
  virtual int Show(const std::string& text, const std::string& caption, uint32_t style) = 0;
};

// Converts text from outside into the program's own form of 8-bit text:
// UTF-8 on the NT family, the system's ANSI code page on Windows 9x. A text
// that has no exact form there is refused, never turned into another name.
class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // Text in the system's ANSI code page; nullopt when it is not valid there
  // (a lead byte without its trail byte) or cannot be represented.
  virtual std::optional<std::string> FromAnsi(const std::string& text) = 0;
  // UTF-8 text; nullopt when it is not strict UTF-8 or has no exact form in
  // the program's code page.
  virtual std::optional<std::string> FromUtf8(const std::string& text) = 0;
};

// The string table of the resources.
class StringCatalogue {
 public:
  virtual ~StringCatalogue() = default;
  // The whole text of string id; empty when there is none.
  virtual std::string Load(uint32_t id) = 0;
};

}  // namespace setup
