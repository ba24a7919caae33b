/* The load configuration of SETUP.EXE. Newer GNU ld points the load
 * configuration directory of the PE header at the object named
 * _load_config_used; the binutils of Debian 12 (2.40) does not, so the object
 * also sits alone in the section .ldcfg, where the post-link step
 * (tools/pe_postlink) finds it and fills in the directory.
 * Windows 10 1607 and later search the static imports (and what they import)
 * with DependentLoadFlags: here the system folder only, so no DLL beside the
 * program is ever taken for one of them. Older systems ignore the field.
 *
 * Size covers the fields up to SecurityCookie, DependentLoadFlags included.
 * On x86 it must be exactly 64: the loaders of Windows XP and earlier accept
 * no other value there. Every other field is zero: no SafeSEH table, no
 * security cookie, no control-flow guard data, the defaults for the rest. */
#include <stddef.h>
#include <windows.h>

__attribute__((section(".ldcfg"), used)) const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    .Size = offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SEHandlerTable),
    .Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32, /* DependentLoadFlags */
};

#ifndef _WIN64
_Static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SEHandlerTable) == 64,
               "the x86 load configuration must be 64 bytes");
#endif
