// Removing and moving back files and folders, with the retries a briefly held file needs.
#include "common/file_removal.h"

#include <windows.h>

static int isGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Whether a failed step is worth another try: another program holds the file for a moment (the
// shell reading a link it was just given, a virus scanner).
static int isHeld(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

int removeFileRetrying(const char *path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    for (int attempt = 0;; attempt++) {
        if (DeleteFileA(path))
            return 0;
        DWORD error = GetLastError();
        if (isGone(error))
            return 0;
        if (!isHeld(error) || attempt == HELD_FILE_TRIES)
            return 1;
        Sleep(HELD_FILE_PAUSE_MS);
    }
}

int moveFileRetrying(const char *from, const char *to) {
    for (int attempt = 0;; attempt++) {
        if (MoveFileExA(from, to, 0))
            return 0;
        if (!isHeld(GetLastError()) || attempt == HELD_FILE_TRIES)
            return 1;
        Sleep(HELD_FILE_PAUSE_MS);
    }
}

int removeEmptyFolder(const char *path) {
    if (RemoveDirectoryA(path))
        return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int isReparsePointHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

int isReparsePoint(const char *path) {
    // Only the attributes are asked for, and every sharing mode is allowed, so the open does not
    // disturb a program holding the file.
    HANDLE file = CreateFileA(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        int reparse = isReparsePointHandle(file);
        CloseHandle(file);
        if (reparse)
            return 1;
    }
    // What cannot be opened (or a system that keeps the flag from the handle) is asked by name.
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Schedules path for deletion at the next restart (administrators only); 1 when scheduled.
static int removeAtRestart(const char *path) {
    return MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 2;
}

int removeFileOrAtRestart(const char *path) {
    if (removeFileRetrying(path) == 0)
        return 0;
    return removeAtRestart(path);
}

int removeFolderOrAtRestart(const char *path) {
    // A file just deleted while its program was still ending may linger for a moment, and keep
    // the folder from being empty: the folder gets the same tries as a held file.
    for (int attempt = 0;; attempt++) {
        if (removeEmptyFolder(path) == 0)
            return 0;
        if (attempt == HELD_FILE_TRIES)
            return removeAtRestart(path);
        Sleep(HELD_FILE_PAUSE_MS);
    }
}

int folderHoldsOnly(const char *folder, const char *name) {
    char pattern[MAX_PATH];
    if (lstrlenA(folder) + 3 > (int)sizeof(pattern))
        return 0;
    lstrcpyA(pattern, folder);
    lstrcatA(pattern, "\\*");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 1;
    int only = 1;
    do {
        const char *entry = found.cFileName;
        if (lstrcmpA(entry, ".") != 0 && lstrcmpA(entry, "..") != 0 && lstrcmpiA(entry, name) != 0)
            only = 0;
    } while (only && FindNextFileA(search, &found));
    FindClose(search);
    return only;
}
