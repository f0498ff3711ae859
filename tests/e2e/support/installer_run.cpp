// Whole installer runs: walks the pages, acts on the copy page, reads every message box.
#include "installer_run.h"

#include <string.h>

#include <psapi.h>

#include <algorithm>
#include <memory>

#include "resources/resource.h"

namespace driver {

static const char PAYLOAD_FILE[] = "filesdata.gz";
static const char ARCHIVE_FILE[] = "filesdata.dat";
static const int CMD_EXIT = 300;

void removeTree(const std::string &path) {
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

bool readWholeFile(const std::string &path, std::string *contents) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    contents->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got > 0)
        contents->append(buffer, got);
    CloseHandle(file);
    return true;
}

bool writeWholeFile(const std::string &path, const std::string &contents) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == contents.size();
}

bool pathExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string tempFilePath(const char *name) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof(folder), folder);
    return std::string(folder) + name;
}

double seconds() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Looks at the two temporary files every millisecond from its own thread, so a page that is busy
// (and answers no message) cannot hide a file that comes and goes meanwhile.
class TempFileWatcher {
  public:
    explicit TempFileWatcher(RunRecord *record) : record_(record) {
        stop_ = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread_ = CreateThread(NULL, 0, watch, this, 0, NULL);
    }
    ~TempFileWatcher() { finish(); }
    void finish() {
        if (!thread_)
            return;
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
        thread_ = NULL;
    }

  private:
    static DWORD WINAPI watch(void *parameter) {
        TempFileWatcher *self = (TempFileWatcher *)parameter;
        RunRecord *record = self->record_;
        const std::string payload = tempFilePath(PAYLOAD_FILE);
        const std::string archive = tempFilePath(ARCHIVE_FILE);
        do {
            WIN32_FILE_ATTRIBUTE_DATA payloadData;
            bool payloadThere =
                GetFileAttributesExA(payload.c_str(), GetFileExInfoStandard, &payloadData) != FALSE;
            record->sawTempPayload = record->sawTempPayload || payloadThere;
            if (!record->sawTempArchive && pathExists(archive)) {
                record->sawTempArchive = true;
                if (payloadThere)
                    record->payloadBytesWhenArchiveAppeared =
                        (long long)payloadData.nFileSizeHigh << 32 | payloadData.nFileSizeLow;
            }
        } while (WaitForSingleObject(self->stop_, 1) == WAIT_TIMEOUT);
        return 0;
    }
    RunRecord *record_;
    HANDLE stop_;
    HANDLE thread_;
};

static bool isAgreementPage(const Window &w) { return w.hasControl(IDC_AGREEMENT_TEXT); }
// The shortcut page has a Browse button and a path field of the same ids, and its desktop box.
static bool isDestinationPage(const Window &w) {
    return w.hasControl(IDC_BROWSE) && w.hasControl(IDC_INSTALL_DIR) &&
           !w.hasControl(IDC_DESKTOP_SHORTCUT);
}
static bool isCopyPage(const Window &w) {
    return w.hasControl(IDC_PROGRESS_STRIP) && w.hasControl(IDC_COPY_STATUS);
}

static MessageSeen readMessageBox(const MessageBox &box) {
    MessageSeen seen;
    seen.text = box.text();
    seen.caption = box.caption();
    seen.icon = box.icon();
    return seen;
}

// A box that went away meanwhile (closed by the program) is left alone.
static void answerMessageBox(const MessageBox &box, const MessageSeen &seen) {
    int answer = IDNO;
    if (box.hasButton(IDYES) && seen.text.find("allready exsist") != std::string::npos)
        answer = IDYES;
    else if (box.hasButton(IDOK))
        answer = IDOK;
    else if (box.hasButton(IDCANCEL))
        answer = IDCANCEL; // Retry and Cancel: the user gives up
    if (box.hasButton(answer))
        box.press(answer);
}

