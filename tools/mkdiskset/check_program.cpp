// The program part of mkdiskset check: the SETUP.EXE a customer starts,
// read with the project's PE reader. It must be a 32-bit Windows GUI
// program (the product is the i686 build), and should be signed.
#include <fstream>
#include <iterator>

#include "support/text.h"
#include "tools/mkdiskset/check.h"
#include "tools/pe_postlink/pe_image.h"

namespace fs = std::filesystem;

namespace setup::tools {
namespace {

// Far above the program's size limit; a larger file is not read.
constexpr std::uintmax_t kLargestProgram = 64u << 20;

// What a customer on a 32-bit Windows gets from a program that is not an
// i386 PE image.
const char kWindowsRefuses[] =
    "a 32-bit Windows cannot start this program: the customer sees \"This version of SETUP.EXE "
    "is not compatible with the version of Windows you're running\" (\"SETUP.EXE is not a valid "
    "Win32 application\" on older systems) and nothing is installed; ship the i686 build "
    "(build/win32/SETUP.EXE)";

// SETUP.EXE in folder, in any letter case, as the copy and Windows find it.
fs::path FindProgram(const fs::path& folder) {
  std::error_code error;
  for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    if (ToUpper(it->path().filename().string()) == "SETUP.EXE") return it->path();
  }
  return {};
}

std::string Hex(uint16_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

}  // namespace

void CheckProgram(const fs::path& folder, const std::string& where, CheckReport& report) {
  const fs::path path = FindProgram(folder);
  std::error_code error;
  if (path.empty() || !fs::is_regular_file(path, error)) {
    report.errors.push_back({0, "no SETUP.EXE " + where + ": the customer has nothing to start"});
    return;
  }
  const std::string name = path.filename().string();
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > kLargestProgram) {
    report.warnings.push_back({0, name + " is not checked: it is larger than 64 MiB"});
    return;
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  const std::optional<pe::Facts> facts = pe::Inspect(image);
  if (!facts) {
    report.program = name + ": not a Windows program";
    report.errors.push_back(
        {0, name + " is not a Windows program (no PE image Windows can load): the customer sees "
                   "\"SETUP.EXE is not a valid Win32 application\" and nothing is installed"});
    return;
  }
  const bool i386 = facts->machine == pe::kMachineI386 && !facts->pe32Plus;
  const bool gui = facts->subsystem == pe::kSubsystemWindowsGui;
  const bool signedProgram = facts->certificateTableOffset != 0 && facts->certificateTableSize != 0;
  const std::string machine = i386                                  ? "i386"
                              : facts->machine == pe::kMachineAmd64 ? "x86-64"
                                                                    : Hex(facts->machine);
  report.program = name + ": " + (facts->pe32Plus ? "64-bit (" : "32-bit (") + machine +
                   (gui ? ") Windows GUI program"
                        : ") program of subsystem " + std::to_string(facts->subsystem)) +
                   (signedProgram ? ", signed" : ", not signed");
  if (!i386) {
    report.errors.push_back(
        {0, name + " is built for " +
                (facts->machine == pe::kMachineAmd64 ? "x86-64 (64-bit Windows only)"
                                                     : "machine type " + machine) +
                ": " + kWindowsRefuses});
  }
  if (facts->subsystem == pe::kSubsystemWindowsConsole) {
    report.errors.push_back(
        {0, name + " is a console program, not a GUI one: Windows opens a console window "
                   "beside the setup's dialogs, and closing it ends the setup"});
  } else if (!gui) {
    report.errors.push_back({0, name + " is of subsystem " + std::to_string(facts->subsystem) +
                                    ", not a Windows GUI program: Windows does not start it as "
                                    "the setup (\"SETUP.EXE is not a valid Win32 application\")"});
  }
  if (!signedProgram) {
    report.warnings.push_back(
        {0, name + " is not signed: started from a download or a network share, Windows first "
                   "warns that its publisher is unknown (SmartScreen may block it); sign it with "
                   "scripts/sign.sh before the medium is made"});
  }
}

}  // namespace setup::tools
