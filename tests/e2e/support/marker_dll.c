// A DLL that only says it was loaded: planted under the names of system DLLs next to a program,
// it leaves a marker file named after its own module name, so a test sees which were taken.
#include <windows.h>

#include "marker_dll.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH], marker[MAX_PATH + 32];
    DWORD length = GetModuleFileNameA(self, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return TRUE;
    const char *name = path;
    for (const char *p = path; *p != '\0'; p++)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    CreateDirectoryA(MARKER_FOLDER, NULL);
    wsprintfA(marker, "%s\\%s.marker", MARKER_FOLDER, name);
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
