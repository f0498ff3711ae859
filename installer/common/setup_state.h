// The installer's process-wide record and the one-level directory maker every page uses.
#pragma once

#include <windows.h>

#include "common/paths.h"
#include "common/product.h"

// The page picture: the bitmap every wizard page paints, with its size in pixels.
struct PagePicture {
    HBITMAP bitmap;
    int width;
    int height;
};

enum {
    DRIVE_TABLE_SIZE = 20,           // entries of driveRoots
    DRIVE_ROOT_SIZE = 5,             // "C:\" and its terminator, with room to spare
    TEMP_BUFFER = SHELL_PATH_BUFFER, // tempDir, as GetTempPathA is given it
    CLASS_NAME_BUFFER = 20,
    ROLLBACK_STAYS_BUFFER = 2048, // the list of what an undone copy could not put back
};

// Zero-filled at start, alive until the process ends; the buffers belong to the record.
struct SetupState {
    HINSTANCE instance;
    char className[CLASS_NAME_BUFFER];
    HWND mainWindow;
    int screenWidth;
    int screenHeight;
    int screenBits;
    HFONT titleFont;
    HBITMAP backdropImage;
    HPALETTE backdropPalette;
    char startDir[PATH_BUFFER];
    char messageText[PATH_BUFFER];
    PagePicture pagePicture;
    char driveRoots[DRIVE_TABLE_SIZE][DRIVE_ROOT_SIZE];
    int driveCount;
    int selectedDrive;
    char baseDir[PATH_BUFFER];
    char folderName[PATH_BUFFER];
    char installDir[PATH_BUFFER];
    // Whether the destination page made installDir (it was not there before): an undone copy
    // removes it again, and leaves a folder that was there.
    int installDirCreated;
    unsigned int freeKB;
    char tempDir[TEMP_BUFFER];
    int copyFailed;
    // What an undone copy could not put back, one path a line under a heading; empty when all
    // was put back.
    char rollbackStays[ROLLBACK_STAYS_BUFFER];
    char programsDir[PATH_BUFFER];
    char groupFolder[PATH_BUFFER];
    // The two browsers' list state: image-list positions of icons 201, 202 and 203, and the
    // sorted-list position of the folder-name item listDirectory added last.
    int folderImage;
    int upImage;
    int newFolderImage;
    int lastItemIndex;
    // Set by /S: no window and no message box; every step runs with the interactive defaults.
    int unattended;
    // The process's exit code (SetupExitCode): 0 until a cancel or a failure says otherwise.
    int exitCode;
};

extern SetupState setup;

// The caption of every message box the installer shows with its own title.
extern const char SETUP_CAPTION[];

// Creates one directory level, the one way every folder of the installer is made: with the
// installation folders' protected permissions (common/folder_security), which what is made
// inside inherits. Returns CreateDirectoryA's result unchanged: nonzero when made, 0 when it
// exists already (its permissions are kept: the user chose it) or cannot be made (missing
// parent, no access), GetLastError telling which. The log notes a folder made and one kept.
BOOL MakeDirectory(const char *path);
