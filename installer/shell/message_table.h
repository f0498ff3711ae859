// Table-driven dispatch: every window and dialog procedure forwards to these.
#pragma once

#include <windows.h>

// What an unmatched message or command gets. Any other value is treated as DEFAULT_NONE.
enum DefaultKind {
    DEFAULT_NONE = 0,   // nothing: the dispatcher returns 0
    DEFAULT_WINDOW = 1, // DefWindowProcA, whose result is returned
    DEFAULT_DIALOG = 2  // DefDlgProcA, whose result is returned
};

typedef INT_PTR (*MessageHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
typedef INT_PTR (*CommandHandler)(HWND window, UINT commandId, UINT notificationCode,
                                  LPARAM lParam);

struct MessageEntry {
    UINT message;
    MessageHandler handler;
};

struct MessageTable {
    int count;
    const MessageEntry *rows;
    int defaultKind;
};

struct CommandEntry {
    WORD id;
    CommandHandler handler;
};

struct CommandTable {
    int count;
    const CommandEntry *rows;
    int defaultKind;
};

// Number of rows of a static table, for the count field.
#define TABLE_ROWS(rows) ((int)(sizeof(rows) / sizeof((rows)[0])))

// Calls the first row whose message equals message and returns its result; an unmatched
// message gets the table's default.
INT_PTR dispatchMessageTable(const MessageTable *table, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam);

// Matches the low word of wParam against the rows' ids; the handler receives the high word as
// the notification code. An unmatched command gets the default with wParam and lParam unchanged.
INT_PTR dispatchCommandTable(const CommandTable *table, HWND window, WPARAM wParam, LPARAM lParam);

INT_PTR callDefault(int kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
