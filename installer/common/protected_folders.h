// The system's side of the rule for what a product folder may be (common/paths holds the rule):
// the folders this system protects, the long form of a path, and links on the way to a folder.
// Shared by the installer's /D=, its destination page and directory browser, and the
// uninstaller.
#pragma once

#include <stddef.h>

#include <windows.h>

enum { PROTECTED_FOLDER_COUNT = 8 };

// Reads a string value of an HKEY_LOCAL_MACHINE key into out (outSize bytes); 0 when a non-empty
// string fit. The key is closed on every path.
int readMachineString(const char *keyName, const char *valueName, char *out, DWORD outSize);

// The folders nothing may be installed into or removed from: the Windows folder, the system
// folders and the Program Files folders, as this system names them. Fills folders
// (PROTECTED_FOLDER_COUNT entries of 260 bytes, unused ones empty) and returns how many there
// are.
size_t readProtectedFolders(char (*folders)[260]);

// 1 when path is not a normal full local path, or is a drive root or one of the protected
// folders; 0 when it may be a product folder.
int isRefusedFolder(const char *path);

// Writes into out (outSize bytes) path with its longest existing part in its long form (an 8.3
// short name such as C:\LONGFO~1 expanded): the uninstaller compares long paths. A path of which
// nothing exists is copied as it is. Returns 0 when out holds the result; 1, out empty, when it
// does not fit.
int expandLongForm(const char *path, char *out, size_t outSize);

// Looks at each existing folder from the drive root down to path itself: when one is a
// junction, a symbolic link or another reparse point, writes it into link (linkSize bytes) and
// returns 1; returns 0 when none is.
int findLinkOnPath(const char *path, char *link, size_t linkSize);
