// Dialog procedures of the four wizard pages, and the page-picture painter they share.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AgreementPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ShortcutPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_PAINT handler of the four wizard pages: copies the page picture, unscaled, to the page's
// top-left corner. Returns 0.
INT_PTR paintPagePicture(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
