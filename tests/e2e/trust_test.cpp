// What other users can prepare before an administrator runs setup, end to end: a link where the
// product would go, a link on the log's way, a destination that is a folder of the system or is
// typed in its short form. Each scenario checks that nothing was written through what was
// prepared, and what the caller is told.
#include "pages_driver.h"
#include "support/product_state.h"
#include "support/program_runs.h"

using namespace pages;

namespace {

const std::string ROOT = "C:\\quillary-trust";
// A folder of another user's, with files of the names the product installs.
const std::string OTHER = ROOT + "\\Other";
const char *const OTHERS_FILES[] = {"Quillary.ini", "uninstall.exe"};
const std::string LINK = ROOT + "\\Quillary";
const std::string LOG = ROOT + "\\setup.log";

using driver::readText;

// "" when the run's log holds line; else what failed, with the log's end.
std::string logHas(const std::string &line) { return driver::logLacks(LOG, line); }

class TrustBoundaries : public ::testing::Test {
  protected:
    void SetUp() override {
        clean();
        ASSERT_TRUE(CreateDirectoryA(ROOT.c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(OTHER.c_str(), NULL));
        for (const char *name : OTHERS_FILES)
            ASSERT_TRUE(driver::writeWholeFile(OTHER + "\\" + name, std::string("own ") + name));
        othersBefore = installed::snapshotTree(OTHER);
    }
    void TearDown() override { clean(); }
    void clean() {
        installed::closeShellWindows();
        for (const std::string &link : {LINK, std::string(INSTALL_DIR), ROOT + "\\Logs"})
            installed::removeFolderLink(link);
        driver::removeTree(ROOT);
        installed::undoInstallation(INSTALL_DIR);
    }

    // The other user's folder holds its own two files, unchanged, and nothing else.
    void expectOthersFolderUntouched() {
        EXPECT_EQ(installed::snapshotTree(OTHER), othersBefore);
        EXPECT_FALSE(installed::keyExists(installed::UNINSTALL_ENTRY));
    }
    std::string othersBefore;
};

} // namespace

TEST_F(TrustBoundaries, UnattendedRefusesADestinationThatIsALinkAndWritesNothingThrough) {
    ASSERT_TRUE(installed::makeFolderLink(OTHER, LINK));
    driver::RunRecord run = driver::runSetup("/S /LOG=" + LOG + " /D=" + LINK);
    EXPECT_EQ(run.failure, "");
    EXPECT_TRUE(run.windowsSeen.empty());
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(logHas(LINK + " is a junction or symbolic link"), "");
    expectOthersFolderUntouched();

    // A link as the parent of the destination leads there just as well.
    run = driver::runSetup("/S /LOG=" + LOG + " /D=" + LINK + "\\Quillary");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(logHas(LINK + " is a junction or symbolic link"), "");
    EXPECT_FALSE(installed::exists(OTHER + "\\Quillary"));
    expectOthersFolderUntouched();
}

TEST_F(TrustBoundaries, DestinationPageAndBrowserRefuseALinkNamingIt) {
    ASSERT_TRUE(installed::makeFolderLink(OTHER, INSTALL_DIR));
    const std::string refusal = std::string(INSTALL_DIR) +
                                " is a junction or symbolic link that leads to another place. "
                                "Select another installation directory.";
    Installer installer = startInstaller();
    Window page = reachDestination(installer);

    // The browser's OK, on the proposed folder that is the link.
    page.press(IDC_BROWSE);
    Window browser = installer.waitForWindow(driver::hasControls({IDOK, IDC_FOLDER_NAME}));
    browser.press(IDOK);
    MessageBox box = installer.waitForMessageBox();
    expectBox(box, refusal, BoxIcon::EXCLAMATION, {IDOK});
    box.answer(IDOK);
    ASSERT_TRUE(driver::settled(browser.handle()));
    EXPECT_TRUE(browser.visible()) << "the browser closed on a link";
    browser.press(IDCANCEL);
    browser.waitUntilGone();

    // Next on the page itself.
    page.press(IDOK);
    box = installer.waitForMessageBox();
    expectBox(box, refusal, BoxIcon::EXCLAMATION, {IDOK});
    box.answer(IDOK);
    ASSERT_TRUE(driver::settled(page.handle()));
    EXPECT_TRUE(page.visible()) << "the page went on past a link";
    installer.kill();
    expectOthersFolderUntouched();
}

TEST_F(TrustBoundaries, TheLogIsNotWrittenThroughALinkAndTheInstallationGoesOn) {
    // C:\...\Logs leads to the other user's folder, which holds a file of the log's name.
    ASSERT_TRUE(driver::writeWholeFile(OTHER + "\\setup.log", "own log"));
    ASSERT_TRUE(installed::makeFolderLink(OTHER, ROOT + "\\Logs"));
    driver::RunRecord run = driver::runSetup("/S /LOG=" + ROOT + "\\Logs\\setup.log");
    EXPECT_EQ(run.failure, "");
    EXPECT_EQ(run.exitCode, 0u) << "a log that is not written changes no exit code";
    EXPECT_EQ(readText(OTHER + "\\setup.log"), "own log");
    EXPECT_EQ(installed::registryText(installed::UNINSTALL_ENTRY, "Progdir"), INSTALL_DIR);
}

TEST_F(TrustBoundaries, UnattendedRefusesTheSystemsFolders) {
    char windowsDir[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windowsDir, MAX_PATH), 0u);
    std::string programFiles =
        installed::registryText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    for (const std::string &folder :
         {std::string(windowsDir), programFiles, std::string("C:\\Program files")}) {
        std::vector<std::string> before = installed::listTree(folder);
        driver::RunRecord run = driver::runSetup("/S /LOG=" + LOG + " /D=" + folder);
        EXPECT_EQ(run.exitCode, 2u) << folder;
        EXPECT_EQ(logHas("refused: the Windows folder, a system folder or a Program Files folder "
                         "itself"),
                  "")
            << folder;
        EXPECT_FALSE(installed::exists(folder + "\\Quillary.exe")) << folder;
        EXPECT_FALSE(installed::keyExists(installed::UNINSTALL_ENTRY)) << folder;
    }
}