// The page's status line shows a file's path: the page is writing the files. (The page answers
// the question between two pieces of its work.)
static bool writingFiles(const Window &page) {
    HWND line = page.control(IDC_COPY_STATUS);
    return line && Window(line).title().find(":\\") != std::string::npos;
}

// Takes the copy action on the page once; returns whether it was taken.
static bool actOnCopyPage(const Window &page, CopyAction action) {
    switch (action) {
    case CopyAction::LET_IT_RUN:
        return true;
    case CopyAction::CANCEL_WHILE_WRITING:
        if (!writingFiles(page))
            return false;
        page.press(IDCANCEL);
        return true;
    case CopyAction::CLICK_CANCEL:
        page.press(IDCANCEL);
        return true;
    case CopyAction::PRESS_ESCAPE:
        page.pressEscape();
        return true;
    case CopyAction::PRESS_ENTER:
        page.pressEnter();
        return true;
    case CopyAction::CLOSE_MAIN_WINDOW:
    case CopyAction::EXIT_COMMAND:
        break;
    }
    if (!writingFiles(page))
        return false; // not working on the files yet
    HWND main = GetWindow(page.handle(), GW_OWNER);
    if (!main)
        return false;
    if (action == CopyAction::CLOSE_MAIN_WINDOW)
        PostMessageA(main, WM_CLOSE, 0, 0);
    else
        PostMessageA(main, WM_COMMAND, CMD_EXIT, 0);
    return true;
}

// The success message as the user reads it: the end of a whole installation.
static const char SUCCESS_TEXT[] = "Quillary was successfully installed";

// Seconds between two samples of the installer's memory while the copy page is up.
static const double MEMORY_SAMPLE_SECONDS = 0.025;

// Private bytes (under Wine: anonymous resident memory) while the copy page is up, the highest
// kept; with pageGone, also the peak working set the process reached by then.
static void sampleMemory(HANDLE process, RunRecord *record, bool pageGone) {
    PROCESS_MEMORY_COUNTERS memory = {};
    if (!GetProcessMemoryInfo(process, &memory, sizeof(memory)))
        return;
    record->peakPrivateBytes = std::max(record->peakPrivateBytes, memory.PagefileUsage);
    if (pageGone)
        record->peakWorkingSet = memory.PeakWorkingSetSize;
}

