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
    takeListKeys(GetDlgItem(window, IDC_FOLDER_LIST));
    refreshList(window);
    return TRUE;
}

// A double-click or Enter in the list goes up (the go-up item) or into the item selected,
// Backspace goes up; each refreshes the list, also on empty space. The length limit keeps the
// group path, the search pattern and the path shown within their buffers.
static INT_PTR FolderBrowserNotify(HWND window, UINT, WPARAM, LPARAM lParam) {
    const NMHDR *header = (const NMHDR *)lParam;
    if (header->idFrom == IDC_FOLDER_LIST)
        answerListNotification(window, header, setup.programsDir, LIST_MODE_START_MENU);
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
