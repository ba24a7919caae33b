// The FileSystem and the TextCodec of the machine a tool runs on: Win32 in
// a Windows build (names in the ANSI code page), POSIX elsewhere (UTF-8).
#pragma once

#ifdef _WIN32
#include "support/file_system_win32.h"
#include "support/manifest_codec_win32.h"
namespace setup::tools {
using HostFileSystem = setup::win32::Win32FileSystem;
// A tool never chooses the Unicode mode: the ANSI code page.
using HostTextCodec = setup::win32::Win32TextCodec;
}  // namespace setup::tools
#else
#include "tools/common/posix_file_system.h"
#include "tools/common/posix_text_codec.h"
namespace setup::tools {
using HostFileSystem = PosixFileSystem;
using HostTextCodec = PosixTextCodec;
}  // namespace setup::tools
#endif
