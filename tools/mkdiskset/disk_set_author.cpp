#include "tools/mkdiskset/disk_set_author.h"

#include <cerrno>
#include <cstdlib>

#include "tools/mkdiskset/commands.h"
#ifdef MKDISKSET_CHECK
#include "tools/mkdiskset/check.h"
#endif

namespace setup::tools {
namespace {

struct Command {
  const char* name;
  const char* usage;
  const char* help;
};

const Command kCommands[] = {
    {"split", "mkdiskset split MEDIUM OUT [--disk-size N] [--flat] [--images]",
     "Cuts the medium folder MEDIUM (SETUP.EXE, Setup.msi, transforms, Bootstrap\\) into a\n"
     "floppy-disk set in OUT (a new or empty folder): OUT/disk1 holds SETUP.EXE, Files.id\n"
     "and Disk.1, OUT/diskN holds Disk.N. Nothing is written unless the whole set can be made.\n"
     "  --disk-size N  bytes a disk offers to files (default 1457664, a 1.44 MB floppy)\n"
     "  --flat         every file in OUT itself (a CD or network layout)\n"
     "  --images       also OUT/diskN.img, FAT12 floppy images (needs mtools)\n"
     "Exit code 0: written; 2: refused, with the reason and the fix.\n"},
    {"verify", "mkdiskset verify DISKS MEDIUM",
     "Assembles the set DISKS (per-disk folders or flat) with SETUP.EXE's copy engine and\n"
     "compares every file with the medium folder MEDIUM it was split from.\n"
     "Exit code 0: identical; 1: a difference or a failed assembly; 2: bad input.\n"},
    {"assemble", "mkdiskset assemble DISKS NEWFOLDER",
     "Assembles the set DISKS with SETUP.EXE's copy engine into NEWFOLDER, which must not\n"
     "exist. Exit code 0: assembled; 1: the assembly failed; 2: bad input.\n"},
    {"check", "mkdiskset check MEDIUM|DISKS [--json]",
     "Prints what SETUP.EXE will do with a medium folder or a disk set (per-disk folders,\n"
     "flat, or diskN.img images): the program, the package and its code page, each\n"
     "language row with its transform, what each kind of user gets, the bootstrap walk and\n"
     "the engine updates. Every problem is an error or a warning naming what the customer\n"
     "would see.\n"
     "  --json  the same report as JSON, for a build pipeline\n"
     "Exit code 0: no error; 1: at least one error; 2: bad input.\n"},
};

const Command* FindCommand(const std::string& name) {
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void PrintUsage(std::ostream& stream) {
  const char* lead = "usage: ";
  for (const Command& command : kCommands) {
    stream << lead << command.usage << "\n";
    lead = "       ";
  }
}

bool IsHelp(const std::string& word) { return word == "--help" || word == "-h"; }

bool ParseSize(const std::string& text, int64_t& size) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value <= 0) return false;
  size = value;
  return true;
}

// A usage error: the problem and the command's own usage line (or every
// command's), on the error stream.
int Usage(std::ostream& err, const Command* command, const std::string& problem) {
  if (!problem.empty()) err << "mkdiskset: " << problem << "\n";
  if (command != nullptr) {
    err << "usage: " << command->usage << "\n(mkdiskset " << command->name
        << " --help tells more)\n";
  } else {
    PrintUsage(err);
    err << "(mkdiskset --help tells more)\n";
  }
  return 2;
}

}  // namespace

int RunMkdiskset(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.empty()) return Usage(err, nullptr, "");
  if (IsHelp(arguments[0]) || arguments[0] == "help") {
    out << "mkdiskset " << SETUP_TOOLS_VERSION
        << ": makes and checks the media of SETUP.EXE (a CD folder, floppy-disk sets)\n";
    PrintUsage(out);
    out << "mkdiskset COMMAND --help describes a command; mkdiskset --version prints the "
           "version.\n";
    return 0;
  }
  if (arguments[0] == "--version") {
    out << "mkdiskset " << SETUP_TOOLS_VERSION << "\n";
    return 0;
  }
  const Command* known = FindCommand(arguments[0]);
  if (known == nullptr) return Usage(err, nullptr, "unknown command " + arguments[0]);
  const std::string command = known->name;
  std::vector<std::string> positional;
  SplitOptions split;
  split.diskSize = kDefaultDiskSize;
  bool json = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (IsHelp(word)) {
      out << "usage: " << known->usage << "\n" << known->help;
      return 0;
    }
    if (command == "split" && word == "--flat") {
      split.flat = true;
    } else if (command == "split" && word == "--images") {
      split.images = true;
    } else if (command == "split" && word == "--disk-size") {
      if (i + 1 >= arguments.size() || !ParseSize(arguments[i + 1], split.diskSize))
        return Usage(err, known, "--disk-size needs a positive number of bytes");
      ++i;
    } else if (command == "check" && word == "--json") {
      json = true;
    } else if (word.rfind("--", 0) == 0) {
      return Usage(err, known, "unknown option " + word);
    } else {
      positional.push_back(word);
    }
  }
  const std::size_t wanted = command == "check" ? 1 : 2;
  if (positional.size() != wanted) {
    return Usage(err, known,
                 std::string(positional.size() < wanted ? "too few" : "too many") +
                     " arguments for " + command);
  }
  if (command == "check") {
#ifdef MKDISKSET_CHECK
    std::unique_ptr<PackageAccess> packages = MakeLibmsiPackageAccess();
    return Check(positional[0], json, *packages, out, err);
#else
    (void)json;
    return Usage(err, known, "check is not part of this build (it needs libmsi, see the README)");
#endif
  }
  if (command == "split") {
    split.medium = positional[0];
    split.out = positional[1];
    return Split(split, out, err);
  }
  if (command == "verify") return Verify(positional[0], positional[1], out, err);
  return AssembleCommand(positional[0], positional[1], out, err);
}

}  // namespace setup::tools
