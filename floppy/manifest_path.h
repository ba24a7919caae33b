// Which relative paths of a manifest the copy engine may write to and the
// cleanup may delete below their target folder. mkdiskset refuses to put
// any other path into a set.
#pragma once

#include <string>

namespace setup {

// True when the component (one name between separators) is a device that
// Windows opens instead of a file in the folder: CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, CLOCK$, in any letter case, alone
// or with an extension ("NUL.txt"), with trailing dots or blanks.
bool IsReservedDeviceName(const std::string& component);

// A relative path the engine may write to and delete below its target
// folder: not absolute ('\' or '/' first), no drive or stream (':'), no
// component of dots and blanks alone with two or more dots ("..", "...",
// ".. "), which Windows would resolve to a parent folder, and no component
// that names a device.
bool IsSafeRelativePath(const std::string& path);

}  // namespace setup
