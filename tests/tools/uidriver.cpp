// uidriver: sees and answers the dialogs and message boxes of other processes
// in the same Wine prefix, and runs a program with a bounded wait, for the
// end-to-end tests and the demo. Every wait ends after a timeout.
//
//   uidriver [-t SECONDS] [--pid N | --pid-file FILE] [--text TEXT] COMMAND ...
//     (--pid: only that process's dialogs; --text: only message boxes whose
//      text contains TEXT)
//     list                         dump every visible dialog now
//     wait CAPTION                 wait for a dialog, dump it
//     press CAPTION BUTTON         wait for it, press a button (id or label)
//     select CAPTION COMBO ENTRY   wait for it, pick a combo entry (text or #index)
//     gone CAPTION                 wait until no such dialog is visible
//     close-controller [CAPTION]   post SC_CLOSE to the hidden, captionless
//                                  dialog of the process given by --pid (once
//                                  a dialog CAPTION of it is visible, when
//                                  given), then wait for the process to end
//                                  and print how long that took
//     watch CAPTION [ID...]        wait for a dialog, dump it, then poll it
//                                  (about every millisecond) and print each
//                                  change of the given controls (text, or a
//                                  progress bar's position and range) with
//                                  milliseconds since it appeared, and how
//                                  long it was shown
//     sysinfo                      language, ANSI code page, Windows version,
//                                  msi.dll version
//     run [--cwd DIR] [--exit-file F] [--pid-file F] [--answer LABEL]
//         [--station NAME] EXE [ARG...]
//                                  start EXE (arguments quoted for the C
//                                  runtime's split), wait at most -t; with
//                                  --answer, dump every dialog of the child
//                                  and press LABEL in it; with --station, on
//                                  a new window station NAME of its own,
//                                  which is not visible (as a service's)
//
// A --pid-file given to the other commands is waited for (within -t), so a
// command may start before `run` has written it.
//
// Every text is read and written in UTF-16 (the W functions) and printed in
// UTF-8, and the program's own arguments are taken in UTF-16 too, so names
// and texts in any script arrive as the user sees them, whatever the
// system's ANSI code page.
//
// Exit status: 0 done, 1 timeout or not found, 2 usage, 3 launch failure.
// The Unix status of wine keeps only 8 bits, so `run` prints the child's full
// exit code and can write it to a file.
#include <windows.h>
// (needs <windows.h> first)
#include <commctrl.h>
#include <shellapi.h>
#include <winver.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/handles_win32.h"
#include "utf8_text.h"

namespace {

using setup::win32::KernelHandle;

// A hung or blocked target must not hang the driver: every cross-process
// send is bounded.
const UINT kSendTimeoutMs = 3000;

bool SendBounded(HWND w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs, &r))
    return false;
  if (result) *result = static_cast<LRESULT>(r);
  return true;
}

std::string ControlText(HWND w) {
  LRESULT len = 0;
  if (!SendBounded(w, WM_GETTEXTLENGTH, 0, 0, &len) || len <= 0) return std::string();
  if (len > 1 << 20) len = 1 << 20;
  // Room to spare: the text may grow between the two sends (a label going
  // from "9" to "10" would otherwise be read cut to "1").
  std::vector<wchar_t> buf(static_cast<size_t>(len) + 256, L'\0');
  LRESULT got = 0;
  if (!SendBounded(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), &got))
    return std::string();
  if (got < 0) got = 0;
  if (static_cast<size_t>(got) >= buf.size()) got = static_cast<LRESULT>(buf.size() - 1);
  return Utf8(buf.data(), static_cast<size_t>(got));
}

std::string Caption(HWND w) {
  int len = GetWindowTextLengthW(w);
  if (len <= 0) return std::string();
  std::vector<wchar_t> buf(static_cast<size_t>(len) + 1, L'\0');
  int got = GetWindowTextW(w, buf.data(), static_cast<int>(buf.size()));
  if (got < 0) got = 0;
  if (static_cast<size_t>(got) >= buf.size()) got = static_cast<int>(buf.size() - 1);
  return Utf8(buf.data(), static_cast<size_t>(got));
}

