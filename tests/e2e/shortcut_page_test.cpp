// The shortcut page and the Start-menu folder browser end to end: the real installer driven to
// its last page as a user would, then the registry entries, the shortcut files, the success
// message and the shell window for the program group checked from outside.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installer_run.h"
#include "pages_driver.h"
#include "support/installed_system.h"
#include "support/list_view.h"

using namespace pages;

namespace {

const char CANCEL_SHORTCUTS[] = "Cancel creating the shortcuts?";
const char GO_UP[] = "........";
const int PRODUCT_FILES = 129;
const DWORD COPY_TIMEOUT_MS = 60000;
// Folders the browsing scenarios walk into, made for them and removed after.
const char PROGRAM_DATA[] = "C:\\ProgramData"; // 14 characters: no go-up item
const char EARLY_FOLDER[] = "!qlr";            // sorts before the go-up item
const char PROGRAM_DATA_LONG[] = "C:\\ProgramData\\Qlr Long Start Menu Folder"; // 41: one

driver::WindowMatch folderBrowser() {
    return driver::hasControls({IDOK, IDCANCEL, IDC_GROUP_PATH, IDC_FOLDER_LIST});
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), ::tolower);
    return text;
}

// The entries a list of folder names is expected to show, sorted case-insensitively as the list
// sorts itself.
std::vector<std::string> sortedNames(std::vector<std::string> names) {
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    return names;
}

// The subfolders of path (names not starting with a full stop), the go-up item when the path
// is longer than 21 characters, and the folder-name item.
std::vector<std::string> expectedListing(const std::string &path) {
    std::vector<std::string> names;
    for (const std::string &name : installed::folderEntries(path)) {
        DWORD attributes = GetFileAttributesA((path + "\\" + name).c_str());
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && name[0] != '.')
            names.push_back(name);
    }
    names.push_back("Quillary");
    if (path.size() > 21)
        names.push_back(GO_UP);
    return sortedNames(names);
}

// The browser shows path: field 211 with the folder name appended, and path's listing.
void expectBrowserAt(const Window &browser, const std::string &path) {
    HWND list = browser.control(IDC_FOLDER_LIST);
    bool shown =
        driver::waitFor([&] { return browser.text(IDC_GROUP_PATH) == path + "\\Quillary"; }, 5000);
    EXPECT_TRUE(shown) << "field 211 shows \"" << browser.text(IDC_GROUP_PATH) << "\", not " << path
                       << "\\Quillary";
    EXPECT_EQ(sortedNames(driver::listTexts(list)), expectedListing(path)) << path;
}

// Goes up with the go-up item, or into a folder, and waits for the browser to show the result.
void browseTo(const Window &browser, const std::string &item, const std::string &path) {
    HWND list = browser.control(IDC_FOLDER_LIST);
    int index = driver::findListItem(list, item);
    ASSERT_GE(index, 0) << "no item \"" << item << "\" in the list";
    driver::doubleClickItem(list, index);
    expectBrowserAt(browser, path);
}

// Field 101 once the page has rewritten it after the browser closed.
void expectGroupField(const Window &page, const std::string &group) {
    driver::waitFor([&] { return page.text(IDC_SHORTCUT_PATH) == group; }, 5000);
    EXPECT_EQ(page.text(IDC_SHORTCUT_PATH), group);
}

void expectLink(const std::string &path, const std::string &target,
                const std::string &description) {
    installed::Link link = installed::readLink(path);
    ASSERT_TRUE(link.loaded) << path;
    EXPECT_EQ(lower(link.target), lower(target)) << path;
    EXPECT_EQ(link.description, description) << path;
}

// Exactly the three group shortcuts, each opening its file of the installation.
void expectGroup(const std::string &group) {
    EXPECT_EQ(sortedNames(installed::folderEntries(group)),
              (std::vector<std::string>{"Quillary.lnk", "Readme.lnk", "Uninstall.lnk"}))
        << group;
    std::string dir = INSTALL_DIR;
    expectLink(group + "\\Quillary.lnk", dir + "\\Quillary.exe", "Quillary");
    expectLink(group + "\\Uninstall.lnk", dir + "\\uninstall.exe", "Uninstall");
    expectLink(group + "\\Readme.lnk", dir + "\\Readme.wri", "Readme");
}

