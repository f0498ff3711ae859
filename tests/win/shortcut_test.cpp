// Shortcut files made through the shell link object and loaded back through IShellLinkA and
// IPersistFile: target and description, replacement, a missing folder, the link path limit.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "installed_system.h"
#include "system/shortcut.h"

namespace {

const char FOLDER[] = "C:\\quillary-link-test";

int linkFiles() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(FOLDER) + "\\*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
        count++;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

void touch(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    CloseHandle(file);
}

void emptyFolder() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(FOLDER) + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileA((std::string(FOLDER) + "\\" + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(FOLDER);
}

class Shortcuts : public ::testing::Test {
  protected:
    void SetUp() override {
        emptyFolder();
        ASSERT_TRUE(CreateDirectoryA(FOLDER, NULL));
    }
    void TearDown() override { emptyFolder(); }
    std::string in(const std::string &name) { return std::string(FOLDER) + "\\" + name; }
};

} // namespace

TEST_F(Shortcuts, EachLinkLoadsBackWithItsTargetAndDescriptionOnly) {
    struct {
        const char *target, *link, *description;
    } cases[] = {{"Quillary.exe", "Quillary.lnk", "Quillary"},
                 {"uninstall.exe", "Uninstall.lnk", "Uninstall"},
                 {"Readme.wri", "Readme.lnk", "Readme"}};
    for (const auto &c : cases) {
        touch(in(c.target));
        EXPECT_GE(CreateShortcut(in(c.target).c_str(), in(c.link).c_str(), c.description), 0)
            << c.link;
        installed::Link read = installed::readLink(in(c.link));
        ASSERT_TRUE(read.loaded) << c.link;
        EXPECT_STRCASEEQ(read.target.c_str(), in(c.target).c_str());
        EXPECT_EQ(read.description, c.description);
        EXPECT_EQ(read.arguments, "") << "no arguments stored";
        EXPECT_EQ(read.workingDir, "") << "no working directory stored";
    }
    EXPECT_EQ(linkFiles(), 3);
}

TEST_F(Shortcuts, ASecondCallOnTheSameLinkPathReplacesTheFile) {
    touch(in("first.exe"));
    touch(in("second.exe"));
    ASSERT_GE(CreateShortcut(in("first.exe").c_str(), in("Quillary.lnk").c_str(), "First"), 0);
    ASSERT_GE(CreateShortcut(in("second.exe").c_str(), in("Quillary.lnk").c_str(), "Second"), 0);
    EXPECT_EQ(linkFiles(), 1);
    installed::Link read = installed::readLink(in("Quillary.lnk"));
    EXPECT_STRCASEEQ(read.target.c_str(), in("second.exe").c_str());
    EXPECT_EQ(read.description, "Second");
}

TEST_F(Shortcuts, FailsInAMissingFolderAndRefusesALinkPathOf260Characters) {
    touch(in("Quillary.exe"));
    std::string target = in("Quillary.exe");
    std::string missing = in("no such folder\\Quillary.lnk");
    EXPECT_LT(CreateShortcut(target.c_str(), missing.c_str(), "Quillary"), 0);
    EXPECT_FALSE(installed::exists(missing));

    // 259 characters is the longest link path the shell takes; one more is refused.
    std::string prefix = std::string(FOLDER) + "\\";
    std::string longest = prefix + std::string(259 - prefix.size() - 4, 'l') + ".lnk";
    ASSERT_EQ(longest.size(), 259u);
    EXPECT_GE(CreateShortcut(target.c_str(), longest.c_str(), "Quillary"), 0);
    EXPECT_TRUE(installed::readLink(longest).loaded);
    std::string tooLong = prefix + std::string(260 - prefix.size() - 4, 'm') + ".lnk";
    ASSERT_EQ(tooLong.size(), 260u);
    EXPECT_LT(CreateShortcut(target.c_str(), tooLong.c_str(), "Quillary"), 0);
    EXPECT_EQ(linkFiles(), 1) << "only the 259-character link was written";
}
