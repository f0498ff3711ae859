// A whole installation from the keyboard alone, as someone who cannot use a mouse makes it: every
// key goes through the system's input (SendInput) to the window in front; no button message, no
// click. The folder is chosen in the directory browser's list with arrows, Enter, Backspace and a
// letter, and named in its field; the files must land there.
#include <string>

#include "pages_driver.h"
#include "support/installed_system.h"
#include "support/list_view.h"

using namespace pages;

namespace {

const char PARENT_DIR[] = "C:\\Keyed"; // at the root of C:, the only folder there starting with K
const char CHOSEN_DIR[] = "C:\\Keyed\\Drawings";
const char GO_UP[] = "........";
const DWORD COPY_TIMEOUT_MS = 60000;

// Waits until the list's selected item is text (in any case, as the file system names it).
void expectSelected(HWND list, const std::string &text) {
    std::string selected;
    driver::waitFor(
        [&] {
            selected.clear();
            for (const driver::ListItem &item : driver::readListView(list))
                selected += item.selected ? item.text : "";
            return lstrcmpiA(selected.c_str(), text.c_str()) == 0;
        },
        3000);
    EXPECT_EQ(lstrcmpiA(selected.c_str(), text.c_str()), 0) << "selected: " << selected;
}

void expectText(const Window &window, int id, const std::string &text) {
    driver::waitFor([&] { return window.text(id) == text; }, 3000);
    EXPECT_EQ(window.text(id), text) << "control " << id;
}

class KeyboardOnly : public ::testing::Test {
  protected:
    void SetUp() override {
        reset();
        ASSERT_TRUE(CreateDirectoryA(PARENT_DIR, NULL));
    }
    void TearDown() override { reset(); }
    void reset() {
        driver::removeTree(PARENT_DIR);
        installed::undoInstallation(INSTALL_DIR);
    }
};

} // namespace

TEST_F(KeyboardOnly, InstallsIntoAFolderChosenAndNamedWithKeysAlone) {
    Installer installer = startInstaller();
    Window agreement = installer.waitForWindow(agreementPage());
    expectFocusOn(agreement, IDOK);
    agreement.sendKey(VK_RETURN);

    // Alt+I reaches the field after its label; Tab goes on to Browse, Enter presses it.
    Window page = installer.waitForWindow(destinationPage());
    expectFocusOn(page, IDOK);
    page.sendKey('I', {VK_MENU});
    expectFocusOn(page, IDC_INSTALL_DIR);
    page.sendKey(VK_TAB);
    expectFocusOn(page, IDC_BROWSE);
    page.sendKey(VK_RETURN);

    // Alt+R reaches the directory list, which selects its first item: the go-up item.
    Window browser = installer.waitForWindow(directoryBrowser());
    expectText(browser, IDC_BROWSE_PATH, "C:\\Program files\\Quillary");
    HWND list = browser.control(IDC_DIRECTORY_LIST);
    browser.sendKey('R', {VK_MENU});
    expectFocusOn(browser, IDC_DIRECTORY_LIST);
    expectSelected(list, GO_UP);

    // Enter on the go-up item goes up to C:\, where the folder left is the current item; a
    // letter moves to the folder starting with it; Enter goes in, Backspace up, Enter in again.
    browser.sendKey(VK_RETURN);
    expectText(browser, IDC_BROWSE_PATH, "C:\\Quillary");
    expectSelected(list, "Program files");
    browser.sendText("k");
    expectSelected(list, "Keyed");
    browser.sendKey(VK_RETURN);
    expectText(browser, IDC_BROWSE_PATH, "C:\\Keyed\\Quillary");
    browser.sendKey(VK_BACK);
    expectText(browser, IDC_BROWSE_PATH, "C:\\Quillary");
    expectSelected(list, "Keyed");
    browser.sendKey(VK_RETURN);
    expectText(browser, IDC_BROWSE_PATH, "C:\\Keyed\\Quillary");
    EXPECT_TRUE(browser.visible()) << "Enter in the list must not press OK";

    // Alt+I selects the whole folder name, which typing replaces; Enter is OK.
    browser.sendKey('I', {VK_MENU});
    expectFocusOn(browser, IDC_FOLDER_NAME);
    browser.sendText("Drawings");
    expectText(browser, IDC_FOLDER_NAME, "Drawings");
    browser.sendKey(VK_RETURN);
    browser.waitUntilGone();
    expectText(page, IDC_INSTALL_DIR, CHOSEN_DIR);

    // The focus is back on Browse: Tab goes round to Next, and Enter there starts the copy.
    expectFocusOn(page, IDC_BROWSE);
    page.sendKey(VK_TAB);
    expectFocusOn(page, IDOK);
    page.sendKey(VK_RETURN);

    // The shortcut page: Enter is Finish; Enter answers the closing message.
    Window shortcuts = installer.waitForWindow(shortcutPage(), COPY_TIMEOUT_MS);
    expectFocusOn(shortcuts, IDOK);
    shortcuts.sendKey(VK_RETURN);
    MessageBox done = installer.waitForMessageBox(COPY_TIMEOUT_MS);
    expectText(done, 0xFFFF, SUCCESS_TEXT);
    done.sendKey(VK_RETURN);
    EXPECT_EQ(installer.waitForExit(), 0u);
    EXPECT_EQ(installed::countFiles(CHOSEN_DIR), RECORD_COUNT);
    EXPECT_FALSE(installed::exists(INSTALL_DIR)) << "nothing goes to the proposed folder";
}
