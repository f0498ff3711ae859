// Where a payload record lands: its output path and the directories its name requires, each
// checked against the buffer that holds it. Portable: no <windows.h>, so native tests reach it.
#pragma once

#include <stddef.h>

enum {
    RECORD_DIRECTORY_BUFFER = 260, // a directory being created, terminator included
    RECORD_PATH_BUFFER = 512       // an output or temporary file path, terminator included
};

// Writes dir, one backslash and the first length characters of name into out (outSize bytes).
// Returns 0 when it fits; 1 when it would not fit (or length runs past the end of name), and
// out is then left empty: an over-long path is refused, never cut into a different path.
int joinRecordPath(char *out, size_t outSize, const char *dir, const char *name, size_t length);

// Position of the last backslash in name after its first character: the length of the deepest
// directory the name requires. 0 when the name requires none (a top-level file).
size_t lastDirectoryEnd(const char *name);

// Removes one trailing backslash from path, if it has one.
void dropTrailingBackslash(char *path);
