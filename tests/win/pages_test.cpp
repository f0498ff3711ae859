// The destination and copy pages opened in this process from the installer's own templates,
// driven between their messages by a timer on the same thread: the free-space limit and the
// empty folder name on the real destination page with the fields set after it opened; the
// progress strip of a real copy read back at its last steps; a quit message taken by the copy.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/setup_state.h"
#include "installed_system.h"
#include "installer_driver.h"
#include "installer_run.h"
#include "pages/pages.h"
#include "product_state.h"
#include "resources/resource.h"

namespace {

const char CAPTION[] = "Quillary - Setup";
const char NO_FOLDER_WARNING[] = "You were forgoten to select an directory";
const char LOW_SPACE_TEXT[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or "
    "remove some other program-s to free more disk space.";
const char CANCEL_QUESTION[] = "Are you sure you want to cancel the setup?";
const char SCRATCH_DIR[] = "C:\\quillary-win-pages";
const int RECORD_COUNT = 129;
const DWORD SCRIPT_TIMEOUT_MS = 20000;

// One step of a script: true when done (the next step follows at the next tick), false to be
// tried again.
typedef std::function<bool()> Step;

// The script the timer is working through; one at a time.
struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    DWORD started = 0;
    std::string failure;
};
Script *running = NULL;

// The visible dialogs of this thread (the page and any message box over it).
std::vector<driver::Window> dialogs() {
    std::vector<driver::Window> found;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM list) {
            char className[32] = "";
            GetClassNameA(hwnd, className, sizeof className);
            if (IsWindowVisible(hwnd) && lstrcmpA(className, "#32770") == 0)
                ((std::vector<driver::Window> *)list)->push_back(driver::Window(hwnd));
            return TRUE;
        },
        (LPARAM)&found);
    return found;
}

driver::MessageBox messageBox() {
    for (const driver::Window &w : dialogs())
        if (driver::looksLikeMessageBox(w))
            return driver::MessageBox(w.handle());
    return driver::MessageBox();
}

driver::Window page(int controlId) {
    for (const driver::Window &w : dialogs())
        if (!driver::looksLikeMessageBox(w) && w.hasControl(controlId))
            return w;
    return driver::Window();
}

// Runs between the dialogs' messages, message boxes included (their loops dispatch it too).
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    Script *script = running;
    if (!script || script->next >= script->steps.size())
        return;
    if (GetTickCount() - script->started > SCRIPT_TIMEOUT_MS) {
        script->failure = "step " + std::to_string(script->next + 1) + " did not come about";
        script->next = script->steps.size();
        for (const driver::Window &w : dialogs()) // give up: close boxes and the page
            EndDialog(w.handle(), 99);
        return;
    }
    Script *kept = running;
    running = NULL; // a step that opens a nested loop must not be re-entered
    if (kept->steps[kept->next]())
        kept->next++;
    running = kept;
}

// Opens the template with the procedure in this thread and works the steps through while it
// runs; returns its dialog result. Every control press is posted, so no step waits in a box.
INT_PTR runScripted(const char *templateName, DLGPROC procedure, std::vector<Step> steps,
                    std::string *failure) {
    Script script;
    script.steps = steps;
    script.started = GetTickCount();
    running = &script;
    UINT_PTR timer = SetTimer(NULL, 0, 10, tick);
    INT_PTR result = DialogBoxParamA(setup.instance, templateName, NULL, procedure, 0);
    KillTimer(NULL, timer);
    running = NULL;
    *failure = script.failure;
    if (failure->empty() && script.next < script.steps.size())
        *failure = "the page ended at step " + std::to_string(script.next + 1);
    return result;
}

void post(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

struct BoxSeen {
    std::string text, caption, icon;
    std::vector<int> buttons;
};

// A step that waits for a message box with its icon painted, records it and answers it.
Step answerBox(BoxSeen *seen, int answer) {
    return [seen, answer] {
        driver::MessageBox box = messageBox();
        // Asked without waiting: the box paints in this same thread, between the ticks.
        if (!box.handle() || box.icon(0) == driver::BoxIcon::OTHER)
            return false;
        seen->text = box.text();
        seen->caption = box.caption();
        seen->icon = driver::boxIconName(box.icon(0));
        seen->buttons = box.buttons();
        post(box.handle(), answer);
        return true;
    };
}

// Cancel on the page, then Yes to the question: the page ends with 1.
std::vector<Step> cancelSteps() {
    return {[] {
                if (messageBox().handle())
                    return false;
                post(page(IDC_INSTALL_DIR).handle(), IDCANCEL);
                return true;
            },
            [] {
                driver::MessageBox box = messageBox();
                if (!box.handle() || box.text() != CANCEL_QUESTION)
                    return false;
                post(box.handle(), IDYES);
                return true;
            }};
}

class InProcessPage : public ::testing::Test {
  protected:
    void SetUp() override {
        setup.instance = GetModuleHandleA(NULL);
        driver::removeTree(SCRATCH_DIR);
        ASSERT_TRUE(CreateDirectoryA(SCRATCH_DIR, NULL));
    }
    void TearDown() override { driver::removeTree(SCRATCH_DIR); }
};

} // namespace

