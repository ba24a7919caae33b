// The report of mkdiskset check, for a person and as JSON.
#include <cstdio>

#include "tools/mkdiskset/check.h"

namespace setup::tools {
namespace {

std::string Cause(const Finding& finding) {
  if (finding.code == 0) return "error";
  if (finding.code >= 1000) return "error (exit code " + std::to_string(finding.code) + ")";
  return "error (message " + std::to_string(finding.code) + ")";
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (const std::string& item : items) out += (out.size() > 1 ? ", " : "") + Quoted(item);
  return out + "]";
}

std::string JsonFindings(const std::vector<Finding>& findings) {
  std::string out = "[";
  for (const Finding& f : findings) {
    out += out.size() > 1 ? ", " : "";
    out += "{";
    if (f.code != 0) {
      out += std::string(f.code >= 1000 ? "\"exitCode\": " : "\"message\": ") +
             std::to_string(f.code) + ", ";
    }
    out += "\"text\": " + Quoted(f.text) + "}";
  }
  return out + "]";
}

void PrintList(std::ostream& out, const std::string& title, const std::vector<std::string>& items,
               const char* indent = "  ") {
  out << title << (items.empty() ? " none" : "") << "\n";
  for (const std::string& item : items) out << indent << item << "\n";
}

}  // namespace

void PrintReport(const CheckReport& r, std::ostream& out) {
  out << "mkdiskset check: " << r.input << " (" << r.layout << ")\n";
  if (!r.volumes.empty()) {
    PrintList(out, "Volumes (the manifest lists " + std::to_string(r.manifestBytes) + " bytes):",
              r.volumes);
  }
  if (!r.program.empty()) out << "Program: " << r.program << "\n";
  if (!r.package.empty()) out << "Package: " << r.package << "\n";
  if (!r.languages.empty()) out << "Languages (UIText rows, table order):\n";
  for (const LanguageRow& l : r.languages) {
    out << "  " << l.name << " (" << l.code << "): " << l.transform << " "
        << (!l.present  ? "missing"
            : l.applies ? "present, applies"
                        : "present, does not apply")
        << "\n    a user of this language gets " << l.userGets << "\n";
  }
  if (!r.otherUsers.empty()) out << "Any other user gets " << r.otherUsers << "\n";
  if (!r.unattended.empty()) out << "Unattended (/s, /es): " << r.unattended << "\n";
  if (!r.package.empty()) {
    out << "Bootstrap walk (sorted order, as NTFS lists; a program that ends with other "
           "than 0 or 3010 stops the walk):"
        << (r.walk.empty() ? " nothing" : "") << "\n";
  }
  for (const WalkStep& s : r.walk) {
    out << "  " << s.path << "\n    interactive: " << s.interactive << "\n    /s: " << s.silent
        << "\n    /es: " << s.extraSilent << "\n";
  }
  if (!r.skippedFolders.empty()) PrintList(out, "Skipped by the walk:", r.skippedFolders);
  if (!r.package.empty() || !r.updatesWinNT.empty() || !r.updatesWin9X.empty()) {
    out << "Engine update (run instead of the installation where Windows Installer is older "
           "than 2.0):\n";
    PrintList(out, "  WinNT:", r.updatesWinNT, "    ");
    PrintList(out, "  Win9X:", r.updatesWin9X, "    ");
  }
  for (const Finding& f : r.warnings) out << "warning: " << f.text << "\n";
  for (const Finding& f : r.errors) out << Cause(f) << ": " << f.text << "\n";
  out << "Result: " << r.errors.size() << " error(s), " << r.warnings.size() << " warning(s)\n";
}

void PrintJsonReport(const CheckReport& r, std::ostream& out) {
  out << "{\n  \"input\": " << Quoted(r.input) << ",\n  \"layout\": " << Quoted(r.layout)
      << ",\n  \"volumes\": " << JsonList(r.volumes)
      << ",\n  \"manifestBytes\": " << r.manifestBytes << ",\n  \"program\": " << Quoted(r.program)
      << ",\n  \"package\": " << Quoted(r.package) << ",\n  \"languages\": [";
  for (std::size_t i = 0; i < r.languages.size(); ++i) {
    const LanguageRow& l = r.languages[i];
    out << (i ? ",\n" : "\n") << "    {\"name\": " << Quoted(l.name)
        << ", \"code\": " << Quoted(l.code) << ", \"transform\": " << Quoted(l.transform)
        << ", \"present\": " << (l.present ? "true" : "false")
        << ", \"applies\": " << (l.applies ? "true" : "false")
        << ", \"userGets\": " << Quoted(l.userGets) << "}";
  }
  out << "],\n  \"otherUsers\": " << Quoted(r.otherUsers)
      << ",\n  \"unattended\": " << Quoted(r.unattended) << ",\n  \"walk\": [";
  for (std::size_t i = 0; i < r.walk.size(); ++i) {
    const WalkStep& s = r.walk[i];
    out << (i ? ",\n" : "\n") << "    {\"path\": " << Quoted(s.path)
        << ", \"interactive\": " << Quoted(s.interactive) << ", \"silent\": " << Quoted(s.silent)
        << ", \"extraSilent\": " << Quoted(s.extraSilent) << "}";
  }
  out << "],\n  \"skippedFolders\": " << JsonList(r.skippedFolders)
      << ",\n  \"engineUpdates\": {\"WinNT\": " << JsonList(r.updatesWinNT)
      << ", \"Win9X\": " << JsonList(r.updatesWin9X)
      << "},\n  \"warnings\": " << JsonFindings(r.warnings)
      << ",\n  \"errors\": " << JsonFindings(r.errors) << "\n}\n";
}

}  // namespace setup::tools
