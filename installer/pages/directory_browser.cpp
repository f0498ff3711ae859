// Directory browser: the dialog the destination page's Browse button opens. The user picks a
// drive, walks its directory tree with the mouse or the keyboard and names the product folder;
// every step lands in SetupState at once, so OK and Cancel both keep what the user moved to.
#include <windows.h>

#include <commctrl.h>

#include "common/required_space.h"
#include "common/setup_state.h"
#include "pages/browser_moves.h"
#include "pages/destination_rules.h"
#include "pages/pages.h"
#include "resources/resource.h"
#include "shell/message_table.h"

static const char SPACE_LABEL_FORMAT[] = " Available: %lu KB, Required: %d KB";
static const char NO_NAME_WARNING[] = "You forget to select a directory";
static const char NO_NAME_CAPTION[] = "Warning";
static const char BAD_NAME_WARNING[] =
    "A folder name cannot contain any of the characters \\ / : * ? \" < > |, cannot be \".\" or "
    "\"..\", cannot end with a blank or a dot, and cannot be a device name such as CON, AUX or "
    "LPT1.";

// The simple beep of a refused name or move.
static const UINT SIMPLE_BEEP = 0xFFFFFFFF;

// The open dialog's folder-name field, list and drive box.
static HWND nameField;
static HWND directoryList;
static HWND driveBox;
// Set while the name handler writes the field itself, so that write is not taken for typing.
static int nameFieldGuard;
// The last folder name OK accepted (the product's when the browser opens): what the destination
// keeps when the field holds a name that is not a folder name.
static char lastValidName[FOLDER_NAME_MAX + 1];

// Writes the free space of the chosen drive and the space needed into label 103.
static void showSpaceLabel(HWND window) {
    wsprintfA(setup.messageText, SPACE_LABEL_FORMAT, (unsigned long)setup.freeKB, REQUIRED_KB);
    SetDlgItemTextA(window, IDC_SPACE_LABEL, setup.messageText);
}

static void listBaseDir(HWND window) {
    listDirectory(window, directoryList, setup.baseDir, LIST_MODE_DIRECTORY);
}

static INT_PTR DirectoryBrowserInit(HWND window, UINT, WPARAM, LPARAM) {
    nameField = GetDlgItem(window, IDC_FOLDER_NAME);
    directoryList = GetDlgItem(window, IDC_DIRECTORY_LIST);
    driveBox = GetDlgItem(window, IDC_DRIVE_BOX);
    for (int drive = 0; drive < setup.driveCount; drive++) {
        if (setup.driveRoots[drive][0] != '\0')
            SendMessageA(driveBox, CB_ADDSTRING, 0, (LPARAM)setup.driveRoots[drive]);
    }
    SendMessageA(driveBox, CB_SETCURSEL, (WPARAM)setup.selectedDrive, 0);
    showSpaceLabel(window);
    attachBrowserImages(directoryList);
    takeListKeys(directoryList);
    // The name goes back to the product's before the list is built, so the folder-name item and
    // field 102 show the name the field holds.
    lstrcpynA(setup.folderName, PRODUCT_NAME, PATH_BUFFER);
    lstrcpynA(lastValidName, PRODUCT_NAME, sizeof(lastValidName));
    listBaseDir(window);
    SetWindowTextA(nameField, PRODUCT_NAME);
    return TRUE;
}

// A double-click or Enter in the list opens the selected item (the go-up item goes up, the
// folder-name item goes into the folder not made yet), Backspace goes up; each refreshes the
// list and field 102, also when nothing moved. A move past the length limit is refused with the
// beep.
static INT_PTR DirectoryBrowserNotify(HWND window, UINT, WPARAM, LPARAM lParam) {
    const NMHDR *header = (const NMHDR *)lParam;
    if (header->idFrom == IDC_DIRECTORY_LIST &&
        answerListNotification(window, header, setup.baseDir, LIST_MODE_DIRECTORY) != 0)
        MessageBeep(SIMPLE_BEEP);
    return 0;
}

static INT_PTR DirectoryBrowserDriveChange(HWND window, UINT, UINT notificationCode, LPARAM) {
    if (notificationCode != CBN_SELENDOK)
        return 0;
    int position = (int)SendMessageA(driveBox, CB_GETCURSEL, 0, 0);
    if (position < 0 || position >= setup.driveCount)
        return 0;
    setup.selectedDrive = position;
    lstrcpynA(setup.baseDir, setup.driveRoots[position], PATH_BUFFER);
    CharUpperA(setup.baseDir);
    listBaseDir(window);
    updateFreeSpace(position);
    showSpaceLabel(window);
    return 0;
}