std::string ClassOf(HWND w) {
  wchar_t buf[256] = {};
  int n = GetClassNameW(w, buf, 256);
  return n > 0 ? Utf8(buf, static_cast<size_t>(n)) : std::string();
}

DWORD ProcessOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

// Labels compare without their mnemonic ampersand and without letter case.
std::string LabelKey(const std::string& s) {
  std::wstring k;
  for (wchar_t c : Wide(s))
    if (c != L'&') k += c;
  if (!k.empty()) CharUpperBuffW(&k[0], static_cast<DWORD>(k.size()));
  return Utf8(k);
}

struct Filter {
  DWORD pid = 0;  // 0: any process
  bool visibleOnly = true;
  bool wantCaption = false;  // match the caption exactly
  std::string caption;
  std::string textPart;  // message text must contain this, when set
};

struct EnumState {
  const Filter* filter;
  std::vector<HWND> found;
};

std::string BoxText(HWND box) {
  HWND t = GetDlgItem(box, 0xFFFF);
  return t ? ControlText(t) : std::string();
}

BOOL CALLBACK CollectTopLevel(HWND w, LPARAM lp) {
  auto* st = reinterpret_cast<EnumState*>(lp);
  const Filter& f = *st->filter;
  if (f.visibleOnly && !IsWindowVisible(w)) return TRUE;
  if (ClassOf(w) != "#32770") return TRUE;
  if (f.pid && ProcessOf(w) != f.pid) return TRUE;
  if (f.wantCaption && Caption(w) != f.caption) return TRUE;
  if (!f.textPart.empty() && BoxText(w).find(f.textPart) == std::string::npos) return TRUE;
  st->found.push_back(w);
  return TRUE;
}

std::vector<HWND> FindDialogs(const Filter& f) {
  EnumState st{&f, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&st));
  return st.found;
}

BOOL CALLBACK CollectChildren(HWND w, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> v;
  EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&v));
  return v;
}

