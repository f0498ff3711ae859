// Starts programs by command line, as the shell and the system's list of programs do, and finds
// their windows whichever process shows them: the product's programs may hand over to another
// process (the uninstaller continues from a copy of itself).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace programs {

// A process started from a command line; the destructor ends it if it still runs.
class Started {
  public:
    explicit Started(const std::string &commandLine, const std::string &currentDir = "");
    Started(const Started &) = delete;
    Started &operator=(const Started &) = delete;
    ~Started();
    bool ok() const { return process_ != NULL; }
    // Waits for the process to end; its exit code, or STILL_ACTIVE on timeout.
    DWORD waitForExit(DWORD timeoutMs = 10000) const;
    HANDLE handle() const { return process_; }

  private:
    HANDLE process_;
};

// The visible top-level windows of every process, message boxes and dialogs included.
std::vector<HWND> topWindows();
// Waits up to timeoutMs for a visible top-level window that matches; NULL on timeout.
HWND waitForTopWindow(const std::function<bool(HWND)> &match, DWORD timeoutMs = 10000);
// Matchers: a window whose title and class are these; a message box whose text starts so.
std::function<bool(HWND)> windowTitled(const std::string &title, const std::string &className);
std::function<bool(HWND)> messageBoxSaying(const std::string &textStart);
// One line per visible top-level window of a process whose program file is named imageName
// (any case, any folder): the windows a program shows, whichever copy of it runs.
std::vector<std::string> windowsOfProgram(const std::string &imageName);
// The windows of imageName seen while program runs, looked for every 20 ms until it ends (at
// most timeoutMs): what a silent run showed, which must be nothing.
std::vector<std::string> windowsShownUntilExit(const Started &program, const std::string &imageName,
                                               DWORD timeoutMs = 60000);
// One line per visible top-level window, for failure messages.
std::string describeTopWindows();

// Closes a top-level window (WM_CLOSE) and waits for its process to end; false on timeout.
bool closeAndWaitForExit(HWND window, DWORD timeoutMs = 10000);
// Waits for the process that shows window to end; false on timeout.
bool waitForProcessOf(HWND window, DWORD timeoutMs = 10000);

} // namespace programs
