#include "floppy/manifest_path.h"

#include "support/text.h"

namespace setup {
namespace {

bool IsDotsComponent(const std::string& component) {
  int dots = 0;
  for (char c : component) {
    if (c == '.') {
      ++dots;
    } else if (c != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

bool IsReservedDeviceName(const std::string& component) {
  // Windows looks only at the part before the first dot, without its
  // trailing blanks: "NUL.txt", "NUL. ." and "NUL .txt" are all the device.
  std::string base = component;
  std::size_t dot = FindChar(base, '.');
  if (dot != std::string::npos) base.erase(dot);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = ToUpper(base);
  for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (base == name) return true;
  }
  if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
  const std::string stem = base.substr(0, 3);
  return stem == "COM" || stem == "LPT";
}

bool IsSafeRelativePath(const std::string& path) {
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return false;
  if (FindChar(path, ':') != std::string::npos) return false;
  std::string component;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (IsDotsComponent(component) || IsReservedDeviceName(component)) return false;
      component.clear();
    } else {
      component.push_back(path[i]);
    }
  }
  return true;
}

}  // namespace setup