// List texts are read in UTF-16: Wine hands a cross-process CB_GETLBTEXT of
// the ANSI kind back unconverted.
std::vector<std::string> ComboEntries(HWND combo, LRESULT* sel) {
  std::vector<std::string> entries;
  LRESULT count = 0;
  *sel = CB_ERR;
  if (!SendBounded(combo, CB_GETCOUNT, 0, 0, &count) || count < 0) return entries;
  SendBounded(combo, CB_GETCURSEL, 0, 0, sel);
  for (LRESULT i = 0; i < count && i < 1000; ++i) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0,
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs, &len) ||
        static_cast<LRESULT>(len) < 0 || len > 65536) {
      entries.emplace_back();
      continue;
    }
    std::vector<wchar_t> buf(static_cast<size_t>(len) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kSendTimeoutMs, &got) ||
        static_cast<LRESULT>(got) < 0)
      got = 0;
    if (got >= buf.size()) got = buf.size() - 1;
    entries.push_back(Utf8(buf.data(), static_cast<size_t>(got)));
  }
  return entries;
}

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A bitmap selected into a memory DC, read back pixel by pixel.
class Canvas {
 public:
  Canvas(HDC like, int w, int h)
      : dc_(CreateCompatibleDC(like)), bmp_(CreateCompatibleBitmap(like, w, h)) {
    if (dc_ && bmp_) old_ = SelectObject(dc_, bmp_);
  }
  ~Canvas() {
    if (old_) SelectObject(dc_, old_);
    if (bmp_) DeleteObject(bmp_);
    if (dc_) DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  bool ok() const { return old_ != nullptr; }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bmp_;
  HGDIOBJ old_ = nullptr;
};

// Which standard icon a message box shows. Its handle belongs to the other
// process, so the screen is compared with each standard icon drawn here,
// only where that icon is opaque (drawn on black and on white alike).
std::string IconNameNow(HWND iconControl) {
  if (!IsWindowVisible(iconControl)) return "hidden";
  RECT r;
  if (!GetWindowRect(iconControl, &r)) return "unknown";
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0 || w > 256 || h > 256) return "unknown";
  ScreenDc screen;
  if (!screen.get()) return "unknown";
  Canvas shot(screen.get(), w, h);
  if (!shot.ok() || !BitBlt(shot.dc(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY))
    return "unknown";
  struct Candidate {
    const char* name;
    LPCSTR id;
  } const candidates[] = {{"hand", IDI_HAND},
                          {"question", IDI_QUESTION},
                          {"exclamation", IDI_EXCLAMATION},
                          {"asterisk", IDI_ASTERISK}};
  std::string best = "unknown";
  double bestScore = 0.0;
  for (const Candidate& c : candidates) {
    HICON icon = LoadIconA(nullptr, c.id);
    Canvas black(screen.get(), w, h), white(screen.get(), w, h);
    if (!icon || !black.ok() || !white.ok()) continue;
    RECT all = {0, 0, w, h};
    FillRect(black.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(white.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(black.dc(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    DrawIconEx(white.dc(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    long opaque = 0, same = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        COLORREF b = GetPixel(black.dc(), x, y);
        if (b != GetPixel(white.dc(), x, y)) continue;
        ++opaque;
        if (GetPixel(shot.dc(), x, y) == b) ++same;
      }
    double score = opaque ? static_cast<double>(same) / static_cast<double>(opaque) : 0.0;
    if (score > bestScore) {
      bestScore = score;
      best = c.name;
    }
  }
  return bestScore >= 0.9 ? best : "unknown";
}

// The box may be found before it has painted its icon (seen under load):
// look again for up to two seconds before calling the icon unknown.
std::string IconName(HWND iconControl) {
  std::string name = IconNameNow(iconControl);
  for (int attempt = 0; name == "unknown" && attempt < 40; ++attempt) {
    Sleep(50);
    name = IconNameNow(iconControl);
  }
  return name;
}

// "pos/low..high" of a progress bar; a cross-process PBM_GETRANGE with no
// structure answers the low or the high end alone.
std::string ProgressState(HWND bar) {
  LRESULT pos = 0, low = 0, high = 0;
  if (!SendBounded(bar, PBM_GETPOS, 0, 0, &pos) || !SendBounded(bar, PBM_GETRANGE, TRUE, 0, &low) ||
      !SendBounded(bar, PBM_GETRANGE, FALSE, 0, &high))
    return "unreadable";
  return std::to_string(static_cast<long>(pos)) + "/" + std::to_string(static_cast<long>(low)) +
         ".." + std::to_string(static_cast<long>(high));
}

void Dump(HWND w) {
  std::printf("window: %p pid=%lu\n", static_cast<void*>(w), ProcessOf(w));
  std::printf("caption: %s\n", Caption(w).c_str());
  std::printf("style: 0x%08lX\n", static_cast<unsigned long>(GetWindowLongA(w, GWL_STYLE)));
  std::printf("exstyle: 0x%08lX\n", static_cast<unsigned long>(GetWindowLongA(w, GWL_EXSTYLE)));
  if (GetDlgItem(w, 0xFFFF)) std::printf("text: %s\n", BoxText(w).c_str());
  for (HWND c : Children(w)) {
    if (GetParent(c) != w) continue;
    std::string cls = ClassOf(c);
    int id = GetDlgCtrlID(c);
    LONG style = GetWindowLongA(c, GWL_STYLE);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) {
      std::printf("button: %d %s\n", id, ControlText(c).c_str());
    } else if (lstrcmpiA(cls.c_str(), "Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON)
        std::printf("icon: %d %s\n", id, IconName(c).c_str());
      else
        std::printf("static: %d %s\n", id, ControlText(c).c_str());
    } else if (lstrcmpiA(cls.c_str(), "Edit") == 0) {
      std::printf("edit: %d style=0x%08lX %s\n", id, static_cast<unsigned long>(style),
                  ControlText(c).c_str());
    } else if (lstrcmpiA(cls.c_str(), PROGRESS_CLASSA) == 0) {
      std::printf("progress: %d style=0x%08lX %s\n", id, static_cast<unsigned long>(style),
                  ProgressState(c).c_str());
    } else if (lstrcmpiA(cls.c_str(), "ComboBox") == 0) {
      LRESULT sel = CB_ERR;
      std::vector<std::string> entries = ComboEntries(c, &sel);
      std::printf("combo: %d style=0x%08lX count=%u sel=%ld\n", id,
                  static_cast<unsigned long>(style), static_cast<unsigned>(entries.size()),
                  static_cast<long>(sel));
      for (size_t i = 0; i < entries.size(); ++i)
        std::printf("entry: %u %s\n", static_cast<unsigned>(i), entries[i].c_str());
    } else {
      std::printf("control: %d %s\n", id, cls.c_str());
    }
  }
  std::printf("end\n");
  std::fflush(stdout);
}

// Polls every pollMs until a matching dialog appears or the deadline
// passes; a 1 ms poll catches what flashes by.
HWND WaitFor(const Filter& f, DWORD timeoutMs, DWORD pollMs = 100) {
  DWORD start = GetTickCount();
  for (;;) {
    std::vector<HWND> found = FindDialogs(f);
    if (!found.empty()) return found.front();
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(pollMs);
  }
}

double MsSince(const LARGE_INTEGER& t0) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return 1000.0 * static_cast<double>(now.QuadPart - t0.QuadPart) /
         static_cast<double>(freq.QuadPart);
}

// Waits for the dialog, dumps it, then follows it until it is gone (or the
// timeout, counted from its appearance, passes).
int Watch(const Filter& f, const std::vector<std::string>& ids, DWORD timeoutMs) {
  HWND w = WaitFor(f, timeoutMs, 1);
  if (!w) {
    std::printf("timeout: no dialog \"%s\" after %lu s\n", f.caption.c_str(), timeoutMs / 1000);
    return 1;
  }
  LARGE_INTEGER appeared;
  QueryPerformanceCounter(&appeared);
  std::printf("appeared\n");
  Dump(w);
  std::vector<std::string> last(ids.size());
  for (;;) {
    if (!IsWindow(w) || !IsWindowVisible(w)) break;
    for (size_t i = 0; i < ids.size(); ++i) {
      HWND c = GetDlgItem(w, std::atoi(ids[i].c_str()));
      if (!c) continue;
      std::string v =
          lstrcmpiA(ClassOf(c).c_str(), PROGRESS_CLASSA) == 0 ? ProgressState(c) : ControlText(c);
      if (v == last[i]) continue;
      last[i] = v;
      std::printf("t=%.0f %s %s\n", MsSince(appeared), ids[i].c_str(), v.c_str());
    }
    if (MsSince(appeared) >= timeoutMs) {
      std::printf("timeout: still shown after %lu s\n", timeoutMs / 1000);
      return 1;
    }
    Sleep(1);
  }
  std::printf("shown: %.1f ms\n", MsSince(appeared));
  return 0;
}

HWND FindButton(HWND box, const std::string& which) {
  bool numeric = !which.empty() && which.find_first_not_of("0123456789") == std::string::npos;
  int wantId = numeric ? std::atoi(which.c_str()) : -1;
  for (HWND c : Children(box)) {
    if (lstrcmpiA(ClassOf(c).c_str(), "Button") != 0) continue;
    if (numeric ? GetDlgCtrlID(c) == wantId : LabelKey(ControlText(c)) == LabelKey(which)) return c;
  }
  return nullptr;
}

bool Press(HWND box, const std::string& which) {
  HWND b = FindButton(box, which);
  if (!b) {
    std::printf("error: no button %s\n", which.c_str());
    return false;
  }
  int id = GetDlgCtrlID(b);
  std::printf("pressed: %d %s\n", id, ControlText(b).c_str());
  std::fflush(stdout);
  return PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b)) !=
         0;
}

bool Select(HWND box, int comboId, const std::string& entry) {
  HWND combo = GetDlgItem(box, comboId);
  if (!combo) {
    std::printf("error: no control %d\n", comboId);
    return false;
  }
  LRESULT sel = CB_ERR;
  std::vector<std::string> entries = ComboEntries(combo, &sel);
  long index = -1;
  if (!entry.empty() && entry[0] == '#') {
    index = std::atol(entry.c_str() + 1);
  } else {
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i] == entry) index = static_cast<long>(i);
  }
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) {
    std::printf("error: no entry %s\n", entry.c_str());
    return false;
  }
  LRESULT r = 0;
  if (!SendBounded(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &r) || r != index) {
    std::printf("error: CB_SETCURSEL failed\n");
    return false;
  }
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  std::printf("selected: %ld %s\n", index, entries[static_cast<size_t>(index)].c_str());
  std::fflush(stdout);
  return true;
}

