// Starts programs by command line and finds their windows in any process.
#include "program_runs.h"

#include <psapi.h>

#include "installer_driver.h"

namespace programs {

Started::Started(const std::string &commandLine, const std::string &currentDir) : process_(NULL) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL,
                        currentDir.empty() ? NULL : currentDir.c_str(), &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
}

Started::~Started() {
    if (process_ == NULL)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

DWORD Started::waitForExit(DWORD timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    if (process_ != NULL && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_, &code);
    return code;
}

static BOOL CALLBACK collect(HWND window, LPARAM list) {
    if (IsWindowVisible(window))
        ((std::vector<HWND> *)list)->push_back(window);
    return TRUE;
}

std::vector<HWND> topWindows() {
    std::vector<HWND> windows;
    EnumWindows(collect, (LPARAM)&windows);
    return windows;
}

HWND waitForTopWindow(const std::function<bool(HWND)> &match, DWORD timeoutMs) {
    HWND found = NULL;
    driver::waitFor(
        [&] {
            for (HWND window : topWindows())
                if (match(window)) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

std::function<bool(HWND)> windowTitled(const std::string &title, const std::string &className) {
    return [=](HWND window) {
        driver::Window w(window);
        return w.title() == title && w.className() == className;
    };
}

std::function<bool(HWND)> messageBoxSaying(const std::string &textStart) {
    return [=](HWND window) {
        driver::MessageBox box(window);
        return driver::looksLikeMessageBox(box) &&
               box.text().compare(0, textStart.size(), textStart) == 0;
    };
}

std::vector<std::string> windowsOfProgram(const std::string &imageName) {
    std::vector<std::string> seen;
    for (HWND window : topWindows()) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        char path[MAX_PATH] = "";
        if (process != NULL) {
            GetModuleFileNameExA(process, NULL, path, sizeof(path));
            CloseHandle(process);
        }
        const char *name = strrchr(path, '\\');
        if (lstrcmpiA(name != NULL ? name + 1 : path, imageName.c_str()) == 0)
            seen.push_back(std::string(path) + ": " + driver::Window(window).describe());
    }
    return seen;
}

std::vector<std::string> windowsShownUntilExit(const Started &program, const std::string &imageName,
                                               DWORD timeoutMs) {
    std::vector<std::string> seen;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(program.handle(), 20) == WAIT_TIMEOUT &&
           GetTickCount() - start < timeoutMs)
        for (const std::string &window : windowsOfProgram(imageName))
            seen.push_back(window);
    return seen;
}

std::string describeTopWindows() {
    std::string text;
    for (HWND window : topWindows())
        text += driver::Window(window).describe() + "\n";
    return text;
}

bool waitForProcessOf(HWND window, DWORD timeoutMs) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == NULL)
        return !IsWindow(window);
    bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

bool closeAndWaitForExit(HWND window, DWORD timeoutMs) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process == NULL)
        return driver::waitFor([&] { return !IsWindow(window); }, timeoutMs);
    bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

} // namespace programs
