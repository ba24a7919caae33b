/* The loader wants an entry point even in a DLL that only carries a version
   resource; without the C runtime this is the name the linker looks for. */
#include <windows.h>

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
