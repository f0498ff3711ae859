// The message and command table dispatchers, driven through real windows and dialogs.
#include <gtest/gtest.h>

#include <windows.h>

#include "shell/message_table.h"

namespace {

// What the handlers saw, so each case can check who was called and with what.
struct Call {
    int handler;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT commandId;
    UINT notificationCode;
};
Call lastCall;
LRESULT lastDefault; // what DefWindowProcA answered in the default-recording window

INT_PTR firstHandler(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    lastCall = {1, message, wParam, lParam, 0, 0};
    return 101;
}
INT_PTR secondHandler(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    lastCall = {2, message, wParam, lParam, 0, 0};
    return 102;
}
INT_PTR commandOne(HWND, UINT commandId, UINT notificationCode, LPARAM lParam) {
    lastCall = {11, WM_COMMAND, 0, lParam, commandId, notificationCode};
    return 111;
}
INT_PTR commandOneAgain(HWND, UINT commandId, UINT notificationCode, LPARAM lParam) {
    lastCall = {12, WM_COMMAND, 0, lParam, commandId, notificationCode};
    return 112;
}

const UINT MSG_A = WM_APP + 1;
const UINT MSG_B = WM_APP + 2;

const MessageEntry TWO_ROWS_SAME_MESSAGE[] = {{MSG_A, firstHandler}, {MSG_A, secondHandler}};
const CommandEntry COMMAND_ROWS[] = {{1, commandOne}, {1, commandOneAgain}};

HWND makeWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "DispatcherTestWindow";
        RegisterClassA(&windowClass);
        registered = true;
    }
    return CreateWindowExA(0, "DispatcherTestWindow", "test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                           NULL, NULL, GetModuleHandleA(NULL), NULL);
}

struct WindowGuard {
    HWND window = makeWindow();
    ~WindowGuard() { DestroyWindow(window); }
};

} // namespace

TEST(MessageDispatch, FirstMatchingRowWinsAndOthersGetTheDefault) {
    WindowGuard guard;
    MessageTable table = {2, TWO_ROWS_SAME_MESSAGE, DEFAULT_NONE};
    lastCall = {};
    EXPECT_EQ(dispatchMessageTable(&table, guard.window, MSG_A, 7, 8), 101);
    EXPECT_EQ(lastCall.handler, 1);
    EXPECT_EQ(lastCall.wParam, 7u);
    EXPECT_EQ(lastCall.lParam, 8);

    lastCall = {};
    EXPECT_EQ(dispatchMessageTable(&table, guard.window, MSG_B, 0, 0), 0);
    EXPECT_EQ(lastCall.handler, 0) << "an unlisted message must reach no handler";
}

TEST(MessageDispatch, CountOfZeroOrLessMatchesNothing) {
    WindowGuard guard;
    for (int count : {0, -1, -100}) {
        MessageTable table = {count, TWO_ROWS_SAME_MESSAGE, DEFAULT_NONE};
        lastCall = {};
        EXPECT_EQ(dispatchMessageTable(&table, guard.window, MSG_A, 1, 2), 0) << count;
        EXPECT_EQ(lastCall.handler, 0) << count;
    }
}

TEST(MessageDispatch, UnmatchedMessageGetsTheDefaultOfItsKind) {
    WindowGuard guard;
    // WM_GETTEXTLENGTH is answered by DefWindowProcA with the title's length (4 for "test").
    MessageTable windowTable = {0, NULL, DEFAULT_WINDOW};
    EXPECT_EQ(dispatchMessageTable(&windowTable, guard.window, WM_GETTEXTLENGTH, 0, 0), 4);
    MessageTable noneTable = {0, NULL, DEFAULT_NONE};
    EXPECT_EQ(dispatchMessageTable(&noneTable, guard.window, WM_GETTEXTLENGTH, 0, 0), 0);
    for (int unknownKind : {3, -1, 1000}) {
        MessageTable unknownTable = {0, NULL, unknownKind};
        EXPECT_EQ(dispatchMessageTable(&unknownTable, guard.window, WM_GETTEXTLENGTH, 0, 0), 0)
            << "an unknown kind must act as none: " << unknownKind;
    }
}

