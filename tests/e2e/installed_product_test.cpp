// The installed product as a user meets it: its program started from the group's shortcut and
// by the registered open command, and its uninstaller started as the system's list of programs
// starts it, answered No and Yes, after files were deleted by hand, and followed by a second
// installation that must equal the first.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <map>
#include <string>
#include <vector>

#include "installer_run.h"
#include "pages_driver.h"
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
    void TearDown() override { reset(); }
    void reset() {
        installed::closeShellWindows();
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

    // Starts the Uninstall entry's command line as the system's list of programs does and
    // waits for the question, whichever process asks it.
    driver::MessageBox startUninstaller() {
        std::string command =
            installed::registryText(installed::UNINSTALL_ENTRY, "UninstallString");
        programs::Started run(command);
        EXPECT_TRUE(run.ok()) << command;
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

    // Answers Yes and returns the closing message's text once the uninstaller has ended.
    std::string answerYes(const driver::MessageBox &question) {
        question.answer(IDYES);
        HWND box = programs::waitForTopWindow([](HWND window) {
            driver::MessageBox message(window);
            return driver::looksLikeMessageBox(message) && message.caption() == UNINSTALL_CAPTION &&
                   !message.text().empty();
        });
        if (box == NULL)
            return "<no closing message>\n" + programs::describeTopWindows();
        driver::MessageBox closing(box);
        std::string text = closing.text();
        closing.answer(IDOK);
        EXPECT_TRUE(programs::waitForProcessOf(box)) << "the uninstaller did not end";
        return text;
    }

    void expectNothingOfTheProductBut(const std::vector<std::string> &left) {
        EXPECT_EQ(installed::listTree(INSTALL_DIR), left);
        EXPECT_FALSE(installed::exists(group));
        EXPECT_FALSE(installed::exists(desktop + "\\Quillary.lnk"));
        for (const char *key : {installed::APP_ENTRY, installed::PROGRAM_ENTRY,
                                installed::UNINSTALL_ENTRY, installed::DOCUMENT_CLASS})
            EXPECT_FALSE(installed::keyExists(key)) << key;
    }

    std::string programs, desktop, group;
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
    EXPECT_TRUE(programs::waitForProcessOf(question.handle())) << "the uninstaller did not end";
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
