// The installed product as a user meets it: its program started from the group's shortcut and
// by the registered open command, and its uninstaller started as the system's list of programs
// starts it, answered No and Yes, after files were deleted by hand, and followed by a second
// installation that must equal the first. And the uninstaller where someone works against it:
// DLLs planted in the temporary folder, an entry pointing at another folder, a linked folder in
// the installation, a file held open, and the unattended removal a script starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "installer_run.h"
#include "pages_driver.h"
#include "support/dll_markers.h"
#include "support/installed_system.h"
#include "support/product_state.h"
#include "support/program_runs.h"
#include "support/test_pictures.h"

using namespace pages;

namespace {

const DWORD COPY_TIMEOUT_MS = 60000;
const char VIEWER_CLASS[] = "QuillaryViewer";
const char UNINSTALL_CAPTION[] = "Quillary - Uninstall";
const char QUESTION[] = "Remove Quillary and all of its components?";
const char REMOVED[] = "Quillary was successfully removed from your computer.";
const char PICTURES[] = "C:\\users\\Public\\My Pictures";
const char REFUSED[] = "Quillary cannot be removed";
// How long the uninstaller's own file and folder may take to go once its process has ended.
const DWORD UNINSTALLER_GONE_MS = 10000;

// Everything of the product on the machine: each file below the installation folder with its
// contents, the group folder's and the desktop's links with their targets, and every value of
// the product's keys.
struct Footprint {
    std::map<std::string, std::string> files;
    std::map<std::string, std::string> links;
    std::string registry;
    bool operator==(const Footprint &other) const {
        return files == other.files && links == other.links && registry == other.registry;
    }
};

class InstalledProduct : public ::testing::Test {
  protected:
    void SetUp() override {
        programs = installed::shellFolder("Common Programs");
        desktop = installed::shellFolder("Common Desktop");
        ASSERT_FALSE(programs.empty()) << "the prefix has no all-users programs folder";
        ASSERT_FALSE(desktop.empty()) << "the prefix has no all-users desktop folder";
        group = programs + "\\Quillary";
        reset();
    }
    void TearDown() override {
        uninstaller.reset();
        for (const std::string &name : markers::onDemandNames())
            DeleteFileA((temporaryFolder() + "\\" + name + ".dll").c_str());
        markers::clear();
        reset();
    }
    void reset() {
        installed::closeShellWindows();
        installed::removeFolderLink(std::string(INSTALL_DIR) + "\\Brush");
        // The uninstaller's copies: a running program cannot delete its own file, so under Wine
        // (which never restarts) they would stay.
        for (const std::string &name : installed::folderEntries(temporaryFolder()))
            if (name.compare(0, 19, "Quillary-uninstall-") == 0)
                driver::removeTree(temporaryFolder() + "\\" + name);
        driver::removeTree(INSTALL_DIR);
        driver::removeTree(group);
        driver::removeTree(desktop + "\\Quillary.lnk");
        driver::removeTree(PICTURES);
        installed::deleteProductEntries();
    }

    // The whole installation to the proposed folder, with the desktop shortcut.
    void install() {
        Installer installer = startInstaller();
        Window destination = reachDestination(installer);
        destination.press(IDOK);
        Window page = installer.waitForWindow(
            driver::hasControls({IDOK, IDCANCEL, IDC_BROWSE, IDC_DESKTOP_SHORTCUT}),
            COPY_TIMEOUT_MS);
        HWND box = page.control(IDC_DESKTOP_SHORTCUT);
        PostMessageA(box, BM_CLICK, 0, 0);
        ASSERT_TRUE(
            driver::waitFor([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == 1; }, 5000));
        page.press(IDOK);
        installer.waitForMessageBox().answer(IDOK);
        installed::waitForShellWindow("Quillary");
        EXPECT_EQ(installer.waitForExit(), 0u);
        installed::closeShellWindows();
        ASSERT_EQ(installed::countFiles(INSTALL_DIR), 129);
    }

    Footprint footprint() {
        Footprint seen;
        for (const std::string &name : installed::listTree(INSTALL_DIR))
            driver::readWholeFile(std::string(INSTALL_DIR) + "\\" + name, &seen.files[name]);
        for (const std::string &link : {group + "\\Quillary.lnk", group + "\\Uninstall.lnk",
                                        group + "\\Readme.lnk", desktop + "\\Quillary.lnk"})
            if (installed::exists(link))
                seen.links[link] = installed::readLink(link).target;
        for (const char *key : {installed::APP_ENTRY, installed::PROGRAM_ENTRY,
                                installed::UNINSTALL_ENTRY, installed::DOCUMENT_CLASS})
            seen.registry += std::string(key) + "\n" + installed::describeKey(key);
        return seen;
    }

