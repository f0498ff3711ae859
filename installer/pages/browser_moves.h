// The browsers' path moves without a window: going up and down the directory tree of a drive
// (directory browser, mode 0) or of the Start menu (folder browser, mode 1), with their limits.
// Portable: no <windows.h>, so native tests reach it. Modes are LIST_MODE_DIRECTORY (0) and
// LIST_MODE_START_MENU (1) of pages/pages.h.
#pragma once

#include <stddef.h>

// Nonzero when path counts as below its root: longer than 3 characters in mode 0 (a drive root
// "C:\" is not), longer than 21 characters in mode 1.
int isBelowRoot(const char *path, int mode);

// Goes up one level in place. Mode 0: cut at the last backslash when it stands after the fourth
// character, else just after it so the root keeps its backslash (C:\Program files -> C:\).
// Mode 1: cut at the last backslash (C:\Menu -> C:). Without a backslash nothing changes.
// Returns 1 when path changed, 0 otherwise.
int browseUp(char *path, int mode);

// Goes down into name in place: appends a backslash (mode 0: only when path is longer than 3
// characters; mode 1: always) and name. Refuses, leaving path unchanged and returning 1, when the
// result would be longer than maxLength characters or not fit pathSize; 0 when path changed.
int browseDown(char *path, size_t pathSize, size_t maxLength, const char *name, int mode);
