// The installer's full-screen main window.
#pragma once

#include <windows.h>

// Private commands of the main window.
enum {
    CMD_START_WIZARD = 4444, // posted to itself while it is created: runs the wizard
    CMD_EXIT = 300           // destroys the main window, whoever posts it
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
