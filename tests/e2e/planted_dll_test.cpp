// The installer started from a folder where someone has put DLLs of system names (a Downloads
// folder anyone's programs can write to), with Wine told to take a native copy of those names
// wherever its search finds one: a whole installation through the directory browser and the
// shortcut page's folder browser loads none of them. Runs in the ctest entry e2e.planted-dlls,
// which sets the overrides.
#include <string>
#include <vector>

#include "pages_driver.h"
#include "support/dll_markers.h"
#include "support/installed_system.h"

using namespace pages;

namespace {

// A folder anyone can write to, as a Downloads folder is.
const char DOWNLOADS[] = "C:\\users\\Public\\Downloaded setup";
const DWORD COPY_TIMEOUT_MS = 60000;

class PlantedDlls : public ::testing::Test {
  protected:
    void SetUp() override {
        programs = installed::shellFolder("Common Programs");
        ASSERT_FALSE(programs.empty()) << "the prefix has no all-users programs folder";
        reset();
    }
    void TearDown() override {
        installed::closeShellWindows();
        reset();
    }
    void reset() {
        driver::removeTree(DOWNLOADS);
        driver::removeTree(INSTALL_DIR);
        driver::removeTree(programs + "\\Quillary");
        installed::deleteProductEntries();
        markers::clear();
    }
    std::string programs;
};

} // namespace

TEST_F(PlantedDlls, InstallerLoadsNoneOfTheDllsBesideIt) {
    ASSERT_TRUE(markers::nativeFirstInForce(markers::onDemandNames()))
        << "WINEDLLOVERRIDES lacks " << markers::nativeFirstEntry(markers::onDemandNames())
        << ": run this in the ctest entry e2e.planted-dlls";
    ASSERT_TRUE(CreateDirectoryA(DOWNLOADS, NULL));
    std::string setup = std::string(DOWNLOADS) + "\\Quillary-Setup.exe";
    ASSERT_TRUE(CopyFileA(driver::environment("QUILLARY_INSTALLER").c_str(), setup.c_str(), FALSE));
    ASSERT_TRUE(markers::plant(DOWNLOADS, markers::onDemandNames()));

    Installer installer = Installer::start(setup, DOWNLOADS);
    Window destination = reachDestination(installer);
    destination.press(IDC_BROWSE);
    Window browser = installer.waitForWindow(driver::hasControls(
        {IDOK, IDCANCEL, IDC_FOLDER_NAME, IDC_DRIVE_BOX, IDC_DIRECTORY_LIST, IDC_BROWSE_PATH}));
    ASSERT_TRUE(driver::waitFor([&] { return !browser.text(IDC_BROWSE_PATH).empty(); }, 5000));
    browser.press(IDOK);
    browser.waitUntilGone();
    destination.press(IDOK);

    Window page = installer.waitForWindow(
        driver::hasControls({IDOK, IDCANCEL, IDC_BROWSE, IDC_SHORTCUT_PATH, IDC_DESKTOP_SHORTCUT}),
        COPY_TIMEOUT_MS);
    page.press(IDC_BROWSE);
    Window groups = installer.waitForWindow(
        driver::hasControls({IDOK, IDCANCEL, IDC_GROUP_PATH, IDC_FOLDER_LIST}));
    groups.press(IDOK);
    groups.waitUntilGone();
    page.press(IDOK);
    MessageBox success = installer.waitForMessageBox();
    success.answer(IDOK);
    installed::waitForShellWindow("Quillary");
    EXPECT_EQ(installer.waitForExit(), 0u);

    EXPECT_EQ(installed::countFiles(INSTALL_DIR), 129) << "the installation did not complete";
    EXPECT_TRUE(installed::exists(programs + "\\Quillary\\Quillary.lnk"));
    EXPECT_EQ(markers::found(), std::vector<std::string>{}) << "DLLs loaded from " << DOWNLOADS;
}
