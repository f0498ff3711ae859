// Which folders the uninstaller may act on: the folders its uninstall entry names are checked
// before anything is removed, since anyone who can write that entry could otherwise point the
// uninstaller, running as administrator, at any folder. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

// 1 when the last name of path is name (any case).
int lastNameIs(const char *path, const char *name);

// 1 when program is exactly folder, a backslash and programName (any case).
int isProgramInFolder(const char *program, const char *folder, const char *programName);
