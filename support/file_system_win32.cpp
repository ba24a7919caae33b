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

// The search's current entry; false when its name has no form in the
// program's strings (an unpaired surrogate), which is skipped like a file
// that is not there.
bool ToEntry(const WIN32_FIND_DATAA& data, DirectoryEntry& entry) {
  entry.name = data.cFileName;
  entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool ToEntry(const WIN32_FIND_DATAW& data, DirectoryEntry& entry) {
  std::optional<std::string> name = Narrow(data.cFileName);
  if (!name) return false;
  entry.name = std::move(*name);
  entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

// The next entry whose name converts, from the search's current one on.
template <typename Data, typename FindNext>
bool NextEntry(HANDLE search, Data& data, bool current, FindNext findNext, DirectoryEntry& entry) {
  for (;;) {
    if (!current && !findNext(search, &data)) return false;
    if (ToEntry(data, entry)) return true;
    current = false;
  }
}

union FindData {
  WIN32_FIND_DATAA ansi;
  WIN32_FIND_DATAW wide;
};

bool FindNext(HANDLE search, DirectoryEntry& entry, bool current, FindData& data) {
  if (UnicodeNames()) return NextEntry(search, data.wide, current, Wide().findNextFile, entry);
  return NextEntry(search, data.ansi, current, ::FindNextFileA, entry);
}

class Win32DirectorySearch final : public DirectorySearch {
 public:
  explicit Win32DirectorySearch(FindHandle search) : search_(std::move(search)) {}

  bool Next(DirectoryEntry& entry) override {
    FindData data;
    return search_.valid() && FindNext(search_.get(), entry, false, data);
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
template <typename Char, typename Query>
std::optional<std::basic_string<Char>> ReadQuery(Query query) {
  std::basic_string<Char> buffer(kFolderCapacity, Char());
  const DWORD length = query(kFolderCapacity, &buffer[0]);
  if (length == 0 || length >= kFolderCapacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

template <typename AnsiQuery, typename WideQuery>
std::optional<std::string> ReadFolder(AnsiQuery ansi, WideQuery wide) {
  if (!UnicodeNames()) return ReadQuery<char>(ansi);
  const std::optional<std::wstring> folder = ReadQuery<wchar_t>(wide);
  if (!folder) return std::nullopt;
  return Narrow(folder->data(), folder->size());
}

// Calls ansi with path as it is, or wide with its UTF-16 form; a path that
// has none fails as a missing one would.
template <typename Result, typename Ansi, typename Wide>
Result WithName(const std::string& path, Result failed, Ansi ansi, Wide wide) {
  if (!UnicodeNames()) return ansi(path.c_str());
  const std::optional<std::wstring> name = Widen(path);
  if (!name) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return failed;
  }
  return wide(name->c_str());
}

HANDLE OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return WithName(
      path, INVALID_HANDLE_VALUE,
      [&](const char* name) {
        return ::CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
      },
      [&](const wchar_t* name) {
        return Wide().createFile(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
      });
}

}  // namespace

std::unique_ptr<DirectorySearch> Win32FileSystem::FindFirst(const std::string& pattern,
                                                            DirectoryEntry& first) {
  FindData data;
  FindHandle search(WithName(
      pattern, INVALID_HANDLE_VALUE,
      [&](const char* name) { return ::FindFirstFileA(name, &data.ansi); },
      [&](const wchar_t* name) { return Wide().findFirstFile(name, &data.wide); }));
  if (!search.valid() || !FindNext(search.get(), first, true, data)) return nullptr;
  return std::make_unique<Win32DirectorySearch>(std::move(search));
}

CreateFolderResult Win32FileSystem::CreateFolder(const std::string& path) {
  if (WithName(
          path, FALSE, [](const char* name) { return ::CreateDirectoryA(name, nullptr); },
          [](const wchar_t* name) { return Wide().createDirectory(name, nullptr); })) {
    return CreateFolderResult::Created;
  }
  return ::GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::AlreadyExists
                                                  : CreateFolderResult::Failed;
}

bool Win32FileSystem::RemoveFolder(const std::string& path) {
  return WithName(path, FALSE, ::RemoveDirectoryA, Wide().removeDirectory) != FALSE;
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
  return WithName(path, FALSE, ::DeleteFileA, Wide().deleteFile) != FALSE;
}

std::optional<std::string> Win32FileSystem::CurrentFolder() {
  return ReadFolder(::GetCurrentDirectoryA, Wide().getCurrentDirectory);
}

bool Win32FileSystem::SetCurrentFolder(const std::string& path) {
  return WithName(path, FALSE, ::SetCurrentDirectoryA, Wide().setCurrentDirectory) != FALSE;
}

std::optional<std::string> Win32FileSystem::TempFolder() {
  return ReadFolder(::GetTempPathA, Wide().getTempPath);
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
  ULARGE_INTEGER available, total, free;
  if (UnicodeNames() || getFreeSpaceEx) {
    if (!WithName(
            folder, FALSE,
            [&](const char* name) { return getFreeSpaceEx(name, &available, &total, &free); },
            [&](const wchar_t* name) {
              return Wide().getDiskFreeSpaceEx(name, &available, &total, &free);
            })) {
      return std::nullopt;
    }
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
  KernelHandle file(OpenFile(path, GENERIC_READ, share, OPEN_EXISTING));
  if (!file.valid()) return nullptr;
  return std::make_unique<Win32ReadableFile>(std::move(file));
}

std::unique_ptr<WritableFile> Win32FileSystem::OpenForAppending(const std::string& path) {
  KernelHandle file(OpenFile(path, GENERIC_WRITE, 0, OPEN_ALWAYS));
  if (!file.valid()) return nullptr;
  return std::make_unique<Win32WritableFile>(std::move(file));
}

}  // namespace setup::win32
