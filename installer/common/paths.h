// Path buffers, length limits and the joining rules of every path the installer builds.
// Portable: no <windows.h>, so native tests reach it.
//
// Every joiner writes into a caller's buffer of outSize bytes and refuses (returns 1, leaves out
// empty) a result that would not fit: an over-long path is never cut into a different path.
#pragma once

#include <stddef.h>

enum {
    PATH_BUFFER = 512,     // every path and text buffer of SetupState, terminator included
    PATH_MAX_LENGTH = 511, // the longest path those buffers hold
    SHELL_PATH_BUFFER = 260, // MAX_PATH: tempDir, the desktop folder, a shortcut's link path
    RECORD_DIRECTORY_BUFFER = 260, // a directory being created for a payload record
    RECORD_PATH_BUFFER = 512,      // an output or temporary file path
    FOLDER_NAME_MAX = 99,          // longest product folder name the browser accepts
};

// Record rule: dir, always one backslash, then the first length characters of name. For payload
// records below installDir and for the temporary files (dir never ends in a backslash there).
// Returns 0 when it fits; 1 when it would not fit outSize or length runs past the end of name.
int joinRecordPath(char *out, size_t outSize, const char *dir, const char *name, size_t length);

// Destination rule: baseDir, a backslash only when baseDir is longer than 3 characters (a drive
// root such as C:\ already ends in one), then folderName. installDir and the directory
// browser's path field use it. Returns 1, out empty, when the result would be longer than
// PATH_MAX_LENGTH characters or not fit outSize; 0 when out holds the joined path.
int joinDestination(char *out, size_t outSize, const char *baseDir, const char *folderName);

// Group rule: dir, a backslash unless dir already ends in one, then name. The program group
// folder below programsDir and the shortcut files use it. Returns 1, out empty, when it would
// not fit outSize; 0 when out holds the joined path.
int joinGroupPath(char *out, size_t outSize, const char *dir, const char *name);

// Position of the last backslash in name after its first character: the length of the deepest
// directory the name requires. 0 when the name requires none (a top-level file).
size_t lastDirectoryEnd(const char *name);

// Removes one trailing backslash from path, if it has one.
void dropTrailingBackslash(char *path);