TEST(CommandDispatch, MatchesTheLowWordAndPassesTheNotificationCode) {
    WindowGuard guard;
    CommandTable table = {2, COMMAND_ROWS, DEFAULT_NONE};
    lastCall = {};
    EXPECT_EQ(dispatchCommandTable(&table, guard.window, MAKEWPARAM(1, 0x0400), 55), 111);
    EXPECT_EQ(lastCall.handler, 11) << "the first row with id 1 wins";
    EXPECT_EQ(lastCall.commandId, 1u);
    EXPECT_EQ(lastCall.notificationCode, 0x0400u);
    EXPECT_EQ(lastCall.lParam, 55);

    lastCall = {};
    EXPECT_EQ(dispatchCommandTable(&table, guard.window, MAKEWPARAM(2, 0), 0), 0);
    EXPECT_EQ(lastCall.handler, 0);
    CommandTable empty = {0, COMMAND_ROWS, DEFAULT_NONE};
    EXPECT_EQ(dispatchCommandTable(&empty, guard.window, MAKEWPARAM(1, 0), 0), 0);
    EXPECT_EQ(lastCall.handler, 0);
}

namespace {

// Records every call the program makes to DefWindowProcA, by patching the program's import of it.
struct DefaultCall {
    int count;
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
DefaultCall defaultCall;
FARPROC realDefWindowProc;

LRESULT WINAPI recordingDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    defaultCall = {defaultCall.count + 1, window, message, wParam, lParam};
    return ((WNDPROC)(void *)realDefWindowProc)(window, message, wParam, lParam);
}

// Swaps the import-table slot of USER32!DefWindowProcA in this executable; returns the old value.
FARPROC patchImport(FARPROC replacement) {
    HMODULE self = GetModuleHandleA(NULL);
    BYTE *base = (BYTE *)self;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    FARPROC target = GetProcAddress(GetModuleHandleA("user32.dll"), "DefWindowProcA");
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress);
         d->Name; d++) {
        for (IMAGE_THUNK_DATA *t = (IMAGE_THUNK_DATA *)(base + d->FirstThunk); t->u1.Function;
             t++) {
            FARPROC *slot = (FARPROC *)&t->u1.Function;
            if (*slot == target || *slot == (FARPROC)recordingDefWindowProc) {
                DWORD old;
                VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
                FARPROC previous = *slot;
                *slot = replacement;
                VirtualProtect(slot, sizeof(*slot), old, &old);
                return previous;
            }
        }
    }
    return NULL;
}

struct DefWindowProcRecorder {
    DefWindowProcRecorder() {
        realDefWindowProc = GetProcAddress(GetModuleHandleA("user32.dll"), "DefWindowProcA");
        patched = patchImport((FARPROC)recordingDefWindowProc) != NULL;
        defaultCall = {};
    }
    ~DefWindowProcRecorder() { patchImport(realDefWindowProc); }
    bool patched;
};

} // namespace

TEST(CommandDispatch, UnmatchedCommandReachesDefWindowProcUnchanged) {
    WindowGuard guard;
    DefWindowProcRecorder recorder;
    ASSERT_TRUE(recorder.patched) << "the import of DefWindowProcA was not found";
    CommandTable table = {2, COMMAND_ROWS, DEFAULT_WINDOW};
    const WPARAM wParam = MAKEWPARAM(77, 0x0300);
    const LPARAM lParam = (LPARAM)0x12345678;
    lastCall = {};
    dispatchCommandTable(&table, guard.window, wParam, lParam);
    EXPECT_EQ(lastCall.handler, 0);
    ASSERT_EQ(defaultCall.count, 1);
    EXPECT_EQ(defaultCall.window, guard.window);
    EXPECT_EQ(defaultCall.message, (UINT)WM_COMMAND);
    EXPECT_EQ(defaultCall.wParam, wParam);
    EXPECT_EQ(defaultCall.lParam, lParam);

    // A matched command and the none kind never reach it.
    dispatchCommandTable(&table, guard.window, MAKEWPARAM(1, 0), 0);
    CommandTable none = {2, COMMAND_ROWS, DEFAULT_NONE};
    dispatchCommandTable(&none, guard.window, wParam, lParam);
    EXPECT_EQ(defaultCall.count, 1);
}
