#include "tools/common/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "support/busy_files.h"

namespace setup::tools {
namespace {

// errno as the system's error code of Windows.
uint32_t WindowsError(int error) {
  switch (error) {
    case ENOENT:
      return syserror::kFileNotFound;
    case ENOTDIR:
      return syserror::kPathNotFound;
    case ENOTEMPTY:
    case EEXIST:
      return syserror::kDirNotEmpty;
    case EBUSY:
      return syserror::kSharingViolation;
    case EACCES:
    case EPERM:
    case EROFS:
      return syserror::kAccessDenied;
    default:
      return syserror::kGeneralFailure;
  }
}

// Whether a call that answers 0 on success succeeded; error as for the
// file system's operations.
bool Succeeded(int result, uint32_t& error) {
  error = result == 0 ? 0 : WindowsError(errno);
  return result == 0;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

class PosixReadableFile : public ReadableFile {
 public:
  explicit PosixReadableFile(int fd) : fd_(fd) {}
  int64_t Size() override {
    struct stat info;
    if (::fstat(fd_.get(), &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
  }
  bool Seek(int64_t offset) override {
    return offset >= 0 && ::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) == offset;
  }
  int64_t Read(void* buffer, std::size_t count) override {
    for (;;) {
      ssize_t n = ::read(fd_.get(), buffer, count);
      if (n >= 0) return static_cast<int64_t>(n);
      if (errno != EINTR) return -1;
    }
  }

 private:
  FileDescriptor fd_;
};

class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  // The file is open with O_APPEND: every write goes to its end, without a
  // seek of its own.
  bool Append(const void* data, std::size_t count) override {
    const char* next = static_cast<const char*>(data);
    while (count > 0) {
      ssize_t n = ::write(fd_.get(), next, count);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      next += n;
      count -= static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  FileDescriptor fd_;
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::string PosixFileSystem::ToPosixPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::unique_ptr<DirectorySearch> PosixFileSystem::FindFirst(const std::string& pattern,
                                                            DirectoryEntry& first) {
  std::string path = ToPosixPath(pattern);
  std::size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string wildcard = slash == std::string::npos ? path : path.substr(slash + 1);
  if (folder.empty()) folder = "/";
  if (wildcard.empty()) return nullptr;
  bool everything = wildcard == "*.*";  // as on Windows

  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return nullptr;
  std::vector<DirectoryEntry> entries;
  while (dirent* item = ::readdir(dir.get())) {
    std::string name = item->d_name;
    if (!everything && ::fnmatch(wildcard.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
    struct stat info;
    std::string full = folder + "/" + name;
    bool isFolder = ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    entries.push_back({name, isFolder});
  }
  if (entries.empty()) return nullptr;
  first = entries.front();
  return std::make_unique<ListedSearch>(std::move(entries));
}

CreateFolderResult PosixFileSystem::CreateFolder(const std::string& path) {
  std::string posix = ToPosixPath(path);
  if (::mkdir(posix.c_str(), 0777) == 0) return CreateFolderResult::Created;
  struct stat info;
  if (errno == EEXIST && ::stat(posix.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    return CreateFolderResult::AlreadyExists;
  return CreateFolderResult::Failed;
}

bool PosixFileSystem::RemoveFolder(const std::string& path, uint32_t& error) {
  return Succeeded(::rmdir(ToPosixPath(path).c_str()), error);
}

bool PosixFileSystem::RemoveFile(const std::string& path, uint32_t& error) {
  return Succeeded(::unlink(ToPosixPath(path).c_str()), error);
}

std::optional<std::string> PosixFileSystem::CurrentFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

bool PosixFileSystem::SetCurrentFolder(const std::string& path) {
  return ::chdir(ToPosixPath(path).c_str()) == 0;
}

std::optional<std::string> PosixFileSystem::TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
}

std::optional<uint64_t> PosixFileSystem::FreeSpace(const std::string& folder) {
  struct statvfs info;
  if (::statvfs(ToPosixPath(folder).c_str(), &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

std::unique_ptr<ReadableFile> PosixFileSystem::OpenForReading(const std::string& path, FileSharing,
                                                              uint32_t& error) {
  int fd = ::open(ToPosixPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (!Succeeded(fd < 0 ? -1 : 0, error)) return nullptr;
  auto file = std::make_unique<PosixReadableFile>(fd);
  struct stat info;
  if (!Succeeded(::fstat(fd, &info), error)) return nullptr;
  // A folder opens for reading on POSIX but not on Windows.
  if (S_ISDIR(info.st_mode)) {
    error = syserror::kAccessDenied;
    return nullptr;
  }
  return file;
}

std::unique_ptr<WritableFile> PosixFileSystem::OpenForAppending(const std::string& path) {
  int fd = ::open(ToPosixPath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixWritableFile>(fd);
}

bool PosixFileSystem::Truncate(const std::string& path, int64_t length) {
  FileDescriptor fd(::open(ToPosixPath(path).c_str(), O_WRONLY | O_CLOEXEC));
  struct stat info;
  if (fd.get() < 0 || length < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size < length) {
    return false;
  }
  return ::ftruncate(fd.get(), static_cast<off_t>(length)) == 0;
}

}  // namespace setup::tools
