// Which folders the uninstaller may act on: the folders its uninstall entry names are checked
// before anything is removed, since anyone who can write that entry could otherwise point the
// uninstaller, running as administrator, at any folder. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

// 1 when path may be a folder the product was installed into (or its program group): the
// installer's own rule for a destination (common/paths), a normal local path that is neither a
// drive root nor one of the protected folders (the Windows folder, the system folder, the
// Program Files folders). 0 otherwise.
int isEntryFolderAllowed(const char *path, const char *const *protectedFolders,
                         size_t protectedCount);

// 1 when the last name of path is name (any case).
int lastNameIs(const char *path, const char *name);

// 1 when program is exactly folder, a backslash and programName (any case).
int isProgramInFolder(const char *program, const char *folder, const char *programName);
