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

int isReparsePoint(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