// folderName follows the field while it holds at most FOLDER_NAME_MAX characters; a longer text,
// typed or pasted, is refused whole: the last accepted name goes back in, with the beep.
static INT_PTR DirectoryBrowserNameUpdate(HWND, UINT, UINT notificationCode, LPARAM) {
    if (notificationCode != EN_UPDATE || nameFieldGuard)
        return 1;
    char text[PATH_BUFFER];
    GetWindowTextA(nameField, text, sizeof(text));
    if (lstrlenA(text) <= FOLDER_NAME_MAX) {
        lstrcpynA(setup.folderName, text, PATH_BUFFER);
        return 1;
    }
    nameFieldGuard = 1;
    SetWindowTextA(nameField, setup.folderName);
    MessageBeep(SIMPLE_BEEP);
    nameFieldGuard = 0;
    return 1;
}

// A name that is not one folder name ("..", "CON", "a:b", a trailing blank) would put the
// product somewhere else than the destination shows: the destination keeps its last valid name.
static int keepLastValidName() {
    if (setup.folderName[0] == '\0' || isFolderName(setup.folderName))
        return 0;
    lstrcpynA(setup.folderName, lastValidName, PATH_BUFFER);
    return 1;
}

// OK checks the name and the free space before it closes; Cancel closes at once. Neither
// restores anything but a name that is not a folder name: the drive, directory and name moved to
// stay in SetupState.
static INT_PTR DirectoryBrowserCommand(HWND window, UINT commandId, UINT, LPARAM) {
    if (commandId == IDCANCEL) {
        keepLastValidName();
        EndDialog(window, 0);
        return TRUE;
    }
    SendMessageA(nameField, WM_GETTEXT, FOLDER_NAME_MAX + 1, (LPARAM)setup.folderName);
    if (setup.folderName[0] == '\0') {
        MessageBoxA(window, NO_NAME_WARNING, NO_NAME_CAPTION, MB_ICONEXCLAMATION | MB_OK);
        SetFocus(nameField);
        return TRUE;
    }
    if (keepLastValidName()) {
        MessageBoxA(window, BAD_NAME_WARNING, NO_NAME_CAPTION, MB_ICONEXCLAMATION | MB_OK);
        SetFocus(nameField);
        return TRUE;
    }
    lstrcpynA(lastValidName, setup.folderName, sizeof(lastValidName));
    // A system folder or a link is refused here already, as a bad name is; a path too long to
    // join is left to the destination page's own message.
    char destination[PATH_BUFFER];
    if (joinDestination(destination, sizeof(destination), setup.baseDir, setup.folderName) == 0 &&
        refuseUnsafeDestination(window, destination)) {
        SetFocus(nameField);
        return TRUE;
    }
    if (setup.freeKB < (unsigned int)REQUIRED_KB) {
        // No caption of its own: the platform's default. Yes and No both keep the dialog.
        MessageBoxA(window, LOW_SPACE_WARNING, NULL, MB_ICONHAND | MB_YESNO);
        return TRUE;
    }
    EndDialog(window, 0);
    return TRUE;
}

static const CommandEntry DIRECTORY_BROWSER_COMMAND_ROWS[] = {
    {IDOK, DirectoryBrowserCommand},
    {IDCANCEL, DirectoryBrowserCommand},
    {IDC_FOLDER_NAME, DirectoryBrowserNameUpdate},
    {IDC_DRIVE_BOX, DirectoryBrowserDriveChange},
};
static const CommandTable DIRECTORY_BROWSER_COMMANDS = {
    TABLE_ROWS(DIRECTORY_BROWSER_COMMAND_ROWS), DIRECTORY_BROWSER_COMMAND_ROWS, DEFAULT_NONE};

static INT_PTR DirectoryBrowserDispatchCommand(HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&DIRECTORY_BROWSER_COMMANDS, window, wParam, lParam);
}

static const MessageEntry DIRECTORY_BROWSER_MESSAGE_ROWS[] = {
    {WM_COMMAND, DirectoryBrowserDispatchCommand},
    {WM_INITDIALOG, DirectoryBrowserInit},
    {WM_NOTIFY, DirectoryBrowserNotify},
};
static const MessageTable DIRECTORY_BROWSER_MESSAGES = {
    TABLE_ROWS(DIRECTORY_BROWSER_MESSAGE_ROWS), DIRECTORY_BROWSER_MESSAGE_ROWS, DEFAULT_NONE};

INT_PTR CALLBACK DirectoryBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&DIRECTORY_BROWSER_MESSAGES, window, message, wParam, lParam);
}
