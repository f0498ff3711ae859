// The common controls library (COMCTL32), loaded at run time from the system folder. It is not
// one of the DLLs Windows always takes from there: imported, it would be searched for first in
// the folder the installer was started from. Loading it registers the list view class the two
// browsers' dialogs use.
#pragma once

#include <windows.h>

#include <commctrl.h>

// Loads COMCTL32 by its full path in the system folder and looks up the functions below.
// Returns 0 when all are there; 1 otherwise (the browsers cannot open then).
int LoadCommonControls();

// ImageList_Create and ImageList_ReplaceIcon, through the loaded library.
HIMAGELIST commonImageListCreate(int width, int height, UINT flags, int initial, int grow);
int commonImageListReplaceIcon(HIMAGELIST images, int position, HICON icon);
