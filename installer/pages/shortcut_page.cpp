// Shortcut page: writes the product's registry entries, makes the program group below a
// Start-menu folder with its three shortcuts and, when asked, a desktop shortcut.
#include <string.h>

#include "common/setup_log.h"
#include "common/setup_state.h"
#include "pages/pages.h"
#include "resources/resource.h"
#include "shell/message_table.h"
#include "system/registry.h"
#include "system/shortcut.h"

static const char CANCEL_SHORTCUTS_QUESTION[] = "Cancel creating the shortcuts?";
static const char CONFIRMATION_CAPTION[] = "Confirmation";
// Where the program group goes when the all-users programs folder cannot be read.
static const char FALLBACK_PROGRAMS_DIR[] = "C:";

// Joins installDir and name into out (PATH_BUFFER bytes); 1, out empty, when it would not fit.
static int installedFile(char *out, const char *name) {
    return joinRecordPath(out, PATH_BUFFER, setup.installDir, name, strlen(name));
}

// One shortcut to the installed file target in folder, named linkName. A target or link path
// that would not fit its buffer is left out; CreateShortcut refuses a link path the shell
// cannot take. The status is not looked at: a shortcut that cannot be made is simply missing.
static void makeShortcut(const char *target, const char *folder, const char *linkName,
                         const char *description) {
    char targetPath[PATH_BUFFER];
    char linkPath[PATH_BUFFER];
    if (installedFile(targetPath, target) != 0 ||
        joinGroupPath(linkPath, PATH_BUFFER, folder, linkName) != 0)
        return;
    HRESULT status = CreateShortcut(targetPath, linkPath, description);
    if (SUCCEEDED(status))
        SetupLog("Shortcut %s -> %s", linkPath, targetPath);
    else
        SetupLogError(linkPath, (DWORD)status);
}

// Whether the last writing of the registry entries wrote every value.
static int registered;

// The registry entries, written for Finish and for Cancel alike, every time either is pressed.
// Returns 0 when every value was written.
static int registerProduct(const char *groupPath) {
    char uninstaller[PATH_BUFFER];
    int missing = RegisterAppPath();
    installedFile(uninstaller, PRODUCT_UNINSTALLER);
    missing += RegisterUninstallEntry(uninstaller, groupPath);
    missing += RegisterDocumentType();
    registered = missing == 0;
    return missing != 0;
}

int productRegistered(void) { return registered; }

// The desktop shortcut, when the all-users desktop folder can be read into its 260 bytes.
static void makeDesktopShortcut(void) {
    char desktop[SHELL_PATH_BUFFER] = {0};
    if (ReadShellFolder("Common Desktop", desktop, sizeof(desktop)))
        makeShortcut(PRODUCT_PROGRAM, desktop, PROGRAM_LINK, PRODUCT_NAME);
}

// Finish: desktop shortcut, group folder, the three group shortcuts, then groupFolder. A group
// path too long for its buffer makes nothing and leaves groupFolder empty.
static void createShortcuts(int withDesktop, const char *groupPath) {
    if (withDesktop)
        makeDesktopShortcut();
    if (groupPath[0] == '\0')
        return;
    MakeDirectory(groupPath);
    makeShortcut(PRODUCT_PROGRAM, groupPath, PROGRAM_LINK, PRODUCT_NAME);
    makeShortcut(PRODUCT_UNINSTALLER, groupPath, UNINSTALL_LINK, "Uninstall");
    makeShortcut(PRODUCT_README, groupPath, README_LINK, "Readme");
    lstrcpynA(setup.groupFolder, groupPath, PATH_BUFFER);
}

void proposeProgramsDir(void) {
    memset(setup.programsDir, 0, sizeof(setup.programsDir));
    if (!ReadShellFolder("Common Programs", setup.programsDir, sizeof(setup.programsDir)))
        lstrcpynA(setup.programsDir, FALLBACK_PROGRAMS_DIR, PATH_BUFFER);
}

int finishShortcuts(int withDesktop) {
    char groupPath[PATH_BUFFER];
    joinGroupPath(groupPath, sizeof(groupPath), setup.programsDir, PRODUCT_NAME);
    int missing = registerProduct(groupPath);
    createShortcuts(withDesktop, groupPath);
    return missing;
}

static INT_PTR ShortcutPageInit(HWND window, UINT, WPARAM, LPARAM) {
    proposeProgramsDir();
    // Until the first Browse the field shows the programs folder itself.
    SetDlgItemTextA(window, IDC_SHORTCUT_PATH, setup.programsDir);
    return TRUE;
}

// Browse: the folder browser moves programsDir itself, by OK and Cancel alike; from now on the
// field shows the group folder that will be used.
static INT_PTR ShortcutPageBrowse(HWND window, UINT, UINT, LPARAM) {
    DialogBoxParamA(setup.instance, "IDD_BROWSE_SHORTCUT", window, FolderBrowserProc, 0);
    char groupPath[PATH_BUFFER];
    joinGroupPath(groupPath, sizeof(groupPath), setup.programsDir, PRODUCT_NAME);
    SetDlgItemTextA(window, IDC_SHORTCUT_PATH, groupPath);
    return 0;
}

// Finish and Cancel. Field 101 is never read: the group path comes from programsDir alone, so
// pressing the buttons again gives the same group.
static INT_PTR ShortcutPageCommand(HWND window, UINT commandId, UINT, LPARAM) {
    if (commandId == IDOK) {
        finishShortcuts(IsDlgButtonChecked(window, IDC_DESKTOP_SHORTCUT) == BST_CHECKED);
        EndDialog(window, 0);
        return 0;
    }
    char groupPath[PATH_BUFFER];
    joinGroupPath(groupPath, sizeof(groupPath), setup.programsDir, PRODUCT_NAME);
    registerProduct(groupPath);
    if (MessageBoxA(window, CANCEL_SHORTCUTS_QUESTION, CONFIRMATION_CAPTION,
                    MB_YESNO | MB_ICONQUESTION) == IDYES) {
        EndDialog(window, 1);
    }
    return 0;
}

static const CommandEntry SHORTCUT_COMMAND_ROWS[] = {
    {IDOK, ShortcutPageCommand},
    {IDCANCEL, ShortcutPageCommand},
    {IDC_BROWSE, ShortcutPageBrowse},
};
static const CommandTable SHORTCUT_COMMANDS = {TABLE_ROWS(SHORTCUT_COMMAND_ROWS),
                                               SHORTCUT_COMMAND_ROWS, DEFAULT_NONE};

static INT_PTR ShortcutPageDispatchCommand(HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&SHORTCUT_COMMANDS, window, wParam, lParam);
}

static const MessageEntry SHORTCUT_MESSAGE_ROWS[] = {
    {WM_COMMAND, ShortcutPageDispatchCommand},
    {WM_INITDIALOG, ShortcutPageInit},
    {WM_PAINT, paintPagePicture},
};
static const MessageTable SHORTCUT_MESSAGES = {TABLE_ROWS(SHORTCUT_MESSAGE_ROWS),
                                               SHORTCUT_MESSAGE_ROWS, DEFAULT_NONE};

INT_PTR CALLBACK ShortcutPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&SHORTCUT_MESSAGES, window, message, wParam, lParam);
}
