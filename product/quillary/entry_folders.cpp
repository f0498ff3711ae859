// Checks of the folders an uninstall entry names.
#include "entry_folders.h"

#include <string.h>

static char folded(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

// The first length characters of a and b are equal, case aside.
static int sameIgnoringCase(const char *a, const char *b, size_t length) {
    for (size_t i = 0; i < length; i++)
        if (folded(a[i]) != folded(b[i]))
            return 0;
    return 1;
}

static int isForbiddenInName(char c) {
    return (unsigned char)c < 32 || strchr("/:*?\"<>|", c) != NULL;
}

// Checks one name of a path, length characters at name.
static int isNormalName(const char *name, size_t length) {
    if (length == 0)
        return 0;
    if (name[length - 1] == ' ' || name[length - 1] == '.')
        return 0; // also "." and ".."
    for (size_t i = 0; i < length; i++)
        if (isForbiddenInName(name[i]))
            return 0;
    return 1;
}

int isNormalLocalPath(const char *path) {
    if (path == NULL ||
        !((folded(path[0]) >= 'a' && folded(path[0]) <= 'z') && path[1] == ':' && path[2] == '\\'))
        return 0;
    const char *name = path + 3;
    if (*name == '\0')
        return 1; // the drive root
    for (;;) {
        const char *end = strchr(name, '\\');
        size_t length = end != NULL ? (size_t)(end - name) : strlen(name);
        if (!isNormalName(name, length))
            return 0;
        if (end == NULL)
            return 1;
        name = end + 1;
    }
}

// path and folder name the same folder: equal, case aside, with folder's trailing backslash
// (if any) ignored.
static int isSameFolder(const char *path, const char *folder) {
    size_t length = strlen(folder);
    while (length > 0 && folder[length - 1] == '\\')
        length--;
    return length > 0 && strlen(path) == length && sameIgnoringCase(path, folder, length);
}

int isEntryFolderAllowed(const char *path, const char *const *protectedFolders,
                         size_t protectedCount) {
    if (!isNormalLocalPath(path) || path[3] == '\0')
        return 0;
    for (size_t i = 0; i < protectedCount; i++)
        if (protectedFolders[i] != NULL && isSameFolder(path, protectedFolders[i]))
            return 0;
    return 1;
}

int lastNameIs(const char *path, const char *name) {
    const char *last = strrchr(path, '\\');
    last = last != NULL ? last + 1 : path;
    size_t length = strlen(name);
    return strlen(last) == length && sameIgnoringCase(last, name, length);
}

int isProgramInFolder(const char *program, const char *folder, const char *programName) {
    size_t folderLength = strlen(folder), nameLength = strlen(programName);
    return folderLength > 0 && strlen(program) == folderLength + 1 + nameLength &&
           sameIgnoringCase(program, folder, folderLength) && program[folderLength] == '\\' &&
           sameIgnoringCase(program + folderLength + 1, programName, nameLength);
}
