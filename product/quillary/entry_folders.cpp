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
