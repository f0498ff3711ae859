// Path buffers, length limits and the joining rules of every path the installer builds.
// Portable: no <windows.h>, so native tests reach it.
//
// Every joiner writes into a caller's buffer of outSize bytes and refuses (returns 1, leaves out
// empty) a result that would not fit: an over-long path is never cut into a different path.
#pragma once

#include <stddef.h>

enum {
    PATH_BUFFER = 512,             // every path and text buffer of SetupState, terminator included
    PATH_MAX_LENGTH = 511,         // the longest path those buffers hold
    SHELL_PATH_BUFFER = 260,       // MAX_PATH: tempDir, the desktop folder, a shortcut's link path
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

// What a folder of the product may be, for the installer's /D=, its destination page and
// directory browser, and the uninstaller alike.

// Nonzero when name is one valid folder name: not empty, no separator, and nothing the archive
// entry-name rule refuses (the characters \ / : * ? " < > |, control characters, "." or "..",
// a trailing blank or dot, a device name with or without an extension). Bytes of 128 and above
// (the ANSI code page's letters, "Caf\xe9") are ordinary characters.
int isFolderName(const char *name);

// 1 when parts is one or more folder names (isFolderName) separated by single backslashes, with
// no backslash at either end; 0 otherwise.
int areFolderNames(const char *parts);

// 1 when path is a full local path in its own normal form: a drive letter, a colon and a
// backslash, then folder names (isFolderName) separated by single backslashes, no trailing
// backslash. The drive root ("C:\") itself is in normal form. 0 otherwise.
int isNormalLocalPath(const char *path);

// 1 when path names a folder nothing may be installed into or removed from: a drive root, or
// one of the protectedFolders themselves (the Windows folder, the system folders, the Program
// Files folders), compared without regard to the case of ASCII letters or a trailing backslash
// of the protected folder. A folder below one of them is not protected. 0 otherwise.
int isProtectedFolder(const char *path, const char *const *protectedFolders, size_t count);

// 1 when path may be a product folder (a destination, or a folder an uninstall entry names): a
// normal local path (isNormalLocalPath) that isProtectedFolder does not refuse. 0 otherwise.
int isProductFolderAllowed(const char *path, const char *const *protectedFolders, size_t count);

// 1 when path names a device rather than a file: the \\.\ and \\?\ prefixes, or a last name
// that is a device name with or without an extension (CON, NUL, COM1, LPT1.txt). 0 otherwise.
int namesDevice(const char *path);
