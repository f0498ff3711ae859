// The fixed sequence of wizard pages and the closing message.
#pragma once

#include <windows.h>

// Runs agreement, destination, copy and shortcut pages in turn, shows the success or cancel
// message, opens the program group after success and destroys the main window. Returns 0.
INT_PTR RunWizard(HWND window, UINT commandId, UINT notificationCode, LPARAM lParam);

// The closing texts, shared with the tests that read them off the screen.
extern const char CANCEL_MESSAGE[];
extern const char SUCCESS_FORMAT[];
