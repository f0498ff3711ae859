// The directory browser end to end: the list read from outside as the user sees it, walked by
// double-clicks, the name field's limit, and drives chosen in the drive box. The drive scenario
// needs two small tmpfs drives, E: and F: (scripts/small-drive.sh with-drive); ctest runs it in
// its own entry, which names them in QUILLARY_BROWSER_DRIVES.
#include <algorithm>
#include <string>
#include <vector>

#include "pages_driver.h"
#include "support/installed_system.h"
#include "support/list_view.h"

using namespace pages;

namespace {

const char PROGRAM_FILES[] = "C:\\Program files";
const char TOOLS_DIR[] = "C:\\Program files\\!tools";
const char HIDDEN_DIR[] = "C:\\Program files\\qhidden";
const char DOTTED_DIR[] = "C:\\Program files\\.dotted";
const char PLAIN_FILE[] = "C:\\Program files\\plain-file.txt";
const char DEFAULT_NAME[] = "Quillary";
const char GO_UP[] = "........";
const char REQUIRED_TAIL[] = " KB, Required: 3698 KB";
const char NO_NAME_WARNING[] = "You forget to select a directory";
const char NO_FOLDER_WARNING[] = "You were forgoten to select an directory";
const char LOW_SPACE_WARNING[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or "
    "remove some other program-s to free more disk space.";
const char BAD_NAME_WARNING[] =
    "A folder name cannot contain any of the characters \\ / : * ? \" < > |, cannot be \".\" or "
    "\"..\", cannot end with a blank or a dot, and cannot be a device name such as CON, AUX or "
    "LPT1.";

Window openBrowser(const Installer &installer, const Window &page) {
    page.press(IDC_BROWSE);
    Window browser = installer.waitForWindow(directoryBrowser());
    // The list is filled before the dialog shows; the field's name is set last.
    EXPECT_TRUE(driver::waitFor([&] { return !browser.text(IDC_BROWSE_PATH).empty(); }, 5000));
    return browser;
}

// The subdirectories of dir as the file system lists them, without names that begin with a
// full stop.
std::vector<std::string> subdirectories(const std::string &dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != '.')
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The texts the list must show for dir, in the platform's case-insensitive ascending order.
std::vector<std::string> expectedListing(const std::string &dir, bool goUp,
                                         const std::string &name = DEFAULT_NAME) {
    std::vector<std::string> texts = subdirectories(dir);
    if (goUp)
        texts.push_back(GO_UP);
    texts.push_back(name);
    std::stable_sort(texts.begin(), texts.end(), [](const std::string &a, const std::string &b) {
        return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    });
    return texts;
}

// The drive box's selected text, "" when nothing is selected.
std::string selectedDrive(const Window &browser) {
    std::vector<std::string> texts = driver::comboTexts(browser.control(IDC_DRIVE_BOX));
    int at = driver::comboSelection(browser.control(IDC_DRIVE_BOX));
    return at >= 0 && at < (int)texts.size() ? texts[at] : "";
}

HWND listOf(const Window &browser) { return browser.control(IDC_DIRECTORY_LIST); }

// Double-clicks the item with that text; fails the test when the list has none.
void doubleClick(const Window &browser, const std::string &text) {
    int index = driver::findListItem(listOf(browser), text);
    ASSERT_GE(index, 0) << "no item " << text;
    driver::doubleClickItem(listOf(browser), index);
}

// Waits until field 102 shows path, after a move the list's thread may still be making.
void expectShownPath(const Window &browser, const std::string &path) {
    driver::waitFor([&] { return browser.text(IDC_BROWSE_PATH) == path; }, 3000);
    EXPECT_EQ(browser.text(IDC_BROWSE_PATH), path);
}

// Waits until the destination page's field 101 shows path: the page rebuilds it once the
// browser's modal loop has returned, just after the browser went.
void expectDestination(const Window &page, const std::string &path) {
    driver::waitFor([&] { return page.text(IDC_INSTALL_DIR) == path; }, 3000);
    EXPECT_EQ(page.text(IDC_INSTALL_DIR), path);
}

// The number in " Available: N KB, Required: 3698 KB", or -1 when the label is not of that form.
long long availableKB(const std::string &label) {
    const std::string head = " Available: ";
    size_t tail = label.rfind(REQUIRED_TAIL);
    if (label.compare(0, head.size(), head) != 0 || tail == std::string::npos ||
        tail + strlen(REQUIRED_TAIL) != label.size() || tail <= head.size())
        return -1;
    std::string digits = label.substr(head.size(), tail - head.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoll(digits);
}

// Free space of a drive in kilobytes of 1000 bytes, from the system's own cluster counts.
unsigned long long freeKBOf(const char *root) { return freeBytes(root) / 1000; }

// How many pixels inside a shown item's icon look like colour.
int iconPixels(const driver::ListItem &item, bool (*colour)(uint32_t)) {
    driver::Capture shot = driver::captureRect(item.iconRect);
    int n = 0;
    for (uint32_t pixel : shot.pixels)
        n += colour(pixel);
    return n;
}
bool isYellow(uint32_t p) {
    return (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) > 200 && (p & 0xFF) < 80;
}
bool isGreen(uint32_t p) {
    return (p >> 8 & 0xFF) > 100 && (p >> 16 & 0xFF) < 80 && (p & 0xFF) < 80;
}
bool isBlack(uint32_t p) {
    return (p >> 16 & 0xFF) < 32 && (p >> 8 & 0xFF) < 32 && (p & 0xFF) < 32;
}

class DirectoryBrowser : public ::testing::Test {
  protected:
    void SetUp() override {
        removeFixtures();
        ASSERT_TRUE(CreateDirectoryA(TOOLS_DIR, NULL));
        ASSERT_TRUE(CreateDirectoryA((std::string(TOOLS_DIR) + "\\inner").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(HIDDEN_DIR, NULL));
        ASSERT_TRUE(SetFileAttributesA(HIDDEN_DIR, FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(CreateDirectoryA(DOTTED_DIR, NULL));
        HANDLE file = CreateFileA(PLAIN_FILE, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    void TearDown() override { removeFixtures(); }
    static void removeFixtures() {
        for (const char *path : {TOOLS_DIR, HIDDEN_DIR, DOTTED_DIR, PLAIN_FILE, INSTALL_DIR})
            driver::removeTree(path);
    }
};

} // namespace

TEST_F(DirectoryBrowser, OpensOnProgramFilesAndWalksTheTreeByDoubleClicks) {
    unsigned long long freeBefore = freeKBOf("C:\\");
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    Window browser = openBrowser(installer, page);
    unsigned long long freeAfter = freeKBOf("C:\\");

    EXPECT_EQ(browser.title(), "Setup - directory");
    EXPECT_EQ(selectedDrive(browser), "C:\\");
    char systemDrives[256] = "";
    GetLogicalDriveStringsA(sizeof(systemDrives), systemDrives);
    std::vector<std::string> expectedDrives;
    for (const char *root = systemDrives; *root; root += strlen(root) + 1)
        expectedDrives.push_back(root);
    EXPECT_EQ(driver::comboTexts(browser.control(IDC_DRIVE_BOX)), expectedDrives);

    // The label: drive C's free space as measured here, give or take what other programs
    // wrote in the meantime.
    long long shownKB = availableKB(browser.text(IDC_SPACE_LABEL));
    EXPECT_GE(shownKB, (long long)std::min(freeBefore, freeAfter) - 4096)
        << browser.text(IDC_SPACE_LABEL);
    EXPECT_LE(shownKB, (long long)std::max(freeBefore, freeAfter) + 4096)
        << browser.text(IDC_SPACE_LABEL);
    EXPECT_EQ(browser.text(IDC_FOLDER_NAME), DEFAULT_NAME);
    EXPECT_EQ(browser.text(IDC_BROWSE_PATH), "C:\\Program files\\Quillary");

    // Every subdirectory, the hidden one included, none beginning with a full stop, in the
    // list's own order; the three kinds of item each with their own icon.
    std::vector<driver::ListItem> items = driver::readListView(listOf(browser));
    std::vector<std::string> texts = driver::listTexts(listOf(browser));
    EXPECT_EQ(texts, expectedListing(PROGRAM_FILES, true));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "qhidden"), texts.end());
    ASSERT_EQ(texts[0], "!tools") << "a name that sorts before the go-up item";
    ASSERT_EQ(texts[1], GO_UP);
    int folderImage = items[0].image;
    for (const driver::ListItem &item : items) {
        if (item.text == GO_UP) {
            EXPECT_NE(item.image, folderImage);
            EXPECT_GT(iconPixels(item, isBlack), 20) << "the black arrow";
            EXPECT_EQ(iconPixels(item, isYellow) + iconPixels(item, isGreen), 0);
        } else if (item.text == DEFAULT_NAME) {
            EXPECT_NE(item.image, folderImage);
            EXPECT_GT(iconPixels(item, isGreen), 40) << "the green folder";
            EXPECT_EQ(iconPixels(item, isYellow), 0);
        } else {
            EXPECT_EQ(item.image, folderImage) << item.text;
            EXPECT_GT(iconPixels(item, isYellow), 40) << item.text << ": the yellow folder";
            EXPECT_EQ(iconPixels(item, isGreen), 0) << item.text;
        }
        EXPECT_FALSE(item.selected) << item.text;
    }

    // "!tools" is entered, not taken for the go-up item it sorts before.
    doubleClick(browser, "!tools");
    expectShownPath(browser, "C:\\Program files\\!tools\\Quillary");
    EXPECT_EQ(driver::listTexts(listOf(browser)), expectedListing(TOOLS_DIR, true));

    // The folder-name item moves into the folder that does not exist yet.
    doubleClick(browser, DEFAULT_NAME);
    expectShownPath(browser, "C:\\Program files\\!tools\\Quillary\\Quillary");
    EXPECT_EQ(driver::listTexts(listOf(browser)), (std::vector<std::string>{GO_UP, DEFAULT_NAME}));

    // A double-click on empty space lists again: a folder made meanwhile shows.
    ASSERT_TRUE(CreateDirectoryA("C:\\Program files\\!tools\\Quillary", NULL));
    ASSERT_TRUE(CreateDirectoryA("C:\\Program files\\!tools\\Quillary\\fresh", NULL));
    driver::doubleClickEmptySpace(listOf(browser));
    driver::waitFor([&] { return driver::listTexts(listOf(browser)).size() == 3; }, 3000);
    EXPECT_EQ(driver::listTexts(listOf(browser)),
              (std::vector<std::string>{GO_UP, "fresh", DEFAULT_NAME}));
    EXPECT_EQ(browser.text(IDC_BROWSE_PATH), "C:\\Program files\\!tools\\Quillary\\Quillary");

    // Up three times, to the root of C:, where no go-up item is offered.
    const char *upwards[] = {"C:\\Program files\\!tools\\Quillary", "C:\\Program files\\Quillary",
                             "C:\\Quillary"};
    for (const char *shown : upwards) {
        doubleClick(browser, GO_UP);
        expectShownPath(browser, shown);
    }
    EXPECT_EQ(driver::listTexts(listOf(browser)), expectedListing("C:\\", false));

    // Down from the root adds no second backslash, and back up again.
    doubleClick(browser, "windows");
    expectShownPath(browser, "C:\\windows\\Quillary");
    doubleClick(browser, GO_UP);
    expectShownPath(browser, "C:\\Quillary");
    doubleClick(browser, "Program Files");
    expectShownPath(browser, "C:\\Program Files\\Quillary");

    // OK keeps the move; the destination page takes it over.
    browser.press(IDOK);
    browser.waitUntilGone();
    expectDestination(page, "C:\\Program Files\\Quillary");

    // Opening again starts where the user left, on the same drive.
    Window again = openBrowser(installer, page);
    EXPECT_EQ(again.text(IDC_BROWSE_PATH), "C:\\Program Files\\Quillary");
    EXPECT_EQ(selectedDrive(again), "C:\\");
    again.pressEscape();
    again.waitUntilGone();
    expectDestination(page, "C:\\Program Files\\Quillary");
    installer.kill();
}

namespace {

// Puts text on the clipboard and pastes it over the whole of the edit control, as Ctrl+A then
// Ctrl+V would.
void pasteOver(const Window &window, int id, const std::string &text) {
    ASSERT_TRUE(OpenClipboard(NULL));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
    HWND edit = window.control(id);
    DWORD_PTR ignored;
    SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 5000, &ignored);
    SendMessageTimeoutA(edit, WM_PASTE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

} // namespace

TEST_F(DirectoryBrowser, NameFieldHoldsNinetyNineCharactersAndAnEmptyNameIsWarnedAbout) {
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    Window browser = openBrowser(installer, page);

    // The 100th character typed is refused; the field keeps its 99.
    std::string name98(98, 'n');
    browser.setText(IDC_FOLDER_NAME, name98);
    SendMessageA(browser.control(IDC_FOLDER_NAME), EM_SETSEL, 98, 98);
    for (const char *key : {"x", "y"}) // one key at a time, as a user types
        browser.type(IDC_FOLDER_NAME, key);
    std::string name99 = name98 + "x";
    EXPECT_EQ(browser.text(IDC_FOLDER_NAME), name99);
    // An over-long paste is refused whole.
    pasteOver(browser, IDC_FOLDER_NAME, std::string(120, 'p'));
    EXPECT_EQ(browser.text(IDC_FOLDER_NAME), name99);
    EXPECT_EQ(browser.text(IDC_BROWSE_PATH), "C:\\Program files\\Quillary")
        << "field 102 waits for the next move";

    // A refresh shows the new name; then into the 99-character folder three times. A fourth
    // move would pass the length limit and is refused, changing nothing.
    driver::doubleClickEmptySpace(listOf(browser));
    std::string base = PROGRAM_FILES;
    expectShownPath(browser, base + "\\" + name99);
    for (int level = 0; level < 3; level++) {
        doubleClick(browser, name99);
        base += "\\" + name99;
        expectShownPath(browser, base + "\\" + name99);
    }
    EXPECT_EQ(driver::listTexts(listOf(browser)), (std::vector<std::string>{GO_UP, name99}));
    doubleClick(browser, name99);
    expectShownPath(browser, base + "\\" + name99);
    EXPECT_EQ(driver::listTexts(listOf(browser)), (std::vector<std::string>{GO_UP, name99}));

    // An emptied name: OK warns and puts the focus back on the field.
    browser.setText(IDC_FOLDER_NAME, "");
    browser.press(IDOK);
    MessageBox warning = installer.waitForMessageBox();
    EXPECT_EQ(warning.text(), NO_NAME_WARNING);
    EXPECT_EQ(warning.caption(), "Warning");
    EXPECT_STREQ(driver::boxIconName(warning.icon()), driver::boxIconName(BoxIcon::EXCLAMATION));
    EXPECT_EQ(warning.buttons(), std::vector<int>{IDOK});
    warning.answer(IDOK);
    EXPECT_TRUE(browser.exists() && browser.visible());
    expectFocusOn(browser, IDC_FOLDER_NAME);

    // Cancel closes with the empty name; Next on the page then warns.
    browser.press(IDCANCEL);
    browser.waitUntilGone();
    expectDestination(page, base + "\\");
    page.press(IDOK);
    MessageBox noFolder = installer.waitForMessageBox();
    expectBox(noFolder, NO_FOLDER_WARNING, BoxIcon::EXCLAMATION, {IDOK});
    noFolder.answer(IDOK);
    expectFocusOn(page, IDC_INSTALL_DIR);

    // Opening again gives the product's name back, in the field, the list and field 102.
    Window again = openBrowser(installer, page);
    EXPECT_EQ(again.text(IDC_FOLDER_NAME), DEFAULT_NAME);
    EXPECT_EQ(again.text(IDC_BROWSE_PATH), base + "\\Quillary");
    EXPECT_EQ(driver::listTexts(listOf(again)), (std::vector<std::string>{GO_UP, DEFAULT_NAME}));
    again.press(IDCANCEL);
    again.waitUntilGone();
    expectDestination(page, base + "\\Quillary");
    installer.kill();
}

// Names the system would read as another folder, a device or a stream are refused on OK; the
// destination keeps the last name OK took, also when the browser is then cancelled.
TEST_F(DirectoryBrowser, RefusesWhatIsNotOneFolderNameAndKeepsTheLastValidOne) {
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    Window browser = openBrowser(installer, page);
    browser.setText(IDC_FOLDER_NAME, "Quillary Apps");
    browser.press(IDOK);
    browser.waitUntilGone();
    expectDestination(page, "C:\\Program files\\Quillary Apps");

    browser = openBrowser(installer, page);
    for (const char *name : {"..", "CON", "aux.txt", "a:b", "Quillary ", "Quillary.", "a\\b"}) {
        browser.setText(IDC_FOLDER_NAME, name);
        browser.press(IDOK);
        MessageBox refusal = installer.waitForMessageBox();
        EXPECT_EQ(refusal.text(), BAD_NAME_WARNING) << name;
        EXPECT_EQ(refusal.caption(), "Warning");
        refusal.answer(IDOK);
        EXPECT_TRUE(browser.exists() && browser.visible()) << name;
        expectFocusOn(browser, IDC_FOLDER_NAME);
    }
    // Cancel with a refused name in the field: the destination keeps the last valid name (the
    // browser starts from the product's name each time it opens).
    browser.press(IDCANCEL);
    browser.waitUntilGone();
    expectDestination(page, "C:\\Program files\\Quillary");
    EXPECT_FALSE(driver::pathExists("C:\\Program files\\Quillary "));
    installer.kill();
}

namespace {

// Scenarios on two small drives: E: with too little space and F: with room for the product.
// They run only in the ctest entry that makes them (QUILLARY_BROWSER_DRIVES names the sizes)
// and fail there when the drives are not what it promised.
const char SMALL_DRIVE_SET_UP[] = "e3694592-f16777216";
const unsigned long long E_FREE_BYTES = 3694592, F_FREE_BYTES = 16777216;
const char SHALLOW_DIR[] = "E:\\Shallow";
const char DEEP_DIR[] = "F:\\Level1\\Level2";
const char DEEP_INSTALL_DIR[] = "F:\\Level1\\Level2\\Quillary";

int comboIndex(const Window &browser, const std::string &text) {
    std::vector<std::string> texts = driver::comboTexts(browser.control(IDC_DRIVE_BOX));
    auto at = std::find(texts.begin(), texts.end(), text);
    return at == texts.end() ? -1 : (int)(at - texts.begin());
}

void chooseDrive(const Window &browser, const std::string &root) {
    int index = comboIndex(browser, root);
    ASSERT_GE(index, 0) << "the drive box has no " << root;
    driver::chooseComboItem(browser.control(IDC_DRIVE_BOX), index);
}

class BrowserDrives : public ::testing::Test {
  protected:
    bool drivesReady() {
        EXPECT_EQ(driver::environment("QUILLARY_BROWSER_DRIVES"), SMALL_DRIVE_SET_UP)
            << "runs only in its own ctest entry (e2e.browser-drives), which makes E: and F:";
        EXPECT_EQ(freeBytes("E:\\"), E_FREE_BYTES) << "E: is not the small drive";
        EXPECT_EQ(freeBytes("F:\\"), F_FREE_BYTES) << "F: is not the roomier drive";
        return freeBytes("E:\\") == E_FREE_BYTES && freeBytes("F:\\") == F_FREE_BYTES;
    }
    void TearDown() override {
        // The whole installation's program group, its shell window and its entries go too.
        installed::closeShellWindows();
        driver::removeTree(installed::shellFolder("Common Programs") + "\\Quillary");
        installed::deleteProductEntries();
        driver::removeTree(SHALLOW_DIR);
        driver::removeTree("F:\\Level1");
    }
};

} // namespace

TEST_F(BrowserDrives, AnotherDriveIsListedCheckedAndInstalledIntoTwoLevelsDown) {
    ASSERT_TRUE(drivesReady()) << "the small drives E: and F: did not take effect";
    // Directories take no pages of the free space a tmpfs reports.
    ASSERT_TRUE(CreateDirectoryA(SHALLOW_DIR, NULL));
    ASSERT_TRUE(CreateDirectoryA("F:\\Level1", NULL));
    ASSERT_TRUE(CreateDirectoryA(DEEP_DIR, NULL));
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    Window browser = openBrowser(installer, page);

    // E: moves to its root, lists it, and shows its free space.
    chooseDrive(browser, "E:\\");
    expectShownPath(browser, "E:\\Quillary");
    EXPECT_EQ(driver::listTexts(listOf(browser)), expectedListing("E:\\", false));
    EXPECT_EQ(browser.text(IDC_SPACE_LABEL),
              " Available: " + std::to_string(E_FREE_BYTES / 1000) + REQUIRED_TAIL);

    // OK there: the free-space box with the platform's own caption; the dialog stays.
    for (int answer : {IDYES, IDNO}) {
        browser.press(IDOK);
        MessageBox box = installer.waitForMessageBox();
        EXPECT_EQ(box.text(), LOW_SPACE_WARNING);
        EXPECT_EQ(box.caption(), "Error") << "no caption of its own";
        EXPECT_STREQ(driver::boxIconName(box.icon()), driver::boxIconName(BoxIcon::ERROR_HAND));
        EXPECT_EQ(box.buttons(), (std::vector<int>{IDYES, IDNO}));
        box.answer(answer);
        EXPECT_TRUE(browser.exists() && browser.visible()) << "answer " << answer;
    }

    // Cancel keeps the drive, its root and its free space: Next on the page refuses it.
    browser.press(IDCANCEL);
    browser.waitUntilGone();
    expectDestination(page, "E:\\Quillary");
    page.press(IDOK);
    MessageBox refused = installer.waitForMessageBox();
    expectBox(refused, LOW_SPACE_WARNING, BoxIcon::ERROR_HAND, {IDYES, IDNO});
    refused.answer(IDNO);

    // Again: the browser opens on E:, then F: and two levels down it.
    Window again = openBrowser(installer, page);
    EXPECT_EQ(again.text(IDC_BROWSE_PATH), "E:\\Quillary");
    EXPECT_EQ(selectedDrive(again), "E:\\");
    chooseDrive(again, "F:\\");
    expectShownPath(again, "F:\\Quillary");
    EXPECT_EQ(again.text(IDC_SPACE_LABEL),
              " Available: " + std::to_string(F_FREE_BYTES / 1000) + REQUIRED_TAIL);
    doubleClick(again, "Level1");
    expectShownPath(again, "F:\\Level1\\Quillary");
    doubleClick(again, "Level2");
    expectShownPath(again, DEEP_INSTALL_DIR);
    again.press(IDOK);
    again.waitUntilGone();
    expectDestination(page, DEEP_INSTALL_DIR);

    // The whole installation lands there.
    page.press(IDOK);
    page.waitUntilGone();
    // A page after the copy page (it has a Browse button too) is finished with its OK.
    Window next = installer.waitForWindow(
        driver::anyWindow(driver::isMessageBox(), driver::hasControls({IDOK, IDC_BROWSE})), 60000);
    if (!driver::looksLikeMessageBox(next))
        next.press(IDOK);
    MessageBox done = installer.waitForMessageBox(60000);
    driver::waitFor([&] { return !done.text().empty(); }, 5000);
    EXPECT_EQ(done.text(), SUCCESS_TEXT);
    done.answer(IDOK);
    EXPECT_EQ(installer.waitForExit(), 0u);
    EXPECT_EQ(installed::countFiles(DEEP_INSTALL_DIR), RECORD_COUNT);
}
