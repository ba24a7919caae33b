// pe_postlink: the build's last step on SETUP.EXE, and the binary check's
// view of it.
//   pe_postlink fix FILE   points the load configuration directory at the
//                          section .ldcfg (where GNU ld 2.40 leaves it
//                          empty), sets IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP
//                          and IMAGE_FILE_NET_RUN_FROM_SWAP (GNU ld has no
//                          switch for them) and stores the new checksum
//   pe_postlink show FILE  prints the facts, one "key value" line each, and
//                          "import DLL FUNCTION" for every imported function
// Exits 0 on success (--help and --version too), 1 when the file cannot be
// read, parsed or written.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/pe_postlink/pe_image.h"

namespace {

bool Load(const char* path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool Store(const char* path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

const char kUsage[] = "usage: pe_postlink fix|show FILE\n";
const char kHelp[] =
    "  fix FILE   the last step of SETUP.EXE's link: points the load configuration\n"
    "             directory at the section .ldcfg, sets the run-from-swap flags and\n"
    "             stores the new checksum (before any signing)\n"
    "  show FILE  prints the facts of a PE image, one \"key value\" line each\n";

void Show(const pe::Facts& facts) {
  std::printf("format %s\n", facts.pe32Plus ? "pe32+" : "pe32");
  std::printf("machine 0x%04x\n", facts.machine);
  std::printf("subsystem %u\n", facts.subsystem);
  std::printf("characteristics 0x%04x\n", facts.characteristics);
  std::printf("dllcharacteristics 0x%04x\n", facts.dllCharacteristics);
  std::printf("timestamp %u\n", facts.timeDateStamp);
  std::printf("checksum 0x%08x computed 0x%08x\n", facts.storedChecksum, facts.computedChecksum);
  if (facts.dependentLoadFlags) {
    std::printf("dependentloadflags 0x%04x\n", *facts.dependentLoadFlags);
  } else {
    std::printf("dependentloadflags none\n");
  }
  for (const pe::Import& import : facts.imports) {
    std::printf("import %s %s\n", import.dll.c_str(), import.function.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--help" || word == "-h") {
      std::printf("pe_postlink %s: the post-link step of SETUP.EXE\n%s%s", SETUP_TOOLS_VERSION,
                  kUsage, kHelp);
      return 0;
    }
    if (word == "--version") {
      std::printf("pe_postlink %s\n", SETUP_TOOLS_VERSION);
      return 0;
    }
  }
  if (argc != 3) {
    std::fprintf(stderr, "%s", kUsage);
    return 1;
  }
  const std::string command = argv[1];
  std::vector<uint8_t> image;
  if (!Load(argv[2], image)) {
    std::fprintf(stderr, "pe_postlink: cannot read %s\n", argv[2]);
    return 1;
  }
  if (command == "fix") {
    if (!pe::PointLoadConfigAt(image, ".ldcfg") ||
        !pe::SetCharacteristics(image, pe::kRemovableRunFromSwap | pe::kNetRunFromSwap) ||
        !Store(argv[2], image)) {
      std::fprintf(stderr, "pe_postlink: cannot update %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  const std::optional<pe::Facts> facts = pe::Inspect(image);
  if (command != "show" || !facts) {
    std::fprintf(stderr, "pe_postlink: %s\n",
                 facts ? "unknown command" : "not a readable PE image");
    return 1;
  }
  Show(*facts);
  return 0;
}