// The controller is a hidden dialog without caption; message boxes of the
// same process are visible and captioned, so they never match.
HWND FindController(DWORD pid) {
  Filter f;
  f.pid = pid;
  f.visibleOnly = false;
  f.wantCaption = true;
  for (HWND w : FindDialogs(f))
    if (!IsWindowVisible(w)) return w;
  return nullptr;
}

bool ReadPidFile(const std::string& path, DWORD timeoutMs, DWORD* pid) {
  DWORD start = GetTickCount();
  for (;;) {
    if (FILE* fp = _wfopen(Wide(path).c_str(), L"r")) {
      unsigned long v = 0;
      int ok = std::fscanf(fp, "%lu", &v);
      std::fclose(fp);
      if (ok == 1 && v != 0) {
        *pid = static_cast<DWORD>(v);
        return true;
      }
    }
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(100);
  }
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  FILE* fp = _wfopen(Wide(path).c_str(), L"w");
  if (!fp) return false;
  bool ok = std::fputs(text.c_str(), fp) >= 0;
  return std::fclose(fp) == 0 && ok;
}

// Quotes one argument so that the C runtime's split gives it back unchanged:
// backslashes are literal unless they precede a quote or the closing quote.
std::string Quote(const std::string& a) {
  if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) return a;
  std::string q = "\"";
  size_t slashes = 0;
  for (char c : a) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    if (c == '"') {
      q.append(slashes * 2 + 1, '\\');
    } else {
      q.append(slashes, '\\');
    }
    slashes = 0;
    q += c;
  }
  q.append(slashes * 2, '\\');
  q += '"';
  return q;
}