class ShortcutPage : public ::testing::Test {
  protected:
    void SetUp() override {
        programs = installed::shellFolder("Common Programs");
        desktop = installed::shellFolder("Common Desktop");
        ASSERT_FALSE(programs.empty()) << "the prefix has no all-users programs folder";
        ASSERT_FALSE(desktop.empty()) << "the prefix has no all-users desktop folder";
        reset();
    }
    void TearDown() override {
        installed::closeShellWindows();
        if (!programs.empty())
            installed::setShellFolder("Common Programs", programs.c_str());
        reset();
    }
    void reset() {
        driver::removeTree(INSTALL_DIR);
        driver::removeTree(programs + "\\Quillary");
        driver::removeTree(desktop + "\\Quillary.lnk");
        driver::removeTree(PROGRAM_DATA_LONG);
        driver::removeTree(std::string(PROGRAM_DATA) + "\\Quillary");
        driver::removeTree("C:\\Quillary");
        installed::deleteProductEntries();
    }

    // I Agree, Next on the proposed destination, and the copy: the shortcut page.
    Window reachShortcutPage(const Installer &installer) {
        Window destination = reachDestination(installer);
        destination.press(IDOK);
        return installer.waitForWindow(shortcutPage(), COPY_TIMEOUT_MS);
    }

    // The success message (information icon, one OK) with no shell window yet; once it is
    // dismissed the group folder opens in a shell window and the installer ends with 0. With
    // watchMs the message is left up that long, for a shell window opened too early to show.
    void expectSuccessThenShellWindow(const Installer &installer, DWORD watchMs = 0) {
        MessageBox box = installer.waitForMessageBox();
        driver::waitFor([&] { return !box.text().empty(); }, 5000);
        expectBox(box, SUCCESS_TEXT, BoxIcon::INFORMATION, {IDOK});
        EXPECT_FALSE(driver::waitFor([] { return !installed::shellWindows().empty(); }, watchMs))
            << "a shell window opened while the success message was up";
        box.answer(IDOK);
        installed::waitForShellWindow("Quillary");
        EXPECT_EQ(installer.waitForExit(), 0u);
    }

    Window openBrowser(const Installer &installer, const Window &page) {
        page.press(IDC_BROWSE);
        return installer.waitForWindow(folderBrowser());
    }

    std::string programs, desktop;
};

} // namespace

TEST_F(ShortcutPage, FinishWithTheDesktopBoxInstallsEverythingThenOpensTheGroup) {
    Installer installer = startInstaller();
    Window page = reachShortcutPage(installer);
    EXPECT_EQ(page.text(IDC_SHORTCUT_PATH), programs) << "the programs folder before any Browse";
    EXPECT_EQ(page.text(IDC_DESKTOP_SHORTCUT), "Create program shortcat on the &Desktop");
    HWND box = page.control(IDC_DESKTOP_SHORTCUT);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // The browser opens on the programs folder; Cancel without moving shows the group folder.
    Window browser = openBrowser(installer, page);
    expectBrowserAt(browser, programs);
    browser.press(IDCANCEL);
    browser.waitUntilGone();
    std::string group = programs + "\\Quillary";
    expectGroupField(page, group);

    // What is typed into the path field is never read back.
    page.type(IDC_SHORTCUT_PATH, "\\Elsewhere");
    PostMessageA(box, BM_CLICK, 0, 0);
    ASSERT_TRUE(driver::waitFor([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == 1; }, 5000));
    page.press(IDOK);
    expectSuccessThenShellWindow(installer, 3000);

    EXPECT_EQ(installed::countFiles(INSTALL_DIR), PRODUCT_FILES);
    expectGroup(group);
    EXPECT_FALSE(installed::exists(programs + "\\Elsewhere"));
    expectLink(desktop + "\\Quillary.lnk", std::string(INSTALL_DIR) + "\\Quillary.exe", "Quillary");
    EXPECT_EQ(installed::productEntries(), installed::expectedEntries(INSTALL_DIR, group));
}

