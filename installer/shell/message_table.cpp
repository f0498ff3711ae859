// The message and command table dispatchers and the default step.
#include "shell/message_table.h"

INT_PTR callDefault(int kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (kind == DEFAULT_WINDOW)
        return DefWindowProcA(window, message, wParam, lParam);
    if (kind == DEFAULT_DIALOG)
        return DefDlgProcA(window, message, wParam, lParam);
    return 0;
}

INT_PTR dispatchMessageTable(const MessageTable *table, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
    for (int i = 0; i < table->count; i++) {
        if (table->rows[i].message == message)
            return table->rows[i].handler(window, message, wParam, lParam);
    }
    return callDefault(table->defaultKind, window, message, wParam, lParam);
}

INT_PTR dispatchCommandTable(const CommandTable *table, HWND window, WPARAM wParam, LPARAM lParam) {
    UINT commandId = LOWORD(wParam);
    for (int i = 0; i < table->count; i++) {
        if (table->rows[i].id == commandId)
            return table->rows[i].handler(window, commandId, HIWORD(wParam), lParam);
    }
    return callDefault(table->defaultKind, window, WM_COMMAND, wParam, lParam);
}
