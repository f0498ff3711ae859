// The copy page. Its template and handlers are not built yet: without the template the
// wizard cannot open the page and treats it as cancelled.
#include "pages/pages.h"
#include "shell/message_table.h"

static const MessageTable COPY_MESSAGES = {0, NULL, DEFAULT_NONE};

INT_PTR CALLBACK CopyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&COPY_MESSAGES, window, message, wParam, lParam);
}