// The page measured the real drive when it opened; freeKB is then set as the browser would set
// it after a drive change. 3697 is refused with the free-space box (Yes/No, both keep the page),
// 3698 goes on and creates the destination below baseDir.
TEST_F(InProcessPage, DestinationRefuses3697KilobytesAndAccepts3698) {
    for (unsigned int freeKB : {3697u, 3698u}) {
        SCOPED_TRACE(freeKB);
        driver::removeTree(std::string(SCRATCH_DIR) + "\\Quillary");
        BoxSeen seen;
        bool pageKept = false;
        std::vector<Step> steps = {[freeKB] {
            driver::Window destination = page(IDC_INSTALL_DIR);
            if (!destination.handle())
                return false;
            setup.freeKB = freeKB;
            lstrcpyA(setup.baseDir, SCRATCH_DIR);
            post(destination.handle(), IDOK);
            return true;
        }};
        if (freeKB < 3698) {
            steps.push_back(answerBox(&seen, IDNO));
            steps.push_back([&pageKept] {
                if (messageBox().handle())
                    return false;
                pageKept = page(IDC_INSTALL_DIR).visible();
                return true;
            });
            for (const Step &step : cancelSteps())
                steps.push_back(step);
        }
        std::string failure;
        INT_PTR result = runScripted("IDD_DIR", DestinationPageProc, steps, &failure);
        EXPECT_EQ(failure, "");
        std::string made = std::string(SCRATCH_DIR) + "\\Quillary";
        if (freeKB < 3698) {
            EXPECT_EQ(seen.text, LOW_SPACE_TEXT);
            EXPECT_EQ(seen.caption, CAPTION);
            EXPECT_EQ(seen.icon, "error");
            EXPECT_EQ(seen.buttons, (std::vector<int>{IDYES, IDNO}));
            EXPECT_TRUE(pageKept) << "the page stays open after the free-space box";
            EXPECT_EQ(result, 1) << "ended by the confirmed cancel";
            EXPECT_FALSE(driver::pathExists(made));
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(driver::pathExists(made)) << made;
        }
    }
}

