// Start-menu folder browser: walks the Start-menu folder tree in place in programsDir; OK and
// Cancel both keep the folder reached.
#include <windows.h>

#include <commctrl.h>
#include <string.h>

#include "common/setup_state.h"
#include "pages/browser_moves.h"
#include "pages/pages.h"
#include "resources/resource.h"
#include "shell/message_table.h"

static void refreshList(HWND window) {
    listDirectory(window, GetDlgItem(window, IDC_FOLDER_LIST), setup.programsDir,
                  LIST_MODE_START_MENU);
}

static INT_PTR FolderBrowserInit(HWND window, UINT, WPARAM, LPARAM) {
    SetDlgItemTextA(window, IDC_GROUP_PATH, setup.programsDir);
    attachBrowserImages(GetDlgItem(window, IDC_FOLDER_LIST));
    refreshList(window);
    return TRUE;
}

// Goes into the item at position: its text is read back and appended to programsDir. The limit
// keeps the group path, the search pattern and the path shown within their buffers.
static void enterItem(HWND list, int position) {
    char name[LIST_TEXT_MAX + 1];
    if (readListItemText(list, position, name, sizeof(name)))
        browseDown(setup.programsDir, PATH_BUFFER, BROWSE_PATH_MAX, name, LIST_MODE_START_MENU);
}

// A double-click in the list goes up (the go-up item) or into the item selected; every
// double-click refreshes the list, also on empty space.
static INT_PTR FolderBrowserNotify(HWND window, UINT, WPARAM, LPARAM lParam) {
    const NMHDR *header = (const NMHDR *)lParam;
    if (header->idFrom != IDC_FOLDER_LIST || header->code != (UINT)NM_DBLCLK)
        return 0;
    HWND list = header->hwndFrom;
    int position = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (position >= 0 && position <= setup.lastItemIndex) {
        if (isGoUpItem(list, position)) {
            if (isBelowRoot(setup.programsDir, LIST_MODE_START_MENU))
                browseUp(setup.programsDir, LIST_MODE_START_MENU);
        } else {
            enterItem(list, position);
        }
    }
    refreshList(window);
    return 0;
}

static INT_PTR FolderBrowserClose(HWND window, UINT, UINT, LPARAM) {
    EndDialog(window, 0);
    return TRUE;
}

static const CommandEntry FOLDER_BROWSER_COMMAND_ROWS[] = {
    {IDOK, FolderBrowserClose},
    {IDCANCEL, FolderBrowserClose},
};
static const CommandTable FOLDER_BROWSER_COMMANDS = {TABLE_ROWS(FOLDER_BROWSER_COMMAND_ROWS),
                                                     FOLDER_BROWSER_COMMAND_ROWS, DEFAULT_NONE};

static INT_PTR FolderBrowserDispatchCommand(HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&FOLDER_BROWSER_COMMANDS, window, wParam, lParam);
}

static const MessageEntry FOLDER_BROWSER_MESSAGE_ROWS[] = {
    {WM_COMMAND, FolderBrowserDispatchCommand},
    {WM_INITDIALOG, FolderBrowserInit},
    {WM_NOTIFY, FolderBrowserNotify},
};
static const MessageTable FOLDER_BROWSER_MESSAGES = {TABLE_ROWS(FOLDER_BROWSER_MESSAGE_ROWS),
                                                     FOLDER_BROWSER_MESSAGE_ROWS, DEFAULT_NONE};

INT_PTR CALLBACK FolderBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&FOLDER_BROWSER_MESSAGES, window, message, wParam, lParam);
}
