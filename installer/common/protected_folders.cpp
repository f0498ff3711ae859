// The protected folders as the system names them, the long form of a path, and the links on the
// way to a folder.
#include "common/protected_folders.h"

#include <windows.h>

#include <string.h>

#include "common/file_removal.h"
#include "common/paths.h"

// The key whose values name the Program Files folders.
static const char WINDOWS_VERSION_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
// The Program Files folders as Windows names them: this program's view, the 32-bit one on a
// 64-bit system, and the 64-bit one seen from a 32-bit program.
static const char *const PROGRAM_FILES_VALUES[] = {"ProgramFilesDir", "ProgramFilesDir (x86)",
                                                   "ProgramW6432Dir"};

int readMachineString(const char *keyName, const char *valueName, char *out, DWORD outSize) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    DWORD type = 0, size = outSize;
    memset(out, 0, outSize);
    LONG status = RegQueryValueExA(key, valueName, NULL, &type, (BYTE *)out, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
        out[outSize - 1] != '\0' || out[0] == '\0') {
        out[0] = '\0';
        return 1;
    }
    return 0;
}

size_t readProtectedFolders(char (*folders)[260]) {
    size_t used = 0;
    for (size_t i = 0; i < PROTECTED_FOLDER_COUNT; i++)
        folders[i][0] = '\0';
    UINT length = GetWindowsDirectoryA(folders[used], MAX_PATH);
    used += length > 0 && length < MAX_PATH;
    length = GetSystemDirectoryA(folders[used], MAX_PATH);
    used += length > 0 && length < MAX_PATH;
    length = GetSystemWow64DirectoryA(folders[used], MAX_PATH);
    used += length > 0 && length < MAX_PATH;
    for (size_t i = 0; i < sizeof(PROGRAM_FILES_VALUES) / sizeof(PROGRAM_FILES_VALUES[0]); i++)
        if (used < PROTECTED_FOLDER_COUNT &&
            readMachineString(WINDOWS_VERSION_KEY, PROGRAM_FILES_VALUES[i], folders[used],
                              MAX_PATH) == 0)
            used++;
    return used;
}

int isRefusedFolder(const char *path) {
    char folders[PROTECTED_FOLDER_COUNT][MAX_PATH];
    const char *names[PROTECTED_FOLDER_COUNT];
    size_t count = readProtectedFolders(folders);
    for (size_t i = 0; i < count; i++)
        names[i] = folders[i];
    return !isProductFolderAllowed(path, names, count);
}

int expandLongForm(const char *path, char *out, size_t outSize) {
    size_t length = strlen(path);
    if (outSize == 0)
        return 1;
    out[0] = '\0';
    if (length >= outSize || length >= PATH_BUFFER)
        return 1;
    // The longest part that exists, cut at a backslash (or the whole path).
    char prefix[PATH_BUFFER];
    memcpy(prefix, path, length + 1);
    size_t end = length;
    for (;;) {
        prefix[end] = '\0';
        if (GetFileAttributesA(prefix) != INVALID_FILE_ATTRIBUTES)
            break;
        while (end > 3 && path[end - 1] != '\\')
            end--;
        if (end <= 3) {
            memcpy(out, path, length + 1);
            return 0; // nothing below the drive root exists: nothing to expand
        }
        end--;
    }
    char longPrefix[PATH_BUFFER];
    DWORD longLength = GetLongPathNameA(prefix, longPrefix, sizeof(longPrefix));
    if (longLength == 0 || longLength >= sizeof(longPrefix)) {
        memcpy(out, path, length + 1);
        return 0;
    }
    size_t restLength = length - end;
    if (longLength + restLength >= outSize)
        return 1;
    memcpy(out, longPrefix, longLength);
    memcpy(out + longLength, path + end, restLength + 1);
    return 0;
}

int findLinkOnPath(const char *path, char *link, size_t linkSize) {
    size_t length = strlen(path);
    char folder[PATH_BUFFER];
    if (length >= sizeof(folder))
        return 0;
    // From the first folder below the drive root ("C:\Apps") down to path itself.
    for (size_t end = 4; end <= length; end++) {
        if (end < length && path[end] != '\\')
            continue;
        memcpy(folder, path, end);
        folder[end] = '\0';
        if (!isReparsePoint(folder))
            continue;
        lstrcpynA(link, folder, (int)linkSize);
        return 1;
    }
    return 0;
}
