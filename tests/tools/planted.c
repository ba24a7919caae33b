/* planted: stands in for a DLL that someone dropped beside SETUP.EXE under
 * the name of a system DLL. When any process loads it, it appends
 * "planted|<its own file name>" to the file named by SETUP_TEST_LOG and
 * refuses the load, so the system's own DLL is taken after all and the run
 * goes on; the log line is what the test looks for. It imports kernel32
 * only, which every process has loaded already. */
#include <windows.h>

static void AppendMarker(HINSTANCE self) {
  char log[MAX_PATH];
  char path[MAX_PATH];
  char line[MAX_PATH + 16] = "planted|";
  DWORD length = GetEnvironmentVariableA("SETUP_TEST_LOG", log, sizeof(log));
  if (length == 0 || length >= sizeof(log)) return;
  length = GetModuleFileNameA(self, path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return;
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  lstrcatA(line, name);
  lstrcatA(line, "\r\n");
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
  CloseHandle(file);
}

/* The entry point the linker looks for when there is no C runtime. */
BOOL WINAPI DllMainCRTStartup(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  AppendMarker(self);
  return FALSE;
}