// Browser left with the folder name emptied: Next warns and puts the focus on field 101.
TEST_F(InProcessPage, DestinationWithAnEmptyFolderNameWarnsAndFocusesTheField) {
    BoxSeen seen;
    bool focusOnField = false;
    std::vector<Step> steps = {[] {
                                   driver::Window destination = page(IDC_INSTALL_DIR);
                                   if (!destination.handle())
                                       return false;
                                   setup.folderName[0] = '\0';
                                   setup.freeKB = 3698;
                                   post(destination.handle(), IDOK);
                                   return true;
                               },
                               answerBox(&seen, IDOK),
                               [&focusOnField] {
                                   if (messageBox().handle())
                                       return false;
                                   HWND field =
                                       GetDlgItem(page(IDC_INSTALL_DIR).handle(), IDC_INSTALL_DIR);
                                   focusOnField = GetFocus() == field;
                                   return focusOnField;
                               }};
    for (const Step &step : cancelSteps())
        steps.push_back(step);
    std::string failure;
    INT_PTR result = runScripted("IDD_DIR", DestinationPageProc, steps, &failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(seen.text, NO_FOLDER_WARNING);
    EXPECT_EQ(seen.caption, CAPTION);
    EXPECT_EQ(seen.icon, "exclamation");
    EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(focusOnField) << "the focus is not on field 101";
    EXPECT_EQ(result, 1);
}

namespace {

// What a copy in this process showed: the paths in its status line, the strip as the latest of
// them was shown, and how it ended.
struct CopyWatch {
    HWND strip = NULL;
    std::string installDir;
    int pathsShown = 0;
    std::string lastPath;
    std::string finalPath;            // the last record's path, the page's last text
    std::vector<uint32_t> atLastPath; // the strip as the page ends
    int width = 0, height = 0;
    int quitAtPath = 0; // posts a quit message (code 7) when this path is shown; 0: never
};
CopyWatch *watch = NULL;

// The strip as the screen shows it, 0x00RRGGBB pixels, top row first.
std::vector<uint32_t> stripPixels(HWND strip, int *width, int *height) {
    RECT client;
    GetClientRect(strip, &client);
    MapWindowPoints(strip, NULL, (POINT *)&client, 2);
    driver::Capture shot = driver::captureRect(client);
    *width = shot.width;
    *height = shot.height;
    return shot.pixels;
}

// Sees every text the copy page puts into its status line, just before the line takes it.
LRESULT CALLBACK statusHook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && watch && call->message == WM_SETTEXT &&
        GetDlgCtrlID(call->hwnd) == IDC_COPY_STATUS && call->lParam) {
        std::string text = (const char *)call->lParam;
        if (text.compare(0, watch->installDir.size() + 1, watch->installDir + "\\") == 0) {
            watch->pathsShown++;
            watch->lastPath = text;
            if (watch->pathsShown == watch->quitAtPath)
                PostQuitMessage(7);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// As the page hides (its end), takes the strip as the screen shows it, waiting for its top row
// to fill: the screen may take a moment.
LRESULT CALLBACK pageHidingHook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    HWND strip = call ? GetDlgItem(call->hwnd, IDC_PROGRESS_STRIP) : NULL;
    if (code == HC_ACTION && watch && strip && call->message == WM_WINDOWPOSCHANGING &&
        (((const WINDOWPOS *)call->lParam)->flags & SWP_HIDEWINDOW) && watch->atLastPath.empty())
        driver::waitFor(
            [strip] {
                watch->atLastPath = stripPixels(strip, &watch->width, &watch->height);
                for (int x = 0; x < watch->width; x++)
                    if (watch->atLastPath[x] != 0x0000FF)
                        return false;
                return true;
            },
            2000);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// Runs the real copy page into SCRATCH_DIR\Quillary with the hook watching.
INT_PTR runCopyPage(CopyWatch *seen) {
    seen->installDir = std::string(SCRATCH_DIR) + "\\Quillary";
    std::vector<std::string> names = installed::manifestFileNames();
    seen->finalPath = names.empty() ? "" : seen->installDir + "\\" + names.back();
    CreateDirectoryA(seen->installDir.c_str(), NULL);
    lstrcpyA(setup.installDir, seen->installDir.c_str());
    watch = seen;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, statusHook, NULL, GetCurrentThreadId());
    HHOOK hiding = SetWindowsHookExA(WH_CALLWNDPROC, pageHidingHook, NULL, GetCurrentThreadId());
    INT_PTR result = DialogBoxParamA(setup.instance, "IDD_COPY", NULL, CopyPageProc, 0);
    UnhookWindowsHookEx(hiding);
    UnhookWindowsHookEx(hook);
    watch = NULL;
    return result;
}

const uint32_t BLUE = 0x0000FF, WHITE = 0xFFFFFF;

bool isBlue(uint32_t c) { return c == BLUE; }

} // namespace

// The strip of a whole real copy, painted at the page's own pace: the last file's path is shown
// before the page ends, and by then the strip's top row is blue over the whole width with the
// white percentage in its middle.
TEST_F(InProcessPage, CopyShowsTheLastFileAndTheFullStripAtTheEnd) {
    CopyWatch seen;
    INT_PTR result = runCopyPage(&seen);
    EXPECT_EQ(result, 0);
    EXPECT_GE(seen.pathsShown, 1);
    EXPECT_LE(seen.pathsShown, RECORD_COUNT);
    EXPECT_EQ(installed::countFiles(seen.installDir), RECORD_COUNT);
    ASSERT_FALSE(seen.finalPath.empty()) << "the product's manifest";
    EXPECT_EQ(seen.lastPath, seen.finalPath) << "the last file's name";
    ASSERT_GT(seen.width, RECORD_COUNT) << "a strip narrower than its steps";
    ASSERT_EQ(seen.atLastPath.size(), (size_t)seen.width * seen.height);
    int blueTop = 0, white = 0;
    for (int x = 0; x < seen.width; x++)
        blueTop += isBlue(seen.atLastPath[x]);
    for (uint32_t c : seen.atLastPath)
        white += c == WHITE;
    EXPECT_EQ(blueTop, seen.width) << "the top row is blue over the whole width";
    EXPECT_GT(white, 10) << "the percentage is drawn";
    for (int x = 0; x < seen.width / 3; x++) // the text lies in the middle third
        EXPECT_NE(seen.atLastPath[(seen.height / 2) * seen.width + x], WHITE) << x;
}

// A quit message taken by the copy page's pump stops the copy as a cancel and is posted again
// with its exit code for the process's own loop.
TEST_F(InProcessPage, CopyTakingAQuitMessagePostsItAgainAndStops) {
    CopyWatch seen;
    seen.quitAtPath = 1;
    INT_PTR result = runCopyPage(&seen);
    MSG quit;
    BOOL quitWaiting = PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(setup.copyFailed, 1);
    ASSERT_TRUE(quitWaiting) << "the quit message was swallowed";
    EXPECT_EQ(quit.wParam, 7u);
    EXPECT_EQ(installed::countFiles(seen.installDir), 0) << "the copy is taken back";
}