RunRecord runInstaller(const std::string &exe, const RunOptions &options) {
    RunRecord record;
    std::unique_ptr<TempFileWatcher> watcher;
    if (options.watchTempFiles)
        watcher.reset(new TempFileWatcher(&record));
    double startedAt = seconds();
    Installer installer = Installer::start(exe, "", options.arguments);
    std::vector<HWND> windowsSeen;
    double deadline = seconds() + options.timeoutMs / 1000.0;
    double copyShown = 0;
    double lastSample = 0;
    Window copyPage, statusPage;
    HWND lastBox = NULL;
    std::string lastSeen = "nothing";
    while (installer.running()) {
        if (seconds() > deadline) {
            record.failure = "the installer did not finish; last seen: " + lastSeen + "\n" +
                             installer.describeWindows();
            installer.kill();
            break;
        }
        if (options.watchStatus && statusPage.handle()) {
            HWND line = statusPage.control(IDC_COPY_STATUS);
            std::string status = line ? Window(line).title() : "";
            if (!line)
                statusPage = Window();  // the page is gone
            else if (!status.empty() && // unanswered, or the page is being torn down
                     (record.statusSeen.empty() || record.statusSeen.back() != status))
                record.statusSeen.push_back(status);
        }
        // Sampled every 25 ms, not at every look: each query costs the busy runtime time of its
        // own, and sampling at every look made the copy page measurably slower.
        if (copyPage.handle() && seconds() - lastSample >= MEMORY_SAMPLE_SECONDS) {
            sampleMemory(installer.process(), &record, false);
            lastSample = seconds();
        }
        if (copyPage.handle() && !copyPage.visible()) {
            copyPage = Window(); // the page has ended
            record.copyPageSeconds = seconds() - copyShown;
            sampleMemory(installer.process(), &record, true);
        }
        for (const Window &w : installer.windows()) {
            if (std::find(windowsSeen.begin(), windowsSeen.end(), w.handle()) ==
                windowsSeen.end()) {
                // The caption as the system keeps it: no message to a program that may be busy.
                char caption[256] = "";
                GetWindowTextA(w.handle(), caption, sizeof caption);
                windowsSeen.push_back(w.handle());
                record.windowsSeen.push_back(w.className() + " '" + caption + "'");
            }
            // The pages are told by their controls alone, before anything asks the program
            // for a text: the copy page answers no message while it works on a file.
            if (w.className() != "#32770")
                continue;
            if (isCopyPage(w)) {
                if (!record.sawCopyPage) {
                    copyShown = seconds();
                    record.copyShownSeconds = copyShown - startedAt;
                    record.sawCopyPage = true;
                    copyPage = w;
                    statusPage = w;
                    lastSeen = "the copy page";
                }
                if (!record.acted)
                    record.acted = actOnCopyPage(w, options.action);
            } else if (looksLikeMessageBox(w)) {
                if (w.handle() == lastBox)
                    continue; // answered already, still closing
                if (record.sawCopyPage && record.copySeconds < 0 && !copyPage.handle())
                    record.copySeconds = seconds() - copyShown;
                double found = seconds();
                MessageBox box(w.handle());
                MessageSeen seen = readMessageBox(box);
                if (!box.exists())
                    continue; // gone before it could be read: not a message the user saw
                record.messages.push_back(seen);
                if (seen.text == SUCCESS_TEXT && record.successSeconds < 0)
                    record.successSeconds = found - startedAt;
                lastSeen = "message \"" + seen.text + "\"";
                lastBox = w.handle();
                answerMessageBox(box, seen);
            } else if (isAgreementPage(w)) {
                if (!record.sawAgreement) {
                    record.sawAgreement = true;
                    record.agreementShownSeconds = seconds() - startedAt;
                    lastSeen = "the agreement page";
                    w.press(IDOK);
                }
            } else if (isDestinationPage(w)) {
                if (!record.sawDestination) {
                    record.sawDestination = true;
                    record.destinationShownSeconds = seconds() - startedAt;
                    PROCESS_MEMORY_COUNTERS memory = {};
                    if (GetProcessMemoryInfo(installer.process(), &memory, sizeof(memory)))
                        record.privateBeforeCopy = memory.PagefileUsage;
                    lastSeen = "the destination page";
                    w.press(IDOK);
                }
            } else if (record.sawCopyPage && !copyPage.handle() && record.copySeconds < 0) {
                // A page after the copy page: the next step of the wizard. Finish it with OK.
                record.copySeconds = seconds() - copyShown;
                record.shortcutShownSeconds = seconds() - startedAt;
                record.pagesAfterCopy++;
                lastSeen = "a page after the copy page";
                w.press(IDOK);
            }
        }
        Sleep(1);
    }
    GetExitCodeProcess(installer.process(), &record.exitCode);
    if (watcher)
        watcher->finish();
    return record;
}

RunRecord runSetup(const std::string &arguments) {
    RunOptions options;
    options.arguments = arguments;
    return runInstaller(environment("QUILLARY_INSTALLER"), options);
}

std::string messageList(const RunRecord &run) {
    std::string out;
    for (const auto &message : run.messages)
        out += message.text + "\n";
    return out.empty() ? "(no messages)" : out;
}

std::string readText(const std::string &path) {
    std::string text;
    return readWholeFile(path, &text) ? text : "<missing>";
}

std::string logLacks(const std::string &log, const std::string &line) {
    std::string text = readText(log);
    if (text.find(line) != std::string::npos)
        return "";
    const size_t shown = 1500;
    return "no \"" + line + "\" in:\n" +
           (text.size() > shown ? "..." + text.substr(text.size() - shown) : text);
}

} // namespace driver
