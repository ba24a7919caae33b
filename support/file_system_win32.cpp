#include "support/file_system_win32.h"

#include <windows.h>

#include <algorithm>

#include "support/file_utils.h"
#include "support/handles_win32.h"

namespace setup::win32 {
namespace {

// The capacity of the folder queries, in characters.
constexpr DWORD kFolderCapacity = 65000;
// ReadFile and WriteFile take a DWORD count; larger requests go in pieces.
constexpr std::size_t kMaxTransfer = 0x40000000;

DirectoryEntry ToEntry(const WIN32_FIND_DATAA& data) {
  DirectoryEntry entry;
  entry.name = data.cFileName;
  entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return entry;
}

class Win32DirectorySearch final : public DirectorySearch {
 public:
  explicit Win32DirectorySearch(FindHandle search) : search_(std::move(search)) {}

  bool Next(DirectoryEntry& entry) override {
    WIN32_FIND_DATAA data;
    if (!search_.valid() || !::FindNextFileA(search_.get(), &data)) return false;
    entry = ToEntry(data);
    return true;
  }

 private:
  FindHandle search_;
};

// Moves the file pointer; SetFilePointer answers INVALID_SET_FILE_POINTER
// also for a valid position, so the last error decides. (SetFilePointerEx
// is missing on the 9x family.)
bool MoveFilePointer(HANDLE file, int64_t offset, DWORD method) {
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(NO_ERROR);
  const DWORD low = ::SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
  return !(low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR);
}

class Win32ReadableFile final : public ReadableFile {
 public:
  explicit Win32ReadableFile(KernelHandle file) : file_(std::move(file)) {}

  int64_t Size() override {
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(file_.get(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
  }

  bool Seek(int64_t offset) override {
    return offset >= 0 && MoveFilePointer(file_.get(), offset, FILE_BEGIN);
  }

  int64_t Read(void* buffer, std::size_t count) override {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min(count, kMaxTransfer));
    if (!::ReadFile(file_.get(), buffer, wanted, &read, nullptr)) return -1;
    return read;
  }

 private:
  KernelHandle file_;
};

class Win32WritableFile final : public WritableFile {
 public:
  explicit Win32WritableFile(KernelHandle file) : file_(std::move(file)) {}

  bool Append(const void* data, std::size_t count) override {
    if (!MoveFilePointer(file_.get(), 0, FILE_END)) return false;
    const char* next = static_cast<const char*>(data);
    while (count > 0) {
      DWORD written = 0;
      const DWORD piece = static_cast<DWORD>(std::min(count, kMaxTransfer));
      if (!::WriteFile(file_.get(), next, piece, &written, nullptr) || written == 0) return false;
      next += written;
      count -= written;
    }
    return true;
  }

 private:
  KernelHandle file_;
};

// Reads a folder query into a buffer of kFolderCapacity characters. The
// query answers the length without the terminator, or the size it would
// need (so larger than the buffer) when the text does not fit.
template <typename Query>
std::optional<std::string> ReadFolder(Query query) {
  std::string buffer(kFolderCapacity, '\0');
  const DWORD length = query(kFolderCapacity, &buffer[0]);
  if (length == 0 || length >= kFolderCapacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

}  // namespace

std::unique_ptr<DirectorySearch> Win32FileSystem::FindFirst(const std::string& pattern,
                                                            DirectoryEntry& first) {
  WIN32_FIND_DATAA data;
  FindHandle search(::FindFirstFileA(pattern.c_str(), &data));
  if (!search.valid()) return nullptr;
  first = ToEntry(data);
  return std::make_unique<Win32DirectorySearch>(std::move(search));
}

CreateFolderResult Win32FileSystem::CreateFolder(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return CreateFolderResult::Created;
  return ::GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::AlreadyExists
                                                  : CreateFolderResult::Failed;
}

bool Win32FileSystem::RemoveFolder(const std::string& path) {
  return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != FALSE;
}

std::optional<std::string> Win32FileSystem::CurrentFolder() {
  return ReadFolder([](DWORD size, char* buffer) { return ::GetCurrentDirectoryA(size, buffer); });
}

bool Win32FileSystem::SetCurrentFolder(const std::string& path) {
  return ::SetCurrentDirectoryA(path.c_str()) != FALSE;
}

std::optional<std::string> Win32FileSystem::TempFolder() {
  return ReadFolder([](DWORD size, char* buffer) { return ::GetTempPathA(size, buffer); });
}

// GetDiskFreeSpaceExA came with Windows 95 OSR2; an import of it would keep
// Windows 95 as shipped from loading the program. There the volume's
// clusters give the answer.
std::optional<uint64_t> Win32FileSystem::FreeSpace(const std::string& folder) {
  using GetFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  const auto getFreeSpaceEx = kernel ? reinterpret_cast<GetFreeSpaceExFn>(reinterpret_cast<void*>(
                                           ::GetProcAddress(kernel, "GetDiskFreeSpaceExA")))
                                     : nullptr;
  if (getFreeSpaceEx) {
    ULARGE_INTEGER available, total, free;
    if (!getFreeSpaceEx(folder.c_str(), &available, &total, &free)) return std::nullopt;
    return available.QuadPart;
  }
  const std::string root = VolumeRoot(folder);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (root.empty() || !::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector,
                                           &freeClusters, &clusters)) {
    return std::nullopt;
  }
  return uint64_t{sectorsPerCluster} * bytesPerSector * freeClusters;
}

std::unique_ptr<ReadableFile> Win32FileSystem::OpenForReading(const std::string& path,
                                                              FileSharing sharing) {
  const DWORD share = sharing == FileSharing::ShareRead ? FILE_SHARE_READ : 0;
  KernelHandle file(::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return nullptr;
  return std::make_unique<Win32ReadableFile>(std::move(file));
}

std::unique_ptr<WritableFile> Win32FileSystem::OpenForAppending(const std::string& path) {
  KernelHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(file));
}

}  // namespace setup::win32
