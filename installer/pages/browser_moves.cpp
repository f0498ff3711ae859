// The browsers' path moves: up and down a directory tree in a fixed buffer, never past its end.
#include "pages/browser_moves.h"

#include <string.h>

// Mode values, as in pages/pages.h (which needs <windows.h> and so is not included here).
enum { MODE_DIRECTORY = 0 };

// Characters a path must exceed to count as below its root, by mode.
static size_t rootLength(int mode) { return mode == MODE_DIRECTORY ? 3 : 21; }

// Whether a name joined to path gets a backslash between them.
static int needsSeparator(const char *path, int mode) {
    return mode != MODE_DIRECTORY || strlen(path) > 3;
}

int isBelowRoot(const char *path, int mode) { return strlen(path) > rootLength(mode); }

int browseUp(char *path, int mode) {
    const char *last = strrchr(path, '\\');
    if (last == NULL)
        return 0;
    size_t cut = (size_t)(last - path);
    // A mode-0 drive root keeps its backslash: C:\Windows goes to C:\, not C:.
    if (mode == MODE_DIRECTORY && cut <= 3)
        cut++;
    if (path[cut] == '\0')
        return 0;
    path[cut] = '\0';
    return 1;
}

const char *lastPathName(const char *path) {
    const char *last = strrchr(path, '\\');
    return last == NULL ? path : last + 1;
}

// Writes head, a backslash when asked, and tail into out when the result is at most maxLength
// characters and fits outSize; else leaves out untouched. Returns 0 when written, 1 refused.
static int writeJoin(char *out, size_t outSize, size_t maxLength, const char *head, int separator,
                     const char *tail) {
    size_t headLength = strlen(head);
    size_t tailLength = strlen(tail);
    size_t total = headLength + (separator ? 1 : 0) + tailLength;
    if (total > maxLength || total >= outSize)
        return 1;
    // head may be out itself (going down in place): only what follows it is written.
    if (out != head)
        memcpy(out, head, headLength);
    if (separator)
        out[headLength] = '\\';
    memcpy(out + headLength + (separator ? 1 : 0), tail, tailLength);
    out[total] = '\0';
    return 0;
}

int browseDown(char *path, size_t pathSize, size_t maxLength, const char *name, int mode) {
    if (name[0] == '\0')
        return 1;
    return writeJoin(path, pathSize, maxLength, path, needsSeparator(path, mode), name);
}

int listSearchPattern(char *out, size_t outSize, const char *path, int mode) {
    if (outSize == 0)
        return 1;
    int below = mode != MODE_DIRECTORY || isBelowRoot(path, mode);
    if (writeJoin(out, outSize, outSize - 1, path, below, "*.*") == 0)
        return 0;
    out[0] = '\0';
    return 1;
}

int listShownPath(char *out, size_t outSize, const char *path, const char *folderName, int mode) {
    if (outSize == 0)
        return 1;
    if (writeJoin(out, outSize, PATH_MAX_LENGTH, path, needsSeparator(path, mode), folderName) == 0)
        return 0;
    out[0] = '\0';
    return 1;
}
