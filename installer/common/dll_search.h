// The first call of both programs that run as administrator: DLLs are taken from the system
// folder only, never from the folder the program was started from (a Downloads folder, the
// temporary folder) where anyone could have put a DLL of a system name.
#pragma once

#include <windows.h>

// Restricts the DLL search of this process to the system folder. Where the system has no
// SetDefaultDllDirectories (before Windows 7 with KB2533623), takes at least the current folder
// out of the search. Then loads from the system folder the libraries the system's own code loads
// by name later on (window theming's msimg32): seen under Wine, such a load by name still looks
// in the program's folder first, and a library already loaded is never looked for again. Call it
// before anything that may load a library. Returns 0 when the search
// is restricted to the system folder, 1 when only the fallback could be applied.
int RestrictDllSearch();

// Loads the DLL name (a bare file name) from the system folder by its full path: what a program
// needs beyond its import table, taken from nowhere else whatever the search order. NULL when it
// cannot be loaded.
HMODULE loadSystemLibrary(const char *name);