struct RunOptions {
  std::string cwd, exitFile, pidFile, answer, station;
  std::vector<std::string> argv;
};

// Makes window station name with a desktop "Default" and returns the
// desktop's full name for STARTUPINFO, or empty. Both stay open until this
// program ends.
std::string MakeInvisibleStation(const std::string& name) {
  HWINSTA own = GetProcessWindowStation();
  HWINSTA station = CreateWindowStationA(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  if (station == nullptr || !SetProcessWindowStation(station)) return std::string();
  HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  SetProcessWindowStation(own);
  return desktop != nullptr ? name + "\\Default" : std::string();
}

int Run(const RunOptions& o, DWORD timeoutMs) {
  std::string cmd;
  for (size_t i = 0; i < o.argv.size(); ++i) {
    if (i) cmd += ' ';
    cmd += Quote(o.argv[i]);
  }
  std::wstring line = Wide(cmd);
  std::vector<wchar_t> buf(line.begin(), line.end());
  buf.push_back(L'\0');
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  std::wstring desktop;
  if (!o.station.empty()) {
    desktop = Wide(MakeInvisibleStation(o.station));
    if (desktop.empty()) {
      std::printf("run: cannot make window station %s (error %lu)\n", o.station.c_str(),
                  GetLastError());
      return 3;
    }
    si.lpDesktop = &desktop[0];
  }
  PROCESS_INFORMATION pi = {};
  const std::wstring cwd = Wide(o.cwd);
  if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
    std::printf("run: cannot start %s (error %lu)\n", cmd.c_str(), GetLastError());
    if (!o.exitFile.empty()) WriteTextFile(o.exitFile, "launch-failed\n");
    return 3;
  }
  KernelHandle process(pi.hProcess), thread(pi.hThread);
  std::printf("run: started pid=%lu %s\n", pi.dwProcessId, cmd.c_str());
  std::fflush(stdout);
  if (!o.pidFile.empty()) WriteTextFile(o.pidFile, std::to_string(pi.dwProcessId) + "\n");

  std::vector<HWND> answered;
  DWORD start = GetTickCount();
  for (;;) {
    DWORD r = WaitForSingleObject(process.get(), 200);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_FAILED) {
      std::printf("run: wait failed (error %lu)\n", GetLastError());
      break;
    }
    if (!o.answer.empty()) {
      Filter f;
      f.pid = pi.dwProcessId;
      for (HWND w : FindDialogs(f)) {
        bool seen = false;
        for (HWND a : answered) seen = seen || a == w;
        if (seen) continue;
        answered.push_back(w);
        Dump(w);
        Press(w, o.answer);
      }
    }
    if (GetTickCount() - start >= timeoutMs) {
      TerminateProcess(process.get(), 258);
      WaitForSingleObject(process.get(), 5000);
      std::printf("run: timeout after %lu s, child killed\n", timeoutMs / 1000);
      if (!o.exitFile.empty()) WriteTextFile(o.exitFile, "timeout\n");
      return 1;
    }
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) {
    std::printf("run: no exit code (error %lu)\n", GetLastError());
    return 3;
  }
  std::printf("exit: %lu (0x%08lX) after %lu ms\n", code, code, GetTickCount() - start);
  std::fflush(stdout);
  if (!o.exitFile.empty() && !WriteTextFile(o.exitFile, std::to_string(code) + "\n")) {
    std::printf("run: cannot write %s\n", o.exitFile.c_str());
    return 3;
  }
  return 0;
}

