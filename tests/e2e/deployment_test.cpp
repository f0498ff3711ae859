// Deployment as administrators and their tools meet it: a second installer started while one
// runs, the product's program running during an installation, an installation already on the
// machine (updated where it is, or moved), a newer version installed, and the Uninstall entry's
// values deployment tools read.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "pages_driver.h"
#include "support/installed_system.h"
#include "support/installer_run.h"
#include "support/product_state.h"
#include "support/program_runs.h"

using driver::Installer;
using driver::logLacks;
using driver::MessageBox;
using driver::messageList;
using driver::RunRecord;
using driver::runSetup;
using driver::Window;
using pages::RECORD_COUNT;

namespace {

const char *const DEFAULT_DIR = pages::INSTALL_DIR;
const char APPS_DIR[] = "C:\\Apps\\Quillary";
const char MOVED_DIR[] = "C:\\Apps\\Moved\\Quillary";
const char SCRATCH_DIR[] = "C:\\quillary-deploy-e2e";
const char RUNNING_MUTEX[] = "Global\\Quillary-Running";
const char ALREADY_RUNNING[] = "Quillary Setup is already running.";
const char PROGRAM_RUNNING[] = "Quillary is running. Close it, then press Retry.";

std::string logPath(const char *name) { return std::string(SCRATCH_DIR) + "\\" + name; }

// The product's program as a user leaves it open: Quillary.exe of the installation, its
// window up (and with it the mutex the program holds while it runs).
HWND startProgram(const programs::Started &program) {
    if (!program.ok())
        return NULL;
    return programs::waitForTopWindow(programs::windowTitled("Quillary", "QuillaryViewer"));
}

// A program that holds the product's mutex and has no window to close: one that will not end.
class StubbornProgram {
  public:
    StubbornProgram() : mutex_(CreateMutexA(NULL, FALSE, RUNNING_MUTEX)) {}
    ~StubbornProgram() { release(); }
    bool holding() const { return mutex_ != NULL; }
    void release() {
        if (mutex_ != NULL)
            CloseHandle(mutex_);
        mutex_ = NULL;
    }

  private:
    HANDLE mutex_;
};

class Deployment : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(driver::environment("QUILLARY_INSTALLER").empty());
        clean();
        CreateDirectoryA(SCRATCH_DIR, NULL);
    }
    void TearDown() override { clean(); }
    static void clean() {
        installed::undoInstallation(DEFAULT_DIR);
        driver::removeTree("C:\\Apps");
        driver::removeTree(SCRATCH_DIR);
    }
    // An unattended installation that must go through.
    static void installAt(const std::string &arguments) {
        RunRecord run = runSetup(arguments);
        ASSERT_EQ(run.exitCode, 0u) << run.failure;
    }
};

} // namespace

// While one installer shows its agreement page, a second one changes nothing and ends with
// 1618: unattended it shows nothing and logs why; interactive it says so, over no backdrop.
TEST_F(Deployment, SecondInstallerWhileOneShowsItsAgreementPageEndsWith1618) {
    Installer first = pages::startInstaller();
    first.waitForWindow(pages::agreementPage());

    std::string log = logPath("second.log");
    RunRecord unattended = runSetup("/S /LOG=" + log);
    EXPECT_EQ(unattended.exitCode, 1618u);
    EXPECT_TRUE(unattended.windowsSeen.empty());
    EXPECT_EQ(logLacks(log, ALREADY_RUNNING), "");
    EXPECT_EQ(installed::describeKey(installed::UNINSTALL_ENTRY), "");

    Installer second = pages::startInstaller();
    MessageBox box = second.waitForMessageBox();
    driver::waitFor([&] { return !box.text().empty(); }, 5000);
    pages::expectBox(box, ALREADY_RUNNING, driver::BoxIcon::EXCLAMATION, {IDOK});
    EXPECT_EQ(second.windows().size(), 1u) << "no backdrop, no page:\n" << second.describeWindows();
    box.answer(IDOK);
    EXPECT_EQ(second.waitForExit(), 1618u);
    EXPECT_TRUE(first.running()) << "the first installer goes on";
    EXPECT_FALSE(driver::pathExists(DEFAULT_DIR));
    first.kill();

    // Once the first has ended, an installer runs again.
    installAt("/S");
}

