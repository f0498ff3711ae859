// Output paths and directory prefixes of payload records, with their buffer limits.
#include "payload/record_paths.h"

#include <string.h>

int joinRecordPath(char *out, size_t outSize, const char *dir, const char *name, size_t length) {
    if (outSize > 0)
        out[0] = '\0';
    size_t dirLength = strlen(dir);
    if (length > strlen(name) || outSize == 0 || dirLength + 1 + length >= outSize)
        return 1;
    memcpy(out, dir, dirLength);
    out[dirLength] = '\\';
    memcpy(out + dirLength + 1, name, length);
    out[dirLength + 1 + length] = '\0';
    return 0;
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
