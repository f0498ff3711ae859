// Restricting the DLL search to the system folder, looked up at run time: the call does not exist
// on every system the programs run on.
#include "common/dll_search.h"

#include <windows.h>

// LOAD_LIBRARY_SEARCH_SYSTEM32: the flag of SetDefaultDllDirectories; older headers lack it.
static const DWORD SEARCH_SYSTEM32_ONLY = 0x00000800;

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);

int RestrictDllSearch() {
    // kernel32 is loaded in every process already: this finds it, it never searches for it.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction setDefault =
        kernel != NULL ? (SetDefaultDllDirectoriesFunction)(void (*)())GetProcAddress(
                             kernel, "SetDefaultDllDirectories")
                       : NULL;
    if (setDefault != NULL && setDefault(SEARCH_SYSTEM32_ONLY))
        return 0;
    SetDllDirectoryA("");
    return 1;
}