std::string FileVersion(const std::string& path) {
  DWORD dummy = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &dummy);
  if (size == 0) return std::string();
  std::vector<char> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info ||
      len < sizeof *info)
    return std::string();
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
}

int SysInfo() {
  std::printf("langid: %u\n", static_cast<unsigned>(GetUserDefaultLangID()));
  std::printf("acp: %u\n", static_cast<unsigned>(GetACP()));
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  if (GetVersionExA(&v))
    std::printf("version: platform=%lu %lu.%lu build=%lu csd=%s\n", v.dwPlatformId,
                v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.szCSDVersion);
  std::vector<char> sys(MAX_PATH + 1, '\0');
  UINT n = GetSystemDirectoryA(sys.data(), static_cast<UINT>(sys.size()));
  if (n > 0 && n < sys.size()) {
    std::string dir(sys.data(), n);
    std::printf("sysdir: %s\n", dir.c_str());
    std::printf("msi.dll: %s\n", FileVersion(dir + "\\msi.dll").c_str());
  }
  return 0;
}

int Usage() {
  std::fprintf(
      stderr,
      "usage: uidriver [-t SECONDS] [--pid N | --pid-file FILE] [--text TEXT] "
      "list | wait CAPTION | press CAPTION BUTTON | "
      "select CAPTION COMBO ENTRY | gone CAPTION | close-controller [CAPTION] | "
      "watch CAPTION [ID...] | sysinfo | "
      "run [--cwd DIR] [--exit-file F] [--pid-file F] [--answer LABEL] [--station NAME] EXE "
      "[ARG...]\n");
  return 2;
}

}  // namespace

// The arguments in UTF-16, as the caller gave them, converted to UTF-8.
std::vector<std::string> Arguments() {
  int count = 0;
  std::vector<std::string> result;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!words) return result;
  for (int i = 0; i < count; ++i) result.push_back(Utf8(std::wstring(words[i])));
  LocalFree(words);
  return result;
}

