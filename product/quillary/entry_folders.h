// Which folders the uninstaller may act on: the folders its uninstall entry names are checked
// before anything is removed, since anyone who can write that entry could otherwise point the
// uninstaller, running as administrator, at any folder. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

// 1 when path is a full local path in its own normal form: a drive letter, a colon and a
// backslash, then folder names separated by single backslashes, none of them empty, "." or
// "..", none ending in a blank or a dot, none holding a character a file name may not hold;
// no trailing backslash. 0 otherwise.
int isNormalLocalPath(const char *path);

// 1 when path may be a folder the product was installed into (or its program group): a normal
// local path below a drive root that is none of the protected folders (the Windows folder, the
// system folder, the Program Files folders), each compared without regard to case or a trailing
// backslash. 0 otherwise.
int isEntryFolderAllowed(const char *path, const char *const *protectedFolders,
                         size_t protectedCount);

// 1 when the last name of path is name (any case).
int lastNameIs(const char *path, const char *name);

// 1 when program is exactly folder, a backslash and programName (any case).
int isProgramInFolder(const char *program, const char *folder, const char *programName);
