// The FileSystem of the machine a tool runs on: Win32 in a Windows build,
// POSIX elsewhere.
#pragma once

#ifdef _WIN32
#include "support/file_system_win32.h"
namespace setup::tools {
using HostFileSystem = setup::win32::Win32FileSystem;
}  // namespace setup::tools
#else
#include "tools/common/posix_file_system.h"
namespace setup::tools {
using HostFileSystem = PosixFileSystem;
}  // namespace setup::tools
#endif