// The program left open from the installation: an unattended update closes it and installs,
// and leaves no backup folder; a program that will not end stops the run with nothing changed.
TEST_F(Deployment, UnattendedRunClosesTheRunningProgramOrChangesNothing) {
    installAt("/S");
    std::string program = std::string(DEFAULT_DIR) + "\\Quillary.exe";
    {
        programs::Started viewer("\"" + program + "\"");
        HWND window = startProgram(viewer);
        ASSERT_TRUE(window != NULL) << programs::describeTopWindows();
        std::string log = logPath("update.log");
        RunRecord run = runSetup("/S /LOG=" + log);
        EXPECT_EQ(run.exitCode, 0u) << driver::readText(log);
        EXPECT_EQ(viewer.waitForExit(0), 0u) << "the program was asked to close and has ended";
        EXPECT_EQ(installed::countFiles(DEFAULT_DIR), RECORD_COUNT);
        for (const std::string &name : installed::folderEntries(DEFAULT_DIR))
            EXPECT_NE(name.substr(0, 17), "~Quillary-backup-")
                << "a backup folder outlived the run";
    }

    std::string readme = std::string(DEFAULT_DIR) + "\\Readme.wri", text;
    ASSERT_TRUE(driver::readWholeFile(readme, &text));
    ASSERT_TRUE(driver::writeWholeFile(readme, text + "the user's note"));
    std::string before = installed::snapshotTree(DEFAULT_DIR),
                entries = installed::productEntries();
    StubbornProgram stubborn;
    ASSERT_TRUE(stubborn.holding());
    std::string log = logPath("stubborn.log");
    RunRecord refused = runSetup("/S /LOG=" + log);
    EXPECT_EQ(refused.exitCode, 2u);
    EXPECT_EQ(logLacks(log, "still running 10 seconds later: nothing was changed"), "");
    EXPECT_EQ(installed::snapshotTree(DEFAULT_DIR), before);
    EXPECT_EQ(installed::productEntries(), entries);
}

// Interactive: the question names the program and offers Retry and Cancel; Retry asks again
// while it runs and goes on once it has ended; Cancel is the usual cancel with nothing changed.
TEST_F(Deployment, InteractiveRunAsksToCloseTheProgramRetryGoesOnCancelChangesNothing) {
    installAt("/S");
    std::string before = installed::snapshotTree(DEFAULT_DIR);
    StubbornProgram running;
    ASSERT_TRUE(running.holding());
    RunRecord cancelled = runSetup("");
    std::string texts = messageList(cancelled);
    EXPECT_EQ(cancelled.exitCode, 1u) << texts;
    // The running program asked about after the existing folder, then the cancel message.
    EXPECT_NE(texts.find(std::string("\n") + PROGRAM_RUNNING + "\n" + pages::CANCEL_MESSAGE + "\n"),
              std::string::npos)
        << texts;
    EXPECT_FALSE(cancelled.sawCopyPage);
    EXPECT_EQ(installed::snapshotTree(DEFAULT_DIR), before);

    Installer installer = pages::startInstaller();
    Window destination = pages::reachDestination(installer);
    destination.press(IDOK);
    MessageBox exists = installer.waitForMessageBox();
    exists.answer(IDYES);
    MessageBox box = installer.waitForMessageBox();
    driver::waitFor([&] { return !box.text().empty(); }, 5000);
    pages::expectBox(box, PROGRAM_RUNNING, driver::BoxIcon::EXCLAMATION, {IDRETRY, IDCANCEL});
    box.answer(IDRETRY);
    MessageBox again = installer.waitForMessageBox();
    driver::waitFor([&] { return !again.text().empty(); }, 5000);
    EXPECT_EQ(again.text(), PROGRAM_RUNNING) << "asked again while the program still runs";
    running.release();
    again.answer(IDRETRY);
    Window shortcuts = installer.waitForWindow(driver::hasControl(IDC_DESKTOP_SHORTCUT), 30000);
    shortcuts.press(IDOK);
    MessageBox success = installer.waitForMessageBox();
    driver::waitFor([&] { return !success.text().empty(); }, 5000);
    EXPECT_EQ(success.text(), pages::SUCCESS_TEXT);
    success.answer(IDOK);
    EXPECT_EQ(installer.waitForExit(), 0u);
}

