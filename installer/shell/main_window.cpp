// Setup entry and main window: class, borderless full-screen popup, message loop.
#include "shell/main_window.h"

#include <string.h>

#include "backdrop/backdrop.h"
#include "common/setup_state.h"
#include "resources/resource.h"
#include "shell/message_table.h"
#include "shell/wizard.h"

// GetCurrentDirectoryA is given 500 of the 512 characters of startDir.
static const DWORD START_DIR_LIMIT = 500;
// A result shorter than this is a drive root such as "C:\", stored without its backslash.
static const size_t DRIVE_ROOT_LENGTH = 4;

static INT_PTR MainWindowCreate(HWND window, UINT, WPARAM, LPARAM) {
    HDC dc = GetDC(window);
    setup.screenWidth = GetDeviceCaps(dc, HORZRES);
    setup.screenHeight = GetDeviceCaps(dc, VERTRES);
    setup.screenBits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(window, dc);

    setup.titleFont =
        createFont(TITLE_FONT_WEIGHT, 0, TITLE_FONT_HEIGHT, TITLE_FONT_CHARSET, TITLE_FONT_FACE);
    setup.backdropImage = buildBackdrop(window);
    SetWindowPos(window, NULL, 0, 0, setup.screenWidth, setup.screenHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    memset(setup.startDir, 0, sizeof(setup.startDir));
    GetCurrentDirectoryA(START_DIR_LIMIT, setup.startDir);
    if (strlen(setup.startDir) < DRIVE_ROOT_LENGTH)
        setup.startDir[2] = '\0';

    PostMessageA(window, WM_COMMAND, CMD_START_WIZARD, 0);
    return 0;
}

static INT_PTR MainWindowPaint(HWND window, UINT, WPARAM, LPARAM) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (setup.backdropImage)
        paintBackdrop(dc);
    EndPaint(window, &paint);
    return 0;
}

static INT_PTR MainWindowDestroy(HWND, UINT, WPARAM, LPARAM) {
    PostQuitMessage(0);
    return 0;
}

static INT_PTR MainWindowExit(HWND window, UINT, UINT, LPARAM) {
    DestroyWindow(window);
    return 0;
}

static const CommandEntry MAIN_COMMAND_ROWS[] = {
    {CMD_START_WIZARD, RunWizard},
    {CMD_EXIT, MainWindowExit},
};
static const CommandTable MAIN_COMMANDS = {TABLE_ROWS(MAIN_COMMAND_ROWS), MAIN_COMMAND_ROWS,
                                           DEFAULT_WINDOW};

static INT_PTR MainWindowCommand(HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&MAIN_COMMANDS, window, wParam, lParam);
}

static const MessageEntry MAIN_MESSAGE_ROWS[] = {
    {WM_CREATE, MainWindowCreate},
    {WM_COMMAND, MainWindowCommand},
    {WM_DESTROY, MainWindowDestroy},
    {WM_PAINT, MainWindowPaint},
};
static const MessageTable MAIN_MESSAGES = {TABLE_ROWS(MAIN_MESSAGE_ROWS), MAIN_MESSAGE_ROWS,
                                           DEFAULT_WINDOW};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&MAIN_MESSAGES, window, message, wParam, lParam);
}
