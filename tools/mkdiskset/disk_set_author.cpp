#include "tools/mkdiskset/disk_set_author.h"

#include <cerrno>
#include <cstdlib>

#include "tools/mkdiskset/commands.h"
#ifdef MKDISKSET_CHECK
#include "tools/mkdiskset/check.h"
#endif

namespace setup::tools {
namespace {

const char kUsage[] =
    "usage: mkdiskset split MEDIUM OUT [--disk-size N] [--flat] [--images]\n"
    "       mkdiskset verify DISKS MEDIUM\n"
    "       mkdiskset assemble DISKS NEWFOLDER\n"
    "       mkdiskset check MEDIUM|DISKS [--json]\n";

bool ParseSize(const std::string& text, int64_t& size) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value <= 0) return false;
  size = value;
  return true;
}

int Usage(std::ostream& err, const std::string& problem) {
  if (!problem.empty()) err << "mkdiskset: " << problem << "\n";
  err << kUsage;
  return 2;
}

}  // namespace

int RunMkdiskset(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.empty()) return Usage(err, "");
  const std::string& command = arguments[0];
  std::vector<std::string> positional;
  SplitOptions split;
  split.diskSize = kDefaultDiskSize;
  bool json = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (command == "split" && word == "--flat") {
      split.flat = true;
    } else if (command == "split" && word == "--images") {
      split.images = true;
    } else if (command == "split" && word == "--disk-size") {
      if (i + 1 >= arguments.size() || !ParseSize(arguments[i + 1], split.diskSize))
        return Usage(err, "--disk-size needs a positive number of bytes");
      ++i;
    } else if (command == "check" && word == "--json") {
      json = true;
    } else if (word.rfind("--", 0) == 0) {
      return Usage(err, "unknown option " + word);
    } else {
      positional.push_back(word);
    }
  }
  if (command == "check" && positional.size() == 1) {
#ifdef MKDISKSET_CHECK
    std::unique_ptr<PackageAccess> packages = MakeLibmsiPackageAccess();
    return Check(positional[0], json, *packages, out, err);
#else
    (void)json;
    return Usage(err, "check is not part of this build (it needs libmsi, see the README)");
#endif
  }
  if (positional.size() != 2) return Usage(err, "");
  if (command == "split") {
    split.medium = positional[0];
    split.out = positional[1];
    return Split(split, out, err);
  }
  if (command == "verify") return Verify(positional[0], positional[1], out, err);
  if (command == "assemble") return AssembleCommand(positional[0], positional[1], out, err);
  return Usage(err, "unknown command " + command);
}

}  // namespace setup::tools
