// Copy page: the face of the copy engine on the screen. It shows the engine's steps and the file
// being written in its status line and progress strip, painting at most about 30 times a second
// whatever the file count, and looks at the message queue often enough that Cancel is answered
// at once. Its dialog result is copyFailed: 0 when every file was written.
#include <string.h>

#include "common/paths.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "pages/pages.h"
#include "payload/copy_engine.h"
#include "payload/progress_bar.h"
#include "resources/resource.h"
#include "shell/message_table.h"

enum {
    CMD_START_COPY = 4445,  // posted to itself by CopyPageInit: the work starts from the dialog's
                            // own loop, once the page is visible
    PAINT_INTERVAL_MS = 33, // at most about 30 paints a second
    PUMP_INTERVAL_MS = 10,  // the queue is looked at least this often while files are written
};

// What the page shows and when it last showed it.
struct CopyPageView {
    HWND page;
    HWND status;
    char pendingPath[RECORD_PATH_BUFFER]; // the file being written, not shown yet; or empty
    int stripBehind;                      // the strip has steps not painted yet
    DWORD lastPaint;
    DWORD lastPump;
    DWORD longestWait; // the longest time between two looks at the queue, for the log
};

static CopyPageView view;

// Shows the file being written and the strip as they stand now.
static void paintProgress() {
    if (view.stripBehind)
        ProgressBarPaint();
    view.stripBehind = 0;
    if (view.pendingPath[0] != '\0') {
        SetWindowTextA(view.status, view.pendingPath);
        UpdateWindow(view.status);
    }
    view.pendingPath[0] = '\0';
    view.lastPaint = GetTickCount();
}

// Handles every message waiting for the thread, the page's keys through the dialog manager, and
// stops as soon as one of them was a cancel. The page may be gone afterwards (its owner, the main
// window, was closed): that stops the copy like a cancel. A quit message belongs to the
// process's own loop: it is posted again with its exit code, and the copy stops.
static void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage((int)message.wParam);
            setup.copyFailed = 1;
            return;
        }
        if (!IsDialogMessageA(view.page, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!IsWindow(view.page))
            setup.copyFailed = 1;
        if (setup.copyFailed)
            return;
    }
}

static void showPhase(void *, const char *text) {
    paintProgress();
    SetWindowTextA(view.status, text);
    UpdateWindow(view.status);
}

static void noteFile(void *, const char *path) {
    lstrcpynA(view.pendingPath, path, sizeof(view.pendingPath));
}

static void noteStep(void *) {
    ProgressBarAdvance();
    view.stripBehind = 1;
}

// Between two pieces of work: paints when a frame is due, looks at the queue when its interval
// has passed. Nonzero when the copy is to stop.
static int pollPage(void *) {
    DWORD now = GetTickCount();
    if (now - view.lastPaint >= PAINT_INTERVAL_MS)
        paintProgress();
    if (now - view.lastPump >= PUMP_INTERVAL_MS) {
        if (now - view.lastPump > view.longestWait)
            view.longestWait = now - view.lastPump;
        pumpMessages();
        view.lastPump = GetTickCount();
    }
    return setup.copyFailed;
}

static void showFailure(void *, const char *text) {
    MessageBoxA(view.page, text, NULL, MB_OK | MB_ICONERROR);
}

static INT_PTR CopyPageInit(HWND page, UINT, WPARAM, LPARAM) {
    PostMessageA(page, WM_COMMAND, CMD_START_COPY, 0);
    return 1;
}

static INT_PTR CopyPageCancel(HWND, UINT, UINT, LPARAM) {
    if (!setup.copyFailed)
        SetupLog("Copy cancelled by the user");
    setup.copyFailed = 1;
    return 1;
}

// Runs the copy with this page as its observer; the last file's name and the whole strip are
// on the screen before the page ends.
static INT_PTR CopyPageRun(HWND page, UINT, UINT, LPARAM) {
    memset(&view, 0, sizeof(view));
    view.page = page;
    view.status = GetDlgItem(page, IDC_COPY_STATUS);
    view.lastPaint = view.lastPump = GetTickCount();
    ProgressBarInit(GetDlgItem(page, IDC_PROGRESS_STRIP), copyStepTotal());
    const CopyObserver observer = {showPhase, noteFile, noteStep, pollPage, showFailure, NULL};
    int failed = CopyPayload(&observer);
    paintProgress();
    // A look at the queue, taking nothing: some systems (Wine) put what was painted through the
    // strip's own device context on the screen only then.
    MSG waiting;
    PeekMessageA(&waiting, NULL, 0, 0, PM_NOREMOVE);
    SetupLog("Copy page: the messages waited at most %lu ms", (unsigned long)view.longestWait);
    ProgressBarDone();
    EndDialog(page, failed);
    return 0;
}

static const CommandEntry COPY_COMMAND_ROWS[] = {
    {CMD_START_COPY, CopyPageRun},
    {IDCANCEL, CopyPageCancel},
};
static const CommandTable COPY_COMMANDS = {TABLE_ROWS(COPY_COMMAND_ROWS), COPY_COMMAND_ROWS,
                                           DEFAULT_NONE};

static INT_PTR CopyPageCommand(HWND page, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&COPY_COMMANDS, page, wParam, lParam);
}

static const MessageEntry COPY_MESSAGE_ROWS[] = {
    {WM_COMMAND, CopyPageCommand},
    {WM_INITDIALOG, CopyPageInit},
    {WM_PAINT, paintPagePicture},
};
static const MessageTable COPY_MESSAGE_TABLE = {TABLE_ROWS(COPY_MESSAGE_ROWS), COPY_MESSAGE_ROWS,
                                                DEFAULT_NONE};

INT_PTR CALLBACK CopyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&COPY_MESSAGE_TABLE, window, message, wParam, lParam);
}