    // Starts the Uninstall entry's command line, with switches after it, as the system's list of
    // programs does.
    void startUninstallEntry(const std::string &switches = "") {
        std::string command =
            installed::registryText(installed::UNINSTALL_ENTRY, "UninstallString") + switches;
        uninstaller.reset(new programs::Started(command));
        EXPECT_TRUE(uninstaller->ok()) << command;
    }

    // Starts the uninstaller from its entry and waits for the question, whichever process asks.
    driver::MessageBox startUninstaller() {
        startUninstallEntry();
        HWND box = programs::waitForTopWindow(programs::messageBoxSaying(QUESTION));
        EXPECT_NE(box, (HWND)NULL) << programs::describeTopWindows();
        driver::MessageBox question(box);
        if (box != NULL) {
            EXPECT_EQ(question.caption(), UNINSTALL_CAPTION);
            EXPECT_EQ(question.buttons(), (std::vector<int>{IDYES, IDNO}));
            EXPECT_STREQ(driver::boxIconName(question.icon()), "question");
        }
        return question;
    }

    // Answers the uninstaller's next message box with OK and returns its text once the process
    // the entry started has ended with exitCode.
    std::string closingMessage(DWORD exitCode) {
        HWND box = programs::waitForTopWindow([](HWND window) {
            driver::MessageBox message(window);
            return driver::looksLikeMessageBox(message) && message.caption() == UNINSTALL_CAPTION &&
                   !message.text().empty() && message.text() != QUESTION;
        });
        if (box == NULL)
            return "<no closing message>\n" + programs::describeTopWindows();
        driver::MessageBox closing(box);
        std::string text = closing.text();
        closing.answer(IDOK);
        EXPECT_EQ(uninstaller->waitForExit(), exitCode) << text;
        return text;
    }

    std::string answerYes(const driver::MessageBox &question, DWORD exitCode = 0) {
        question.answer(IDYES);
        return closingMessage(exitCode);
    }

    // Runs the entry's command with /S, looking for a window of any uninstaller process every
    // 20 ms until it returns; its exit code.
    DWORD uninstallSilently() {
        startUninstallEntry(" /S");
        EXPECT_EQ(programs::windowsShownUntilExit(*uninstaller, "uninstall.exe"),
                  std::vector<std::string>{})
            << "windows shown by /S";
        return uninstaller->waitForExit(0);
    }

    static std::string temporaryFolder() {
        char temp[MAX_PATH];
        DWORD length = GetTempPathA(sizeof(temp), temp);
        if (length == 0 || length >= sizeof(temp))
            return "";
        return std::string(temp, length - 1);
    }

    // The uninstaller's own file and folder may go a moment after its process ended.
    void expectNothingOfTheProductBut(const std::vector<std::string> &left) {
        driver::waitFor(
            [&] {
                return installed::listTree(INSTALL_DIR) == left &&
                       (!left.empty() || !installed::exists(INSTALL_DIR));
            },
            UNINSTALLER_GONE_MS);
        EXPECT_EQ(installed::listTree(INSTALL_DIR), left);
        expectNoLinkNorKey();
    }

    // The group, the desktop link and every key of the product are gone.
    void expectNoLinkNorKey() {
        EXPECT_FALSE(installed::exists(group));
        EXPECT_FALSE(installed::exists(desktop + "\\Quillary.lnk"));
        for (const char *key : {installed::APP_ENTRY, installed::PROGRAM_ENTRY,
                                installed::UNINSTALL_ENTRY, installed::DOCUMENT_CLASS})
            EXPECT_FALSE(installed::keyExists(key)) << key;
    }

    std::string programs, desktop, group;
    std::unique_ptr<programs::Started> uninstaller;
};

} // namespace

