// Taking back what a program made: the files and folders the uninstaller removes and those the
// installer's undo of a cancelled or failed copy removes or puts back. One set of rules for both:
// a file already gone counts as removed, a file another program holds open for a moment is tried
// again, a folder goes only when empty, and nothing is ever done through a junction or link.
#pragma once

#include <windows.h>

// How often, and how far apart, a file held open by another program is tried again.
enum {
    HELD_FILE_TRIES = 10,
    HELD_FILE_PAUSE_MS = 100,
};

// Deletes a file (read-only ones too). Returns 0 when it is gone, also when it was not there;
// 1 when it is still there once the tries are spent.
int removeFileRetrying(const char *path);

// Moves a file to a new name on the same volume, replacing nothing; tried again like a delete
// while another program holds it. Returns 0 when moved, 1 otherwise.
int moveFileRetrying(const char *from, const char *to);

// Removes a folder when it is empty. Returns 0 when it is gone (also when it was not there),
// 1 when it is still there (it holds other files, or it cannot be removed).
int removeEmptyFolder(const char *path);

// 1 when path is a junction, a symbolic link or another reparse point; 0 otherwise (also when
// it does not exist). Nothing is ever deleted through one. The path is opened without following
// a link (FILE_FLAG_OPEN_REPARSE_POINT), and the attributes are read from that handle.
int isReparsePoint(const char *path);

// 1 when the open file or folder is a reparse point (it was opened with
// FILE_FLAG_OPEN_REPARSE_POINT, so the handle is the link itself); 0 otherwise.
int isReparsePointHandle(HANDLE file);

// Deletes a file, or when it cannot be deleted now (a running program's file), has the system
// delete it at the next restart. Returns 0 when it is gone now, 1 when it waits for the restart,
// 2 when neither could be done.
int removeFileOrAtRestart(const char *path);

// Removes a folder when it is empty, or has the system remove it at the next restart, after the
// files scheduled before it. Same returns as removeFileOrAtRestart.
int removeFolderOrAtRestart(const char *path);

// 1 when folder holds nothing but a file named name (any case), or nothing at all; 0 otherwise.
int folderHoldsOnly(const char *folder, const char *name);
