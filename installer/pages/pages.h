// Dialog procedures of the four wizard pages, and the page-picture painter they share.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AgreementPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ShortcutPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
