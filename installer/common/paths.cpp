// Path joining rules and limits shared by the destination, the payload records and the group.
#include "common/paths.h"

#include <string.h>

#include "common/entry_names.h"

// Writes dir, the separator when wanted, and length characters of name into out when the result
// fits outSize and is at most maxLength characters. Returns 0 when written; 1, out left empty,
// when it would not fit.
static int joinChecked(char *out, size_t outSize, const char *dir, int separator, const char *name,
                       size_t length, size_t maxLength) {
    if (outSize == 0)
        return 1;
    out[0] = '\0';
    size_t dirLength = strlen(dir);
    size_t total = dirLength + (separator ? 1 : 0) + length;
    if (total > maxLength || total >= outSize)
        return 1;
    memcpy(out, dir, dirLength);
    if (separator)
        out[dirLength] = '\\';
    memcpy(out + dirLength + (separator ? 1 : 0), name, length);
    out[total] = '\0';
    return 0;
}

int joinRecordPath(char *out, size_t outSize, const char *dir, const char *name, size_t length) {
    if (length > strlen(name)) {
        if (outSize > 0)
            out[0] = '\0';
        return 1;
    }
    return joinChecked(out, outSize, dir, 1, name, length, (size_t)-1);
}

int joinDestination(char *out, size_t outSize, const char *baseDir, const char *folderName) {
    return joinChecked(out, outSize, baseDir, strlen(baseDir) > 3, folderName, strlen(folderName),
                       PATH_MAX_LENGTH);
}

int joinGroupPath(char *out, size_t outSize, const char *dir, const char *name) {
    size_t dirLength = strlen(dir);
    int separator = dirLength == 0 || dir[dirLength - 1] != '\\';
    return joinChecked(out, outSize, dir, separator, name, strlen(name), (size_t)-1);
}

size_t lastDirectoryEnd(const char *name) {
    size_t end = 0;
    // A backslash at position 0 makes no directory: the name would be below nothing.
    for (size_t j = 1; name[0] != '\0' && name[j] != '\0'; j++) {
        if (name[j] == '\\')
            end = j;
    }
    return end;
}

void dropTrailingBackslash(char *path) {
    size_t length = strlen(path);
    if (length > 0 && path[length - 1] == '\\')
        path[length - 1] = '\0';
}

int isFolderName(const char *name) {
    return name != NULL && strchr(name, '\\') == NULL && isSafeEntryName(name);
}

static char foldedAscii(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

int areFolderNames(const char *parts) {
    char name[PATH_BUFFER];
    const char *start = parts;
    for (const char *end = start;; end++) {
        if (*end != '\\' && *end != '\0')
            continue;
        size_t length = (size_t)(end - start);
        if (length >= sizeof(name))
            return 0;
        memcpy(name, start, length);
        name[length] = '\0';
        if (!isFolderName(name))
            return 0;
        if (*end == '\0')
            return 1;
        start = end + 1;
    }
}

int isNormalLocalPath(const char *path) {
    if (path == NULL || !(foldedAscii(path[0]) >= 'a' && foldedAscii(path[0]) <= 'z') ||
        path[1] != ':' || path[2] != '\\')
        return 0;
    return path[3] == '\0' || areFolderNames(path + 3);
}

// path and folder name the same folder: equal, ASCII case aside, folder's trailing backslashes
// ignored.
static int isSameFolder(const char *path, const char *folder) {
    size_t length = strlen(folder);
    while (length > 0 && folder[length - 1] == '\\')
        length--;
    if (length == 0 || strlen(path) != length)
        return 0;
    for (size_t i = 0; i < length; i++)
        if (foldedAscii(path[i]) != foldedAscii(folder[i]))
            return 0;
    return 1;
}

int isProtectedFolder(const char *path, const char *const *protectedFolders, size_t count) {
    size_t length = strlen(path);
    if (length <= 3 || (length == 4 && path[3] == '\\'))
        return 1; // "C:", "C:\" and shorter: a drive root, or not a folder at all
    for (size_t i = 0; i < count; i++)
        if (protectedFolders[i] != NULL && isSameFolder(path, protectedFolders[i]))
            return 1;
    return 0;
}

int isProductFolderAllowed(const char *path, const char *const *protectedFolders, size_t count) {
    return isNormalLocalPath(path) && !isProtectedFolder(path, protectedFolders, count);
}

int namesDevice(const char *path) {
    if (path[0] == '\\' && path[1] == '\\' && (path[2] == '.' || path[2] == '?') && path[3] == '\\')
        return 1;
    const char *last = path;
    for (const char *p = path; *p != '\0'; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            last = p + 1;
    // The system drops trailing dots and blanks before it looks for a device: "NUL. " is NUL.
    char name[PATH_BUFFER];
    size_t length = strlen(last);
    while (length > 0 && (last[length - 1] == '.' || last[length - 1] == ' '))
        length--;
    if (length >= sizeof(name))
        return 0;
    memcpy(name, last, length);
    name[length] = '\0';
    return entryNameProblem(name) == ENTRY_NAME_DEVICE;
}
