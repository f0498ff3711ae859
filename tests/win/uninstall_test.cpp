// The uninstaller's removal against an installation laid out by hand: the payload's files from
// the manifest, the group and desktop links, and the product's registry keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>

#include "installer_run.h"
#include "product_state.h"
#include "removal.h"

namespace {

const char ROOT[] = "C:\\uninstall-test";
const std::string INSTALL_DIR = std::string(ROOT) + "\\Program Files\\Quillary";
const std::string GROUP_DIR = std::string(ROOT) + "\\Programs\\Quillary";
const std::string UNINSTALL_KEY =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillary";
const char *const PRODUCT_KEYS[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillary",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillary.exe",
    "SOFTWARE\\Classes\\QLRDOC1.Image",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillary",
};
const char *const GROUP_LINKS[] = {"Quillary.lnk", "Uninstall.lnk", "Readme.lnk"};

class Removal : public ::testing::Test {
  protected:
    void SetUp() override {
        clean();
        names = installed::manifestFileNames();
        ASSERT_EQ(names.size(), 129u) << "the manifest's file names";
        desktopLink = installed::shellFolder("Common Desktop") + "\\Quillary.lnk";
        ASSERT_NE(desktopLink, "\\Quillary.lnk") << "the prefix has no Common Desktop";
    }
    void TearDown() override { clean(); }
    void clean() {
        driver::removeTree(ROOT);
        for (const char *key : PRODUCT_KEYS)
            installed::deleteKeyTree(key);
        if (!desktopLink.empty())
            DeleteFileA(desktopLink.c_str());
    }

    // Lays out what the installer makes; every `step`-th payload file only.
    void install(size_t step = 1) {
        for (const char *folder : {"", "\\Program Files", "\\Program Files\\Quillary", "\\Programs",
                                   "\\Programs\\Quillary"})
            CreateDirectoryA((ROOT + std::string(folder)).c_str(), NULL);
        for (const std::string &folder : installed::manifestFolders())
            CreateDirectoryA((INSTALL_DIR + "\\" + folder).c_str(), NULL);
        CreateDirectoryA((INSTALL_DIR + "\\Gallerix").c_str(), NULL);
        for (size_t i = 0; i < names.size(); i += step)
            ASSERT_TRUE(driver::writeWholeFile(INSTALL_DIR + "\\" + names[i], names[i]));
        for (const char *link : GROUP_LINKS)
            ASSERT_TRUE(
                installed::makeLink(INSTALL_DIR + "\\Quillary.exe", GROUP_DIR + "\\" + link));
        std::string apps = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
        ASSERT_TRUE(installed::writeString(apps + "Quillary", "Path", INSTALL_DIR));
        ASSERT_TRUE(
            installed::writeString(apps + "Quillary.exe", "", INSTALL_DIR + "\\Quillary.exe"));
        ASSERT_TRUE(installed::writeString("SOFTWARE\\Classes\\QLRDOC1.Image\\shell\\open\\command",
                                           "", INSTALL_DIR + "\\Quillary.exe %1"));
        ASSERT_TRUE(installed::writeString("SOFTWARE\\Classes\\QLRDOC1.Image\\DefaultIcon", "",
                                           INSTALL_DIR + "\\Quillary.exe,0"));
        ASSERT_TRUE(installed::writeString(UNINSTALL_KEY, "Progdir", INSTALL_DIR));
        ASSERT_TRUE(installed::writeString(UNINSTALL_KEY, "Scdir", GROUP_DIR));
    }

    // Reads the installation back from the registry and removes it.
    RemovalReport uninstall() {
        Installation installation;
        EXPECT_EQ(readInstallation(&installation), 0);
        EXPECT_EQ(std::string(installation.installDir), INSTALL_DIR);
        EXPECT_EQ(std::string(installation.groupDir), GROUP_DIR);
        RemovalReport report;
        reportClear(&report);
        removeInstallation(&installation, 0, &report);
        return report;
    }

    void expectNoKeyLeft() {
        for (const char *key : PRODUCT_KEYS)
            EXPECT_FALSE(installed::keyExists(key)) << key;
    }