TEST_F(InstalledProduct, StartsFromItsShortcutAndShowsTheDocumentItsOpenCommandNames) {
    install();

    // The group's shortcut, opened through the shell.
    HINSTANCE opened =
        ShellExecuteA(NULL, "open", (group + "\\Quillary.lnk").c_str(), NULL, NULL, SW_SHOWNORMAL);
    EXPECT_GT((INT_PTR)opened, 32);
    HWND window = programs::waitForTopWindow(programs::windowTitled("Quillary", VIEWER_CLASS));
    ASSERT_NE(window, (HWND)NULL) << "the shortcut started no Quillary window\n"
                                  << programs::describeTopWindows();
    EXPECT_TRUE(programs::closeAndWaitForExit(window));

    // The program's name alone, as typed into the system's Run box: its App Paths entry.
    opened = ShellExecuteA(NULL, "open", "Quillary.exe", NULL, NULL, SW_SHOWNORMAL);
    EXPECT_GT((INT_PTR)opened, 32);
    window = programs::waitForTopWindow(programs::windowTitled("Quillary", VIEWER_CLASS));
    ASSERT_NE(window, (HWND)NULL) << "the program's name alone started no Quillary window\n"
                                  << programs::describeTopWindows();
    EXPECT_TRUE(programs::closeAndWaitForExit(window));

    // The document type's open command, "%1" replaced by a path with blanks.
    CreateDirectoryA(PICTURES, NULL);
    std::string picture = std::string(PICTURES) + "\\four colours.bmp";
    ASSERT_TRUE(driver::writeWholeFile(picture, pictures::quadrantBitmap()));
    std::string command = installed::registryText(
        std::string(installed::DOCUMENT_CLASS) + "\\shell\\open\\command", "");
    size_t placeholder = command.find("%1");
    ASSERT_NE(placeholder, std::string::npos) << command;
    command.replace(placeholder, 2, picture);
    programs::Started viewer(command);
    ASSERT_TRUE(viewer.ok()) << command;
    window = programs::waitForTopWindow(programs::windowTitled("Quillary", VIEWER_CLASS));
    ASSERT_NE(window, (HWND)NULL) << command << "\n" << programs::describeTopWindows();
    EXPECT_EQ(pictures::waitForQuadrants(window), "") << command;
    EXPECT_TRUE(programs::closeAndWaitForExit(window));
}

TEST_F(InstalledProduct, UninstallerRemovesWhatWasInstalledAndNothingOfTheUsers) {
    install();
    std::string usersFile = std::string(INSTALL_DIR) + "\\My drawing.bmp";
    ASSERT_TRUE(driver::writeWholeFile(usersFile, pictures::quadrantBitmap()));
    Footprint before = footprint();
    ASSERT_EQ(before.links.size(), 4u) << "three group links and the desktop link";

    // No: nothing changes.
    driver::MessageBox question = startUninstaller();
    question.answer(IDNO);
    EXPECT_EQ(uninstaller->waitForExit(), 1u) << "the uninstaller did not end, or not with 1";
    EXPECT_TRUE(footprint() == before) << "answering No changed the installation";

    // Some files deleted by hand first: the rest goes without a word about them.
    for (const char *name : {"qfx.dll", "readme.wri", "Brush\\chalk.qbr", "Filter\\blur.8bf"})
        DeleteFileA((std::string(INSTALL_DIR) + "\\" + name).c_str());
    std::string text = answerYes(startUninstaller());
    EXPECT_EQ(text, std::string(REMOVED) +
                        "\n\nThese folders were left in place because they hold files that "
                        "Quillary did not install:\n" +
                        INSTALL_DIR);
    expectNothingOfTheProductBut({"My drawing.bmp"});
    EXPECT_TRUE(installed::exists(programs)) << "the programs folder itself stays";
}

TEST_F(InstalledProduct, InstallingAgainAfterUninstallingGivesTheSameInstallation) {
    install();
    Footprint first = footprint();
    EXPECT_EQ(answerYes(startUninstaller()), REMOVED);
    expectNothingOfTheProductBut({});
    EXPECT_FALSE(installed::exists(INSTALL_DIR));

    install();
    Footprint second = footprint();
    EXPECT_EQ(second.files.size(), first.files.size());
    EXPECT_TRUE(second.links == first.links);
    EXPECT_EQ(second.registry, first.registry);
    EXPECT_TRUE(second.files == first.files);
}

// Runs in the ctest entry e2e.planted-dlls, which sets the overrides.
TEST_F(InstalledProduct, UninstallerLoadsNoDllPlantedInTheTemporaryFolder) {
    install();
    ASSERT_TRUE(markers::nativeFirstInForce(markers::onDemandNames()))
        << "WINEDLLOVERRIDES lacks " << markers::nativeFirstEntry(markers::onDemandNames())
        << ": run this in the ctest entry e2e.planted-dlls";
    std::string temp = temporaryFolder();
    ASSERT_FALSE(temp.empty());
    markers::clear();
    ASSERT_TRUE(markers::plant(temp, markers::onDemandNames())) << temp;
    EXPECT_EQ(answerYes(startUninstaller()), REMOVED);
    expectNothingOfTheProductBut({});
    EXPECT_FALSE(installed::exists(INSTALL_DIR));
    EXPECT_EQ(markers::found(), std::vector<std::string>{}) << "DLLs loaded from " << temp;
}

