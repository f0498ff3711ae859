// The destination page. Its template and handlers are not built yet: without the template the
// wizard cannot open the page and treats it as cancelled.
#include "pages/pages.h"
#include "shell/message_table.h"

static const MessageTable DESTINATION_MESSAGES = {0, NULL, DEFAULT_NONE};

INT_PTR CALLBACK DestinationPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&DESTINATION_MESSAGES, window, message, wParam, lParam);
}