TEST_F(ShortcutPage, CancelAnsweredNoWritesTheEntriesThenFinishWritesThemAgain) {
    Installer installer = startInstaller();
    Window page = reachShortcutPage(installer);
    std::string group = programs + "\\Quillary";
    std::string expected = installed::expectedEntries(INSTALL_DIR, group);

    page.press(IDCANCEL);
    MessageBox question = installer.waitForMessageBox();
    driver::waitFor([&] { return !question.text().empty(); }, 5000);
    EXPECT_EQ(question.text(), CANCEL_SHORTCUTS);
    EXPECT_EQ(question.caption(), "Confirmation");
    EXPECT_EQ(driver::boxIconName(question.icon()), driver::boxIconName(BoxIcon::QUESTION));
    EXPECT_EQ(question.buttons(), (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(installed::productEntries(), expected) << "written before the question";
    question.answer(IDNO);
    EXPECT_TRUE(driver::settled(page.handle()) && page.visible()) << "No keeps the page";

    // Removed here, so Finish must write every entry again, with the same values.
    installed::deleteProductEntries();
    page.press(IDOK);
    expectSuccessThenShellWindow(installer);
    EXPECT_EQ(installed::productEntries(), expected);
    expectGroup(group); // the same group, no nested product folder
    EXPECT_FALSE(installed::exists(desktop + "\\Quillary.lnk")) << "the box was clear";
}

TEST_F(ShortcutPage, CancelAnsweredYesKeepsTheEntriesAndMakesNoShortcut) {
    Installer installer = startInstaller();
    Window page = reachShortcutPage(installer);
    page.press(IDCANCEL);
    installer.waitForMessageBox().answer(IDYES);

    MessageBox box = installer.waitForMessageBox();
    driver::waitFor([&] { return !box.text().empty(); }, 5000);
    expectBox(box, SUCCESS_TEXT, BoxIcon::INFORMATION, {IDOK});
    box.answer(IDOK);
    EXPECT_EQ(installer.waitForExit(), 0u);

    EXPECT_EQ(installed::productEntries(),
              installed::expectedEntries(INSTALL_DIR, programs + "\\Quillary"));
    EXPECT_FALSE(installed::exists(programs + "\\Quillary")) << "no group folder";
    EXPECT_FALSE(installed::exists(desktop + "\\Quillary.lnk"));
    // Nothing is handed to the shell: no window comes, whatever folder is current.
    EXPECT_FALSE(driver::waitFor([] { return !installed::shellWindows().empty(); }, 3000))
        << "a shell window opened after a cancelled shortcut page";
}

// Without the "Common Programs" value the group goes below C:. The browser starts at the root of
// C:, walks down past 21 characters (where the go-up item appears) and back up; Cancel keeps the
// folder reached, the next Browse starts there, and OK keeps it too.
TEST_F(ShortcutPage, WithoutCommonProgramsTheGroupGoesBelowAFolderBrowsedFromDriveC) {
    ASSERT_TRUE(CreateDirectoryA(PROGRAM_DATA_LONG, NULL));
    ASSERT_TRUE(
        CreateDirectoryA((std::string(PROGRAM_DATA_LONG) + "\\" + EARLY_FOLDER).c_str(), NULL));
    installed::setShellFolder("Common Programs", NULL);
    Installer installer = startInstaller();
    Window page = reachShortcutPage(installer);
    EXPECT_EQ(page.text(IDC_SHORTCUT_PATH), "C:");

    Window browser = openBrowser(installer, page);
    expectBrowserAt(browser, "C:");
    browseTo(browser, "ProgramData", PROGRAM_DATA);
    browseTo(browser, "Microsoft", std::string(PROGRAM_DATA) + "\\Microsoft"); // 24 characters
    browseTo(browser, GO_UP, PROGRAM_DATA);
    browseTo(browser, "Qlr Long Start Menu Folder", PROGRAM_DATA_LONG);
    // A folder sorting before the go-up item is gone into, not taken for it.
    std::string early = std::string(PROGRAM_DATA_LONG) + "\\" + EARLY_FOLDER;
    ASSERT_EQ(driver::listTexts(browser.control(IDC_FOLDER_LIST)).front(), EARLY_FOLDER);
    browseTo(browser, EARLY_FOLDER, early);
    browseTo(browser, GO_UP, PROGRAM_DATA_LONG);
    browser.press(IDCANCEL);
    browser.waitUntilGone();
    std::string group = std::string(PROGRAM_DATA_LONG) + "\\Quillary";
    expectGroupField(page, group);

    browser = openBrowser(installer, page);
    expectBrowserAt(browser, PROGRAM_DATA_LONG);
    browser.press(IDOK);
    browser.waitUntilGone();
    expectGroupField(page, group);
    page.press(IDOK);
    expectSuccessThenShellWindow(installer);
    expectGroup(group);
    EXPECT_EQ(installed::productEntries(), installed::expectedEntries(INSTALL_DIR, group));
}
