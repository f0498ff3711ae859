// Path joining rules and limits shared by the destination, the payload records and the group.
#include "common/paths.h"

#include <string.h>

// Writes dir, the separator when wanted, and length characters of name into out when the result
// fits outSize and is at most maxLength characters. Returns 0 when written; 1, out left empty,
// when it would not fit.
static int joinChecked(char *out, size_t outSize, const char *dir, int separator,
                       const char *name, size_t length, size_t maxLength) {
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