// An installation made with /D= is updated where it is: the page proposes its folder, and a
// plain /S installs there. /D= elsewhere moves it: the new copy whole, the old one's files gone,
// the user's own kept. The entry's values stay true through both.
TEST_F(Deployment, ExistingInstallationIsUpdatedWhereItIsAndMovedWhole) {
    installAt(std::string("/S /D=") + APPS_DIR);

    Installer interactive = pages::startInstaller();
    Window destination = pages::reachDestination(interactive);
    EXPECT_EQ(destination.text(IDC_INSTALL_DIR), APPS_DIR);
    interactive.kill();

    installAt("/S");
    EXPECT_FALSE(driver::pathExists(DEFAULT_DIR)) << "a second copy under Program files";
    EXPECT_EQ(installed::countFiles(APPS_DIR), RECORD_COUNT);
    std::string group = installed::shellFolder("Common Programs") + "\\Quillary";
    EXPECT_EQ(installed::productEntries(), installed::expectedEntries(APPS_DIR, group));

    std::string userFile = std::string(APPS_DIR) + "\\Gallerix\\my picture.bmp";
    ASSERT_TRUE(driver::writeWholeFile(userFile, "the user's own"));
    std::string log = logPath("move.log");
    RunRecord moved = runSetup(std::string("/S /LOG=") + log + " /D=" + MOVED_DIR);
    EXPECT_EQ(moved.exitCode, 0u) << driver::readText(log);
    EXPECT_EQ(installed::countFiles(MOVED_DIR), RECORD_COUNT);
    EXPECT_EQ(installed::listTree(APPS_DIR),
              (std::vector<std::string>{"Gallerix\\", "Gallerix\\my picture.bmp"}))
        << "only the user's file stays of the old installation";
    EXPECT_EQ(installed::productEntries(), installed::expectedEntries(MOVED_DIR, group));
}

// A newer version installed: an unattended run refuses to downgrade it, changes nothing and logs
// why; the same version installed is an ordinary reinstallation.
TEST_F(Deployment, NewerVersionInstalledIsNotDowngradedUnattended) {
    installAt("/S");
    ASSERT_TRUE(installed::writeString(installed::UNINSTALL_ENTRY, "DisplayVersion", "99.10.0"));
    std::string before = installed::snapshotTree(DEFAULT_DIR),
                entries = installed::productEntries();
    std::string log = logPath("downgrade.log");
    RunRecord run = runSetup("/S /LOG=" + log);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(logLacks(log, "Refused: Quillary 99.10.0 is installed, newer than this setup's "
                            "version " +
                                installed::productVersion()),
              "");
    EXPECT_EQ(installed::snapshotTree(DEFAULT_DIR), before);
    EXPECT_EQ(installed::productEntries(), entries);

    ASSERT_TRUE(installed::writeString(installed::UNINSTALL_ENTRY, "DisplayVersion",
                                       installed::productVersion()));
    installAt("/S");
}

// The Uninstall entry's quiet command, as deployment tools run it: it waits its turn behind a
// running installer (1618, nothing removed), closes the program left open and removes
// everything, and removes nothing while a program will not end.
TEST_F(Deployment, QuietUninstallWaitsForSetupAndClosesTheRunningProgram) {
    installAt("/S");
    std::string quiet = installed::registryText(installed::UNINSTALL_ENTRY, "QuietUninstallString");
    std::string before = installed::snapshotTree(DEFAULT_DIR);
    {
        Installer installer = pages::startInstaller();
        installer.waitForWindow(pages::agreementPage());
        programs::Started uninstall(quiet);
        EXPECT_EQ(uninstall.waitForExit(30000), 1618u);
        EXPECT_EQ(installed::snapshotTree(DEFAULT_DIR), before);
        installer.kill();
    }
    {
        StubbornProgram stubborn;
        ASSERT_TRUE(stubborn.holding());
        programs::Started uninstall(quiet);
        EXPECT_EQ(uninstall.waitForExit(30000), 2u);
        EXPECT_EQ(installed::snapshotTree(DEFAULT_DIR), before);
        EXPECT_NE(installed::describeKey(installed::UNINSTALL_ENTRY), "");
    }

    programs::Started viewer("\"" + std::string(DEFAULT_DIR) + "\\Quillary.exe\"");
    ASSERT_TRUE(startProgram(viewer) != NULL) << programs::describeTopWindows();
    programs::Started uninstall(quiet);
    EXPECT_EQ(uninstall.waitForExit(30000), 0u);
    EXPECT_EQ(viewer.waitForExit(0), 0u) << "the program was asked to close and has ended";
    EXPECT_TRUE(driver::waitFor([] { return !driver::pathExists(DEFAULT_DIR); }, 10000))
        << "left: " << installed::listTree(DEFAULT_DIR).size() << " entries";
    EXPECT_EQ(installed::describeKey(installed::UNINSTALL_ENTRY), "");
}
