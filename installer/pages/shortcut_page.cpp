// The shortcut page. Its template and handlers are not built yet; the wizard does not look at
// this page's result, so without its template the installation still ends as a success.
#include "pages/pages.h"
#include "shell/message_table.h"

static const MessageTable SHORTCUT_MESSAGES = {0, NULL, DEFAULT_NONE};

INT_PTR CALLBACK ShortcutPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&SHORTCUT_MESSAGES, window, message, wParam, lParam);
}
