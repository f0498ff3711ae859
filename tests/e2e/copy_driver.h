// Drives the installer from outside, as a user would, through the agreement and destination
// pages to the copy page and whatever follows it, recording every message box on the way.
// Shared by the copy page's end-to-end tests and the copy page benchmark.
#pragma once

#include <string.h>
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace copydriver {

// What the user does once the copy page shows.
enum CopyAction {
    LET_IT_RUN,
    CLICK_CANCEL,
    PRESS_ESCAPE,
    PRESS_ENTER,
};

struct MessageSeen {
    std::string text;
    std::string caption;
    bool errorIcon; // the hand/stop icon of MB_ICONERROR
};

struct RunRecord {
    bool started = false;
    bool sawAgreement = false;
    bool sawDestination = false;
    bool sawCopyPage = false;
    std::vector<std::string> statusSeen; // distinct status lines, in order (when watched)
    int pagesAfterCopy = 0; // dialogs other than message boxes once the copy page had gone
    std::vector<MessageSeen> messages;
    double copySeconds = -1;     // copy page found -> next page or closing message found
    double copyPageSeconds = -1; // copy page found -> copy page gone
    double successSeconds = -1;  // installer started -> success message found
    // The installer's peak working set as the copy page goes, and the most private (under Wine:
    // anonymous resident) memory seen while the page was up, sampled as often as the driver looks
    // (Wine keeps no peak of it).
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPrivateBytes = 0;
    DWORD exitCode = STILL_ACTIVE;
    std::string failure; // what was awaited and not seen; empty when the run went through
};

inline double seconds() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Deletes path and, for a folder, everything below it, read-only files included.
inline void removeTree(const std::string &path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..")
                removeTree(path + "\\" + name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

inline std::string windowText(HWND window) {
    char text[2048] = "";
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 2000,
                        &length);
    return text;
}

struct Search {
    DWORD process;
    std::vector<HWND> dialogs;
};

inline BOOL CALLBACK collectDialog(HWND window, LPARAM context) {
    Search *search = (Search *)context;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof(className));
    if (owner == search->process && IsWindowVisible(window) && strcmp(className, "#32770") == 0)
        search->dialogs.push_back(window);
    return TRUE;
}

// The visible dialogs (pages and message boxes) of the process, topmost first.
inline std::vector<HWND> dialogsOf(DWORD process) {
    Search search = {process, {}};
    EnumWindows(collectDialog, (LPARAM)&search);
    return search.dialogs;
}

inline bool isMessageBox(HWND dialog) { return GetDlgItem(dialog, 0xFFFF) != NULL; }
inline bool isAgreementPage(HWND dialog) { return GetDlgItem(dialog, 151) != NULL; }
// The shortcut page has a Browse button (100) and a path field (101) too, and its desktop box.
inline bool isDestinationPage(HWND dialog) {
    return GetDlgItem(dialog, 100) != NULL && GetDlgItem(dialog, 101) != NULL &&
           GetDlgItem(dialog, 110) == NULL;
}
inline bool isCopyPage(HWND dialog) {
    return GetDlgItem(dialog, 214) != NULL && GetDlgItem(dialog, 215) != NULL;
}

inline void pressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

// A key press on the control that has the page's focus, through the page's own message loop.
inline void pressKey(HWND dialog, WPARAM key) {
    HWND target = GetDlgItem(dialog, IDCANCEL);
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// Counts the strongly red pixels of window as it shows on the screen: the error icon is a red
// disc, the other message-box icons are yellow or blue.
inline int redPixelsOnScreen(HWND window) {
    RECT rect;
    if (window == NULL || !GetWindowRect(window, &rect))
        return 0;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || width > 256 || height > 256)
        return 0;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ kept = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    int red = 0;
    const unsigned char *p = (const unsigned char *)bits;
    for (int i = 0; i < width * height; i++, p += 4) // blue, green, red, unused
        red += p[2] > 160 && p[1] < 100 && p[0] < 100;
    SelectObject(memory, kept);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return red;
}

inline MessageSeen readMessageBox(HWND box) {
    MessageSeen seen;
    seen.text = windowText(GetDlgItem(box, 0xFFFF));
    seen.caption = windowText(box);
    UpdateWindow(box);
    seen.errorIcon = redPixelsOnScreen(GetDlgItem(box, 1088)) > 20;
    return seen;
}

// Answers a message box: Yes to the question whether to install into an existing directory
// (the scenarios prepare that directory on purpose), OK to everything else.
inline void answerMessageBox(HWND box, const MessageSeen &seen) {
    if (GetDlgItem(box, IDYES) != NULL && seen.text.find("allready exsist") != std::string::npos)
        pressButton(box, IDYES);
    else if (GetDlgItem(box, IDOK) != NULL)
        pressButton(box, IDOK);
    else
        pressButton(box, IDNO);
}

// Runs the installer at exe to its end: "I Agree", "Next" on the proposed destination, then the
// copy action, answering every message box. Each wait gives up after timeoutSeconds. With
// watchStatus the copy page's status line is read as often as the page answers, until the page
// is destroyed (reading it slows the page down, so timings are not taken that way).
inline RunRecord runInstaller(const std::string &exe, CopyAction action, double timeoutSeconds = 60,
                              bool watchStatus = false) {
    RunRecord record;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + exe + "\"";
    double startedAt = seconds();
    if (!CreateProcessA(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process)) {
        record.failure = "the installer " + exe + " could not be started";
        return record;
    }
    record.started = true;
    double deadline = seconds() + timeoutSeconds;
    double copyShown = 0;
    HWND copyPage = NULL;
    HWND statusPage = NULL; // the copy page, until it is destroyed
    HWND lastBox = NULL;
    bool acted = false;
    std::string lastSeen = "nothing";
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        if (seconds() > deadline) {
            record.failure = "the installer did not finish; last seen: " + lastSeen;
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        std::vector<HWND> dialogs = dialogsOf(process.dwProcessId);
        if (watchStatus && statusPage != NULL) {
            std::string status =
                IsWindow(statusPage) ? windowText(GetDlgItem(statusPage, 215)) : "";
            if (!IsWindow(statusPage))
                statusPage = NULL;
            else if (!status.empty() && // unanswered, or the page is being torn down
                     (record.statusSeen.empty() || record.statusSeen.back() != status))
                record.statusSeen.push_back(status);
        }
        if (copyPage != NULL) {
            PROCESS_MEMORY_COUNTERS memory = {};
            if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory)))
                record.peakPrivateBytes = std::max(record.peakPrivateBytes, memory.PagefileUsage);
        }
        if (copyPage != NULL && (!IsWindow(copyPage) || !IsWindowVisible(copyPage))) {
            copyPage = NULL; // the page has ended
            record.copyPageSeconds = seconds() - copyShown;
            PROCESS_MEMORY_COUNTERS memory = {};
            if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory)))
                record.peakWorkingSet = memory.PeakWorkingSetSize;
        }
        for (HWND dialog : dialogs) {
            if (isMessageBox(dialog)) {
                if (dialog == lastBox)
                    continue; // answered already, still closing
                double found = seconds();
                if (record.sawCopyPage && record.copySeconds < 0 && copyPage == NULL)
                    record.copySeconds = seconds() - copyShown;
                MessageSeen seen = readMessageBox(dialog);
                record.messages.push_back(seen);
                if (seen.text == "Quillary was successfully installed" && record.successSeconds < 0)
                    record.successSeconds = found - startedAt;
                lastSeen = "message \"" + seen.text + "\"";
                lastBox = dialog;
                answerMessageBox(dialog, seen);
            } else if (isCopyPage(dialog)) {
                if (!record.sawCopyPage) {
                    copyShown = seconds();
                    record.sawCopyPage = true;
                    copyPage = dialog;
                    statusPage = dialog;
                    lastSeen = "the copy page";
                }
                if (!acted) {
                    acted = true;
                    if (action == CLICK_CANCEL)
                        pressButton(dialog, IDCANCEL);
                    else if (action == PRESS_ESCAPE)
                        pressKey(dialog, VK_ESCAPE);
                    else if (action == PRESS_ENTER)
                        pressKey(dialog, VK_RETURN);
                }
            } else if (isAgreementPage(dialog)) {
                if (!record.sawAgreement) {
                    record.sawAgreement = true;
                    lastSeen = "the agreement page";
                    pressButton(dialog, IDOK);
                }
            } else if (isDestinationPage(dialog)) {
                if (!record.sawDestination) {
                    record.sawDestination = true;
                    lastSeen = "the destination page";
                    pressButton(dialog, IDOK);
                }
            } else if (record.sawCopyPage && copyPage == NULL) {
                // A page after the copy page: the next step of the wizard. Finish it with OK.
                if (record.copySeconds < 0) {
                    record.copySeconds = seconds() - copyShown;
                    record.pagesAfterCopy++;
                    lastSeen = "a page after the copy page";
                    pressButton(dialog, IDOK);
                }
            }
        }
        Sleep(1);
    }
    GetExitCodeProcess(process.hProcess, &record.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return record;
}

} // namespace copydriver
