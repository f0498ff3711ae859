// Dialog procedures of the four wizard pages, and the page-picture painter they share.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AgreementPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ShortcutPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The directory browser the destination page's Browse button opens.
INT_PTR CALLBACK DirectoryBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Destination helpers the directory browser shares with the destination page.
// Fills the drive table, selectedDrive, baseDir and freeKB with the default destination.
void chooseDefaultDestination(void);
// Sets freeKB from the free space of entry drive of driveRoots; 0 when it cannot be asked.
void updateFreeSpace(int drive);

// WM_PAINT handler of the four wizard pages: copies the page picture, unscaled, to the page's
// top-left corner. Returns 0.
INT_PTR paintPagePicture(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Asks "Are you sure you want to cancel the setup?" over the page (Yes and No), as the
// agreement and destination pages do. TRUE when the user answered Yes.
BOOL confirmCancel(HWND page);
