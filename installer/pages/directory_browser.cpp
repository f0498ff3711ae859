// Directory browser: the dialog the destination page's Browse button opens. Its template and
// handlers come with the browser itself; until then DialogBoxParamA finds no "IDD_BROWSE"
// template and returns at once, and the destination page keeps its fields.
#include "pages/pages.h"
#include "shell/message_table.h"

static const MessageTable DIRECTORY_BROWSER_MESSAGES = {0, NULL, DEFAULT_NONE};

INT_PTR CALLBACK DirectoryBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&DIRECTORY_BROWSER_MESSAGES, window, message, wParam, lParam);
}