TEST_F(TrustBoundaries, AShortFormDestinationIsInstalledInItsLongFormAndUninstalls) {
    const std::string longFolder = ROOT + "\\A Rather Long Folder Name";
    ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), NULL));
    char shortForm[MAX_PATH];
    DWORD length = GetShortPathNameA(longFolder.c_str(), shortForm, sizeof(shortForm));
    ASSERT_GT(length, 0u);
    ASSERT_NE(std::string(shortForm), longFolder) << "no 8.3 name for the folder";
    const std::string installDir = longFolder + "\\Quillary";

    driver::RunRecord run =
        driver::runSetup("/S /LOG=" + LOG + " /D=" + std::string(shortForm) + "\\Quillary");
    EXPECT_EQ(run.exitCode, 0u) << readText(LOG);
    EXPECT_EQ(installed::registryText(installed::UNINSTALL_ENTRY, "Progdir"), installDir);
    std::string command = installed::registryText(installed::UNINSTALL_ENTRY, "UninstallString");
    ASSERT_EQ(command, "\"" + installDir + "\\uninstall.exe\"");

    // Silent, also with an argument in quotes before /S: nothing shown, everything removed.
    programs::Started uninstaller(command + " \"x\" /S");
    ASSERT_TRUE(uninstaller.ok());
    EXPECT_EQ(programs::windowsShownUntilExit(uninstaller, "uninstall.exe"),
              std::vector<std::string>{})
        << "windows shown by /S";
    EXPECT_EQ(uninstaller.waitForExit(0), 0u);
    EXPECT_FALSE(installed::keyExists(installed::UNINSTALL_ENTRY));
    EXPECT_TRUE(driver::waitFor([&] { return !installed::exists(installDir); }, 10000))
        << "left: " << installed::listTree(installDir).size() << " entries";
}

const char UNINSTALL_PARENT[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

TEST_F(TrustBoundaries, ExitCodeZeroOnlyWhenTheRegistryEntriesWereWritten) {
    driver::RunRecord run, interactive;
    {
        installed::RegistryKeyLock lock(UNINSTALL_PARENT, KEY_WRITE);
        ASSERT_TRUE(lock.locked()) << "the Uninstall key could not be made unwritable";
        run = driver::runSetup("/S /LOG=" + LOG);
        interactive = driver::runSetup("");
    }
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(logHas("Installation failed: the registry entries were not all written"), "");
    EXPECT_FALSE(installed::keyExists(installed::UNINSTALL_ENTRY));
    EXPECT_EQ(interactive.failure, "");
    EXPECT_EQ(interactive.exitCode, 2u) << "the interactive run said it installed";
}