    std::vector<std::string> names;
    std::string desktopLink;
};

TEST_F(Removal, RemovesWhatWasInstalledAndKeepsTheUsersFilesAndTheirFolders) {
    install();
    ASSERT_TRUE(installed::makeLink(INSTALL_DIR + "\\Quillary.exe", desktopLink));
    ASSERT_TRUE(driver::writeWholeFile(INSTALL_DIR + "\\my notes.txt", "mine"));
    ASSERT_TRUE(driver::writeWholeFile(INSTALL_DIR + "\\Brush\\my brush.qbr", "mine too"));

    RemovalReport report = uninstall();

    EXPECT_EQ(report.failedCount + report.failedUnlisted, 0) << report.failed;
    std::vector<std::string> left = installed::listTree(INSTALL_DIR);
    std::vector<std::string> expected = {"Brush\\", "Brush\\my brush.qbr", "my notes.txt"};
    EXPECT_EQ(left, expected);
    EXPECT_STREQ(report.kept, (INSTALL_DIR + "\\Brush\n" + INSTALL_DIR + "\n").c_str());
    EXPECT_FALSE(installed::exists(GROUP_DIR));
    EXPECT_TRUE(installed::exists(std::string(ROOT) + "\\Programs")) << "the group's parent stays";
    EXPECT_FALSE(installed::exists(desktopLink));
    expectNoKeyLeft();
}

TEST_F(Removal, FilesGoneAlreadyAreNoFailureAndOtherPeoplesLinksStay) {
    install(3); // a third of the files: the rest were deleted by hand
    driver::removeTree(INSTALL_DIR + "\\Gallerix");
    ASSERT_TRUE(installed::makeLink("C:\\Other\\Quillary.exe", desktopLink));
    ASSERT_TRUE(installed::makeLink("C:\\Other\\other.exe", GROUP_DIR + "\\Other.lnk"));

    RemovalReport report = uninstall();

    EXPECT_EQ(report.failedCount + report.failedUnlisted, 0) << report.failed;
    EXPECT_FALSE(installed::exists(INSTALL_DIR));
    EXPECT_EQ(installed::listTree(GROUP_DIR), std::vector<std::string>{"Other.lnk"});
    EXPECT_STREQ(report.kept, (GROUP_DIR + "\n").c_str());
    EXPECT_EQ(installed::readLink(desktopLink).target, "C:\\Other\\Quillary.exe")
        << "a desktop link into another folder is not the product's";
    expectNoKeyLeft();

    // Nothing left at all: a second run finds no entry and removes nothing.
    Installation again;
    EXPECT_EQ(readInstallation(&again), 1);
}

TEST_F(Removal, NamesAFileItCouldNotDelete) {
    install();
    std::string held = INSTALL_DIR + "\\" + names[5];
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    RemovalReport report = uninstall();
    CloseHandle(file);

    EXPECT_STREQ(report.failed, (held + "\n").c_str());
    char text[REPORT_TEXT_BUFFER];
    reportText(&report, text, sizeof(text));
    EXPECT_NE(strstr(text, held.c_str()), nullptr) << text;
    EXPECT_EQ(strstr(text, "successfully"), nullptr) << text;
    EXPECT_EQ(installed::listTree(INSTALL_DIR), std::vector<std::string>{names[5]});
    // Not removed whole: every key stays, so the removal can be run again from the entry.
    for (const char *key : PRODUCT_KEYS)
        EXPECT_TRUE(installed::keyExists(key)) << key;
}

TEST_F(Removal, KeepsTheUninstallEntryWhenAnotherKeyStays) {
    install();
    const std::string command = "SOFTWARE\\Classes\\QLRDOC1.Image\\shell\\open\\command";
    installed::RegistryKeyLock lock(command, DELETE | KEY_WRITE);
    ASSERT_TRUE(lock.locked()) << "the key's deny entry did not take effect";
    RemovalReport report = uninstall();
    lock.release();

    EXPECT_NE(strstr(report.failed, "QLRDOC1.Image"), nullptr) << report.failed;
    EXPECT_TRUE(installed::keyExists(UNINSTALL_KEY))
        << "the retry the entry promises finds nothing";
    EXPECT_EQ(installed::registryText(UNINSTALL_KEY, "Progdir"), INSTALL_DIR);
}

TEST_F(Removal, RefusesAnEntryThatDoesNotNameAnInstallationFolder) {
    Installation installation;
    EXPECT_EQ(readInstallation(&installation), INSTALLATION_MISSING) << "no entry";
    char windowsDir[MAX_PATH], systemDir[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windowsDir, MAX_PATH), 0u);
    ASSERT_GT(GetSystemDirectoryA(systemDir, MAX_PATH), 0u);
    std::string programFiles =
        installed::registryText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    ASSERT_EQ(programFiles.compare(1, 2, ":\\"), 0) << programFiles;
    const std::string tooLong(600, 'x');
    struct {
        std::string progdir;
        int expected;
    } cases[] = {
        {"", INSTALLATION_MISSING},
        {"C:\\", INSTALLATION_REFUSED},
        {"C:", INSTALLATION_REFUSED},
        {"Quillary", INSTALLATION_REFUSED},
        {"C:\\" + tooLong, INSTALLATION_REFUSED},
        {windowsDir, INSTALLATION_REFUSED},
        {std::string(systemDir) + "\\", INSTALLATION_REFUSED},
        {programFiles, INSTALLATION_REFUSED},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(installed::writeString(UNINSTALL_KEY, "Progdir", c.progdir));
        ASSERT_EQ(installed::registryText(UNINSTALL_KEY, "Progdir"), c.progdir);
        strcpy(installation.installDir, "stale");
        EXPECT_EQ(readInstallation(&installation), c.expected) << "Progdir " << c.progdir;
        EXPECT_STREQ(installation.installDir, "");
    }
    ASSERT_TRUE(installed::writeString(UNINSTALL_KEY, "Progdir", "C:\\Apps\\Quillary\\"));
    EXPECT_EQ(readInstallation(&installation), INSTALLATION_FOUND);
    EXPECT_STREQ(installation.installDir, "C:\\Apps\\Quillary");
    EXPECT_STREQ(installation.groupDir, "") << "no Scdir";

    // The group folder is held to the same rules, and refusing it refuses the whole entry.
    ASSERT_TRUE(installed::writeString(UNINSTALL_KEY, "Scdir", "C:\\Programs\\..\\Quillary"));
    EXPECT_EQ(readInstallation(&installation), INSTALLATION_REFUSED);
    EXPECT_STREQ(installation.installDir, "");
}

} // namespace
