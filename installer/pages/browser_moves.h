// The browsers' path moves without a window: going up and down the directory tree of a drive
// (directory browser, mode 0) or of the Start menu (folder browser, mode 1), with their limits,
// and the two texts a listing builds from a path: its search pattern and the path it shows.
// Portable: no <windows.h>, so native tests reach it. Modes are LIST_MODE_DIRECTORY (0) and
// LIST_MODE_START_MENU (1) of pages/pages.h.
#pragma once

#include <stddef.h>

#include "common/paths.h"

enum {
    // The longest path a browser moves to: with a backslash and a folder name of FOLDER_NAME_MAX
    // characters it still fits PATH_MAX_LENGTH, so the path shown, the search pattern and the
    // destination built from it always fit their 512-character buffers.
    BROWSE_PATH_MAX = PATH_MAX_LENGTH - 1 - FOLDER_NAME_MAX,
    // Longest item text read back from a list.
    LIST_TEXT_MAX = 255,
};

// Nonzero when path counts as below its root: longer than 3 characters in mode 0 (a drive root
// "C:\" is not), longer than 21 characters in mode 1.
int isBelowRoot(const char *path, int mode);

// Goes up one level in place. Mode 0: cut at the last backslash when it stands after the fourth
// character, else just after it so the root keeps its backslash (C:\Program files -> C:\).
// Mode 1: cut at the last backslash (C:\Menu -> C:). Without a backslash nothing changes.
// Returns 1 when path changed, 0 otherwise.
int browseUp(char *path, int mode);

// The last name of path: what follows its last backslash, or the whole path without one. Going
// up leaves the folder of that name.
const char *lastPathName(const char *path);

// Goes down into name in place: appends a backslash (mode 0: only when path is longer than 3
// characters; mode 1: always) and name. Refuses, leaving path unchanged and returning 1, when name
// is empty or the result would be longer than maxLength characters or not fit pathSize; returns 0
// when path changed.
int browseDown(char *path, size_t pathSize, size_t maxLength, const char *name, int mode);

// Writes the search pattern of a listing of path into out: path and "*.*" at a mode-0 root,
// path and "\*.*" everywhere else. Returns 1, out empty, when it would not fit outSize.
int listSearchPattern(char *out, size_t outSize, const char *path, int mode);

// Writes the path a listing shows into out: path, a backslash (mode 0: only below the root, the
// joining rule of the destination; mode 1: always) and folderName. Returns 1, out empty, when it
// would be longer than PATH_MAX_LENGTH characters or not fit outSize.
int listShownPath(char *out, size_t outSize, const char *path, const char *folderName, int mode);
