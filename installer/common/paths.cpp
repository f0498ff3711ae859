// Path joining rules and limits shared by the destination, the payload records and the group.
#include "common/paths.h"

#include <string.h>

// Copies dir, the separator when wanted, and length characters of name into out. The caller has
// checked that the result fits.
static void writeJoined(char *out, const char *dir, size_t dirLength, int separator,
                        const char *name, size_t length) {
    memcpy(out, dir, dirLength);
    if (separator)
        out[dirLength] = '\\';
    memcpy(out + dirLength + (separator ? 1 : 0), name, length);
    out[dirLength + (separator ? 1 : 0) + length] = '\0';
}

int joinRecordPath(char *out, size_t outSize, const char *dir, const char *name, size_t length) {
    if (outSize > 0)
        out[0] = '\0';
    size_t dirLength = strlen(dir);
    if (length > strlen(name) || outSize == 0 || dirLength + 1 + length >= outSize)
        return 1;
    writeJoined(out, dir, dirLength, 1, name, length);
    return 0;
}

int joinDestination(char *out, size_t outSize, const char *baseDir, const char *folderName) {
    if (outSize == 0)
        return 1;
    out[0] = '\0';
    size_t baseLength = strlen(baseDir);
    size_t nameLength = strlen(folderName);
    int separator = baseLength > 3;
    size_t total = baseLength + (separator ? 1 : 0) + nameLength;
    if (total > PATH_MAX_LENGTH || total >= outSize)
        return 1;
    writeJoined(out, baseDir, baseLength, separator, folderName, nameLength);
    return 0;
}

int joinGroupPath(char *out, size_t outSize, const char *dir, const char *name) {
    if (outSize == 0)
        return 1;
    out[0] = '\0';
    size_t dirLength = strlen(dir);
    size_t nameLength = strlen(name);
    int separator = dirLength == 0 || dir[dirLength - 1] != '\\';
    if (dirLength + (separator ? 1 : 0) + nameLength >= outSize)
        return 1;
    writeJoined(out, dir, dirLength, separator, name, nameLength);
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
