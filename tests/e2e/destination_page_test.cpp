// The destination page end to end: the default destination, Next on a new and on an existing
// folder, text typed into the field, cancel, Browse, and the free-space check on real small
// drives. The drive scenarios need C: on a tmpfs (scripts/small-drive.sh with-small-c); ctest
// runs each of them in its own entry, which names the set-up in QUILLARY_SMALL_C.
#include "pages_driver.h"

using namespace pages;

namespace {

const char NO_FOLDER_WARNING[] = "You were forgoten to select an directory";
const char LOW_SPACE_WARNING[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or "
    "remove some other program-s to free more disk space.";
const char EXISTS_QUESTION[] =
    "Directory allready exsist. Continue with the instalation ?\n\nNOTES: Click on the YES "
    "button if this is previous installation of this software, otherwise click on the NO button "
    "and select another installation directory.";

bool isDirectory(const std::string &path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Waits for whatever follows the destination page: the copy page or a message box.
Window waitPastDestination(const Installer &installer, const Window &page) {
    page.waitUntilGone();
    return installer.waitForWindow(
        driver::anyWindow(driver::hasControl(IDC_PROGRESS_STRIP), driver::isMessageBox()));
}

class DestinationPage : public ::testing::Test {
  protected:
    void SetUp() override { driver::removeTree(INSTALL_DIR); }
    void TearDown() override { driver::removeTree(INSTALL_DIR); }
};

// Scenarios that need a particular small C:. They run only in the ctest entry that makes it
// (QUILLARY_SMALL_C names it) and fail when C: is not what that entry promised.
class SmallDrive : public DestinationPage {
  protected:
    void expectSmallC(const char *name, unsigned long long expectedFreeBytes) {
        ASSERT_EQ(driver::environment("QUILLARY_SMALL_C"), name)
            << "run through the ctest entry that makes this C: (ctest -R e2e.destination)";
        ASSERT_EQ(freeBytes("C:\\"), expectedFreeBytes) << "C: is not the small drive " << name;
    }
};

} // namespace

TEST_F(DestinationPage, ProposesQuillaryUnderProgramFilesOnC) {
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    EXPECT_EQ(page.text(IDC_INSTALL_DIR), INSTALL_DIR);
    EXPECT_EQ(page.text(IDC_BROWSE), "Browse");
    EXPECT_EQ(page.text(IDOK), "Next");
    EXPECT_EQ(page.focusedControl(), page.control(IDOK)) << "the focus starts on Next";
    EXPECT_FALSE(isDirectory(INSTALL_DIR)) << "nothing is created before Next";
    installer.kill();
}

TEST_F(DestinationPage, PaintsThePagePictureUnscaledAtItsTopLeft) {
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    expectPagePicture(page, true);
    installer.kill();
}

TEST_F(DestinationPage, NextOnANewFolderCreatesItAndGoesOn) {
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    page.press(IDOK);
    Window next = waitPastDestination(installer, page);
    EXPECT_TRUE(next.hasControl(IDC_PROGRESS_STRIP)) << installer.describeWindows();
    EXPECT_TRUE(isDirectory(INSTALL_DIR));
    installer.kill();
}

TEST_F(DestinationPage, ExistingFolderIsAskedAboutTheSameWayUntilYes) {
    ASSERT_TRUE(CreateDirectoryA(INSTALL_DIR, NULL));
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    for (int attempt = 0; attempt < 2; attempt++) {
        page.press(IDOK);
        MessageBox question = installer.waitForMessageBox();
        expectBox(question, EXISTS_QUESTION, BoxIcon::QUESTION, {IDYES, IDNO});
        question.answer(IDNO);
        EXPECT_TRUE(page.exists() && page.visible()) << "No keeps the page";
        EXPECT_EQ(page.text(IDC_INSTALL_DIR), INSTALL_DIR);
    }
    EXPECT_FALSE(isDirectory(std::string(INSTALL_DIR) + "\\Quillary")) << "the path grew";
    page.press(IDOK);
    installer.waitForMessageBox().answer(IDYES);
    Window next = waitPastDestination(installer, page);
    EXPECT_TRUE(next.hasControl(IDC_PROGRESS_STRIP)) << installer.describeWindows();
    installer.kill();
}

TEST_F(DestinationPage, TextTypedIntoTheFieldIsIgnoredByNext) {
    const char elsewhere[] = "C:\\Elsewhere";
    driver::removeTree(elsewhere);
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    page.setText(IDC_INSTALL_DIR, elsewhere);
    page.type(IDC_INSTALL_DIR, "\\Typed");
    page.press(IDOK);
    waitPastDestination(installer, page);
    EXPECT_TRUE(isDirectory(INSTALL_DIR));
    EXPECT_FALSE(isDirectory(elsewhere));
    EXPECT_FALSE(isDirectory("C:\\Elsewhere\\Typed"));
    installer.kill();
    driver::removeTree(elsewhere);
}

TEST_F(DestinationPage, CancelAsksNoKeepsThePageYesEndsTheRun) {
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    page.press(IDCANCEL);
    MessageBox question = installer.waitForMessageBox();
    expectBox(question, CANCEL_QUESTION, BoxIcon::QUESTION, {IDYES, IDNO});
    question.answer(IDNO);
    EXPECT_TRUE(page.exists() && page.visible());
    EXPECT_EQ(page.text(IDC_INSTALL_DIR), INSTALL_DIR);
    page.pressEscape();
    installer.waitForMessageBox().answer(IDYES);
    expectCancelEnding(installer);
    EXPECT_FALSE(isDirectory(INSTALL_DIR));
}

TEST_F(DestinationPage, BrowseLeftAtOnceRebuildsTheFieldFromTheUnchangedDestination) {
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    page.setText(IDC_INSTALL_DIR, "typed");
    page.press(IDC_BROWSE);
    Window browser = installer.waitForWindow(driver::hasControls({IDC_DIRECTORY_LIST}));
    browser.pressEscape();
    browser.waitUntilGone();
    EXPECT_TRUE(driver::waitFor([&] { return page.text(IDC_INSTALL_DIR) == INSTALL_DIR; }, 5000))
        << "field 101 shows " << page.text(IDC_INSTALL_DIR);
    EXPECT_TRUE(page.exists() && page.visible());
    installer.kill();
}

// A tmpfs of 3698000 bytes holds 903 pages of 4096 bytes: 3698688 bytes, 3698 KB of 1000.
TEST_F(SmallDrive, ExactlyTheRequiredSpaceLetsNextThrough) {
    ASSERT_NO_FATAL_FAILURE(expectSmallC("3698000", 3698688));
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    page.press(IDOK);
    Window next = waitPastDestination(installer, page);
    EXPECT_FALSE(driver::looksLikeMessageBox(next) &&
                 MessageBox(next.handle()).text() == LOW_SPACE_WARNING);
    EXPECT_TRUE(isDirectory(INSTALL_DIR));
    installer.kill();
}

// One page less: 3694 KB.
TEST_F(SmallDrive, LessThanTheRequiredSpaceRefusesNextWhicheverButtonIsPressed) {
    ASSERT_NO_FATAL_FAILURE(expectSmallC("3694592", 3694592));
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    for (int answer : {IDYES, IDNO}) {
        page.press(IDOK);
        MessageBox box = installer.waitForMessageBox();
        expectBox(box, LOW_SPACE_WARNING, BoxIcon::ERROR_HAND, {IDYES, IDNO});
        box.answer(answer);
        EXPECT_TRUE(page.exists() && page.visible()) << "answer " << answer;
        EXPECT_EQ(page.text(IDC_INSTALL_DIR), INSTALL_DIR);
    }
    EXPECT_FALSE(isDirectory(INSTALL_DIR));
    installer.kill();
}

// Unattended, the same rule: exit code 2 (failed), no window, and no folder made.
TEST_F(SmallDrive, LessThanTheRequiredSpaceUnattendedFailsAndWritesNothing) {
    ASSERT_NO_FATAL_FAILURE(expectSmallC("3694592", 3694592));
    Installer installer = Installer::start(driver::environment("QUILLARY_INSTALLER"), "", "/S");
    EXPECT_EQ(installer.waitForExit(20000), 2u);
    EXPECT_FALSE(isDirectory(INSTALL_DIR));
}

// 4 GiB and one page free: a free-space product formed in 32 bits would see 4 KB and refuse.
TEST_F(SmallDrive, FreeSpaceAboveFourGibibytesCountsInFull) {
    ASSERT_NO_FATAL_FAILURE(expectSmallC("4294971392", 4294971392ULL));
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    page.press(IDOK);
    Window next = waitPastDestination(installer, page);
    EXPECT_TRUE(next.hasControl(IDC_PROGRESS_STRIP)) << installer.describeWindows();
    installer.kill();
}

TEST_F(SmallDrive, WithoutProgramFilesTheRootOfCIsProposed) {
    ASSERT_NO_FATAL_FAILURE(expectSmallC("no-program-files", 3698688));
    ASSERT_FALSE(isDirectory("C:\\Program files"));
    Installer installer = startInstaller();
    Window page = reachDestination(installer);
    EXPECT_EQ(page.text(IDC_INSTALL_DIR), "C:\\Quillary");
    page.press(IDOK);
    waitPastDestination(installer, page);
    EXPECT_TRUE(isDirectory("C:\\Quillary"));
    installer.kill();
    driver::removeTree("C:\\Quillary");
}
