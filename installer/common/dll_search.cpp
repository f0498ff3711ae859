// Restricting the DLL search to the system folder, looked up at run time: the call does not exist
// on every system the programs run on.
#include "common/dll_search.h"

#include <stdio.h>

// LOAD_LIBRARY_SEARCH_SYSTEM32: the flag of SetDefaultDllDirectories; older headers lack it.
static const DWORD SEARCH_SYSTEM32_ONLY = 0x00000800;

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);

// Libraries the system's own code loads by name on demand, loaded first from the system folder.
static const char *const ON_DEMAND_SYSTEM_LIBRARIES[] = {"msimg32.dll"};

HMODULE loadSystemLibrary(const char *name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    if (length == 0 || length >= sizeof(path) ||
        snprintf(path + length, sizeof(path) - length, "\\%s", name) >=
            (int)(sizeof(path) - length))
        return NULL;
    return LoadLibraryA(path);
}

int RestrictDllSearch() {
    // kernel32 is loaded in every process already: this finds it, it never searches for it.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction setDefault =
        kernel != NULL ? (SetDefaultDllDirectoriesFunction)(void (*)())GetProcAddress(
                             kernel, "SetDefaultDllDirectories")
                       : NULL;
    int restricted = setDefault != NULL && setDefault(SEARCH_SYSTEM32_ONLY);
    if (!restricted)
        SetDllDirectoryA("");
    for (const char *name : ON_DEMAND_SYSTEM_LIBRARIES)
        loadSystemLibrary(name);
    return !restricted;
}
