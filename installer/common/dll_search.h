// The first call of both programs that run as administrator: DLLs are taken from the system
// folder only, never from the folder the program was started from (a Downloads folder, the
// temporary folder) where anyone could have put a DLL of a system name.
#pragma once

// Restricts the DLL search of this process to the system folder. Where the system has no
// SetDefaultDllDirectories (before Windows 7 with KB2533623), takes at least the current folder
// out of the search. Call it before anything that may load a library. Returns 0 when the search
// is restricted to the system folder, 1 when only the fallback could be applied.
int RestrictDllSearch();
