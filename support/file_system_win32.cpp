#include "support/file_system_win32.h"

#include <windows.h>

#include <algorithm>

#include "support/file_utils.h"
#include "support/handles_win32.h"
#include "support/text_win32.h"

namespace setup::win32 {
namespace {

// The capacity of the folder queries, in characters.
constexpr DWORD kFolderCapacity = 65000;
// ReadFile and WriteFile take a DWORD count; larger requests go in pieces.
constexpr std::size_t kMaxTransfer = 0x40000000;

class Win32DirectorySearch final : public DirectorySearch {
 public:
  explicit Win32DirectorySearch(FindHandle search) : search_(std::move(search)) {}

  bool Next(DirectoryEntry& entry) override {
    FindData data;
    return search_.valid() && FindNext(search_.get(), data, false, entry);
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

// The length of an open file, or -1.
int64_t FileLength(HANDLE file) {
  DWORD high = 0;
  ::SetLastError(NO_ERROR);
  const DWORD low = ::GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

class Win32ReadableFile final : public ReadableFile {
 public:
  explicit Win32ReadableFile(KernelHandle file) : file_(std::move(file)) {}

  int64_t Size() override { return FileLength(file_.get()); }

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

// The free bytes of folder's volume, counted from its free clusters.
BOOL ClusterFreeSpace(const std::string& folder, ULARGE_INTEGER& available) {
  const std::string root = VolumeRoot(folder);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (root.empty() || !::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector,
                                           &freeClusters, &clusters)) {
    return FALSE;
  }
  available.QuadPart = uint64_t{sectorsPerCluster} * bytesPerSector * freeClusters;
  return TRUE;
}

// Whether a call succeeded; error becomes the system's code of its failure
// (0 when it succeeded).
bool Succeeded(BOOL result, uint32_t& error) {
  error = result ? 0 : ::GetLastError();
  return result != FALSE;
}

HANDLE OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return WithNames(
      INVALID_HANDLE_VALUE,
      [&](const char* name) {
        return ::CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
      },
      [&](const wchar_t* name) {
        return Wide().CreateFileW(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
      },
      path);
}

}  // namespace

std::unique_ptr<DirectorySearch> Win32FileSystem::FindFirst(const std::string& pattern,
                                                            DirectoryEntry& first) {
  FindData data;
  FindHandle search(WithNames(
      INVALID_HANDLE_VALUE, [&](const char* name) { return ::FindFirstFileA(name, &data.ansi); },
      [&](const wchar_t* name) { return Wide().FindFirstFileW(name, &data.wide); }, pattern));
  if (!search.valid() || !FindNext(search.get(), data, true, first)) return nullptr;
  return std::make_unique<Win32DirectorySearch>(std::move(search));
}

CreateFolderResult Win32FileSystem::CreateFolder(const std::string& path) {
  if (WithNames(
          FALSE, [](const char* name) { return ::CreateDirectoryA(name, nullptr); },
          [](const wchar_t* name) { return Wide().CreateDirectoryW(name, nullptr); }, path)) {
    return CreateFolderResult::Created;
  }
  return ::GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::AlreadyExists
                                                  : CreateFolderResult::Failed;
}

bool Win32FileSystem::RemoveFolder(const std::string& path, uint32_t& error) {
  return Succeeded(WithNames(FALSE, ::RemoveDirectoryA, Wide().RemoveDirectoryW, path), error);
}

bool Win32FileSystem::RemoveFile(const std::string& path, uint32_t& error) {
  return Succeeded(WithNames(FALSE, ::DeleteFileA, Wide().DeleteFileW, path), error);
}

std::optional<std::string> Win32FileSystem::CurrentFolder() {
  return ReadText(kFolderCapacity, ::GetCurrentDirectoryA, Wide().GetCurrentDirectoryW);
}

bool Win32FileSystem::SetCurrentFolder(const std::string& path) {
  return WithNames(FALSE, ::SetCurrentDirectoryA, Wide().SetCurrentDirectoryW, path) != FALSE;
}

std::optional<std::string> Win32FileSystem::TempFolder() {
  return ReadText(kFolderCapacity, ::GetTempPathA, Wide().GetTempPathW);
}

// GetDiskFreeSpaceExA came with Windows 95 OSR2; an import of it would keep
// Windows 95 as shipped from loading the program. There the volume's
// clusters give the answer.
std::optional<uint64_t> Win32FileSystem::FreeSpace(const std::string& folder) {
  ULARGE_INTEGER available, total, free;
  const BOOL read = WithNames(
      FALSE,
      [&](const char* name) {
        const auto getFreeSpaceEx =
            SETUP_LOOK_UP(::GetModuleHandleA("kernel32.dll"), GetDiskFreeSpaceExA);
        if (getFreeSpaceEx) return getFreeSpaceEx(name, &available, &total, &free);
        return ClusterFreeSpace(name, available);
      },
      [&](const wchar_t* name) {
        return Wide().GetDiskFreeSpaceExW(name, &available, &total, &free);
      },
      folder);
  if (!read) return std::nullopt;
  return available.QuadPart;
}

std::unique_ptr<ReadableFile> Win32FileSystem::OpenForReading(const std::string& path,
                                                              FileSharing sharing,
                                                              uint32_t& error) {
  const DWORD share = sharing == FileSharing::ShareRead ? FILE_SHARE_READ : 0;
  KernelHandle file(OpenFile(path, GENERIC_READ, share, OPEN_EXISTING));
  if (!Succeeded(file.valid(), error)) return nullptr;
  return std::make_unique<Win32ReadableFile>(std::move(file));
}

std::unique_ptr<WritableFile> Win32FileSystem::OpenForAppending(const std::string& path) {
  KernelHandle file(OpenFile(path, GENERIC_WRITE, 0, OPEN_ALWAYS));
  if (!file.valid()) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(file));
}

bool Win32FileSystem::Truncate(const std::string& path, int64_t length) {
  KernelHandle file(OpenFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING));
  if (!file.valid() || length < 0 || FileLength(file.get()) < length) return false;
  return MoveFilePointer(file.get(), length, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

}  // namespace setup::win32