TEST_F(InstalledProduct, UninstallerRefusesAnEntryThatNamesAnotherFolder) {
    install();
    const std::string other = "C:\\users\\Public\\Documents\\Drawings";
    driver::removeTree(other);
    ASSERT_TRUE(CreateDirectoryA(other.c_str(), NULL));
    const std::vector<std::string> usersFiles = {"Quillary.exe", "Quillary.hlp", "Readme.wri"};
    for (const std::string &name : usersFiles)
        ASSERT_TRUE(driver::writeWholeFile(other + "\\" + name, "the user's " + name));
    ASSERT_TRUE(installed::writeString(installed::UNINSTALL_ENTRY, "Progdir", other));
    Footprint before = footprint();

    startUninstallEntry();
    std::string text = closingMessage(1);
    EXPECT_EQ(text.find(REFUSED), 0u) << text;
    EXPECT_NE(text.find("Nothing was removed."), std::string::npos) << text;

    std::vector<std::string> left = installed::folderEntries(other);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, usersFiles);
    for (const std::string &name : usersFiles) {
        std::string contents;
        EXPECT_TRUE(driver::readWholeFile(other + "\\" + name, &contents));
        EXPECT_EQ(contents, "the user's " + name);
    }
    EXPECT_TRUE(footprint() == before) << "the installation, its links or its keys changed";
    driver::removeTree(other);
}

TEST_F(InstalledProduct, UninstallerLeavesALinkedFolderAndWhatItLeadsTo) {
    install();
    // The user has put a link to a folder of their own where the brushes were, holding files of
    // the same names as the installed ones.
    const std::string own = std::string(PICTURES) + "\\Brushes",
                      brushes = INSTALL_DIR + std::string("\\Brush");
    CreateDirectoryA(PICTURES, NULL);
    ASSERT_TRUE(CreateDirectoryA(own.c_str(), NULL));
    std::vector<std::string> names;
    for (const std::string &name : installed::manifestFileNames())
        if (name.compare(0, 6, "Brush\\") == 0)
            names.push_back(name.substr(6));
    ASSERT_FALSE(names.empty()) << "the payload has no Brush folder";
    for (const std::string &name : names)
        ASSERT_TRUE(driver::writeWholeFile(own + "\\" + name, "mine"));
    driver::removeTree(brushes);
    ASSERT_TRUE(installed::makeFolderLink(own, brushes))
        << "Wine does not show a host symbolic link as a reparse point here";

    std::string text = answerYes(startUninstaller(), 2);
    EXPECT_NE(text.find(brushes), std::string::npos) << text;
    EXPECT_EQ(text.find("successfully"), std::string::npos) << text;
    for (const std::string &name : names)
        EXPECT_TRUE(installed::exists(own + "\\" + name)) << name << " deleted through the link";
    EXPECT_TRUE(installed::keyExists(installed::UNINSTALL_ENTRY)) << "a partial removal keeps it";
    EXPECT_TRUE(installed::exists(std::string(INSTALL_DIR) + "\\uninstall.exe"));
    EXPECT_TRUE(installed::exists(brushes));
}

TEST_F(InstalledProduct, UninstallerKeepsTheEntryWhileAFileStaysAndFinishesOnASecondRun) {
    install();
    // As the payload names it.
    std::string held = std::string(INSTALL_DIR) + "\\readme.wri";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string text = answerYes(startUninstaller(), 2);
    CloseHandle(file);
    EXPECT_NE(text.find(held), std::string::npos) << text;
    for (const char *key : {installed::APP_ENTRY, installed::PROGRAM_ENTRY,
                            installed::UNINSTALL_ENTRY, installed::DOCUMENT_CLASS})
        EXPECT_TRUE(installed::keyExists(key)) << key;

    // Run again from the entry, as the system's list of programs would: now it all goes.
    EXPECT_EQ(answerYes(startUninstaller()), REMOVED);
    expectNothingOfTheProductBut({});
}

TEST_F(InstalledProduct, SilentUninstallShowsNothingAndHasRemovedAllWhenItReturns) {
    install();
    std::string progdir = installed::registryText(installed::UNINSTALL_ENTRY, "Progdir");
    ASSERT_TRUE(installed::writeString(installed::UNINSTALL_ENTRY, "Progdir", "C:\\windows"));
    Footprint before = footprint();
    EXPECT_EQ(uninstallSilently(), 1u) << "the Windows folder as the installation";
    EXPECT_TRUE(footprint() == before) << "a refused removal changed something";

    ASSERT_TRUE(installed::writeString(installed::UNINSTALL_ENTRY, "Progdir", progdir));
    EXPECT_EQ(uninstallSilently(), 0u);
    // At once: only the uninstaller's own file may still be there.
    std::vector<std::string> left = installed::listTree(INSTALL_DIR);
    EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"uninstall.exe"})
        << left.size() << " entries left, the first " << left.front();
    expectNoLinkNorKey();
    EXPECT_TRUE(
        driver::waitFor([] { return !installed::exists(INSTALL_DIR); }, UNINSTALLER_GONE_MS));
}