int main() {
  const std::vector<std::string> args = Arguments();
  const int argc = static_cast<int>(args.size());
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  DWORD timeoutMs = 30000;
  DWORD pid = 0;
  std::string pidFile, textPart;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-t" && i + 1 < argc) {
      double s = std::atof(argv[++i]);
      if (s <= 0 || s > 3600) return Usage();
      timeoutMs = static_cast<DWORD>(s * 1000);
    } else if (a == "--pid" && i + 1 < argc) {
      pid = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--pid-file" && i + 1 < argc) {
      pidFile = argv[++i];
    } else if (a == "--text" && i + 1 < argc) {
      textPart = argv[++i];
    } else {
      break;
    }
  }
  if (i >= argc) return Usage();
  std::string cmd = argv[i++];
  std::vector<std::string> rest(args.begin() + i, args.end());

  if (cmd == "sysinfo") return SysInfo();

  if (cmd == "run") {
    RunOptions o;
    size_t k = 0;
    for (; k < rest.size(); ++k) {
      const std::string& a = rest[k];
      if (k + 1 >= rest.size()) break;
      if (a == "--cwd")
        o.cwd = rest[++k];
      else if (a == "--exit-file")
        o.exitFile = rest[++k];
      else if (a == "--pid-file")
        o.pidFile = rest[++k];
      else if (a == "--answer")
        o.answer = rest[++k];
      else if (a == "--station")
        o.station = rest[++k];
      else
        break;
    }
    if (k >= rest.size()) return Usage();
    o.argv.assign(rest.begin() + static_cast<long>(k), rest.end());
    return Run(o, timeoutMs);
  }

  if (!pidFile.empty() && !ReadPidFile(pidFile, timeoutMs, &pid)) {
    std::printf("error: no process id in %s\n", pidFile.c_str());
    return 1;
  }

  if (cmd == "close-controller") {
    if (!pid || rest.size() > 1) return Usage();
    DWORD start = GetTickCount();
    if (!rest.empty()) {
      Filter f;
      f.pid = pid;
      f.wantCaption = true;
      f.caption = rest[0];
      if (!WaitFor(f, timeoutMs, 1)) {
        std::printf("timeout: no dialog \"%s\" after %lu s\n", f.caption.c_str(), timeoutMs / 1000);
        return 1;
      }
    }
    // Opened before the close, so the end cannot be missed.
    KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    for (;;) {
      if (HWND w = FindController(pid)) {
        std::printf("controller: %p\n", static_cast<void*>(w));
        std::fflush(stdout);
        if (!PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0)) return 1;
        LARGE_INTEGER freq, posted, ended;
        QueryPerformanceFrequency(&freq);
        QueryPerformanceCounter(&posted);
        if (!process.valid()) {
          std::printf("closed: cannot watch process %lu\n", pid);
          return 0;
        }
        DWORD r = WaitForSingleObject(process.get(), timeoutMs);
        QueryPerformanceCounter(&ended);
        double ms = 1000.0 * static_cast<double>(ended.QuadPart - posted.QuadPart) /
                    static_cast<double>(freq.QuadPart);
        if (r != WAIT_OBJECT_0) {
          std::printf("timeout: process still running %.0f ms after the close\n", ms);
          return 1;
        }
        std::printf("ended: %.0f ms after the close\n", ms);
        return 0;
      }
      if (GetTickCount() - start >= timeoutMs) break;
      Sleep(100);
    }
    std::printf("timeout: no controller window of process %lu\n", pid);
    return 1;
  }

  if (cmd == "watch") {
    if (rest.empty()) return Usage();
    Filter f;
    f.pid = pid;
    f.wantCaption = true;
    f.caption = rest[0];
    return Watch(f, std::vector<std::string>(rest.begin() + 1, rest.end()), timeoutMs);
  }

  if (cmd == "list") {
    Filter f;
    f.pid = pid;
    for (HWND w : FindDialogs(f)) Dump(w);
    return 0;
  }

  if (rest.empty()) return Usage();
  Filter f;
  f.pid = pid;
  f.wantCaption = true;
  f.caption = rest[0];
  f.textPart = textPart;

  if (cmd == "gone") {
    DWORD start = GetTickCount();
    while (!FindDialogs(f).empty()) {
      if (GetTickCount() - start >= timeoutMs) {
        std::printf("timeout: \"%s\" still there\n", f.caption.c_str());
        return 1;
      }
      Sleep(100);
    }
    std::printf("gone: %s\n", f.caption.c_str());
    return 0;
  }

  if (cmd == "wait" && rest.size() != 1) return Usage();
  if (cmd == "press" && rest.size() != 2) return Usage();
  if (cmd == "select" && rest.size() != 3) return Usage();
  if (cmd != "wait" && cmd != "press" && cmd != "select") return Usage();

  HWND w = WaitFor(f, timeoutMs);
  if (!w) {
    std::printf("timeout: no dialog \"%s\" after %lu s\n", f.caption.c_str(), timeoutMs / 1000);
    Filter any;
    any.pid = pid;
    for (HWND other : FindDialogs(any)) Dump(other);
    return 1;
  }
  Dump(w);
  if (cmd == "press") return Press(w, rest[1]) ? 0 : 1;
  if (cmd == "select") return Select(w, std::atoi(rest[1].c_str()), rest[2]) ? 0 : 1;
  return 0;
}
