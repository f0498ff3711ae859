// Path joining rules (record, destination, group) and the buffers that must not overflow.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/paths.h"

TEST(RecordPaths, JoinsDirectoryBackslashAndNamePrefix) {
    struct {
        const char *dir, *name;
        size_t length;
        const char *expected;
    } cases[] = {{"C:\\Quillary", "readme.txt", 10, "C:\\Quillary\\readme.txt"},
                 {"C:\\Quillary", "Brushes\\soft.brs", 7, "C:\\Quillary\\Brushes"},
                 {"C:\\Quillary", "A\\B\\file", 3, "C:\\Quillary\\A\\B"},
                 {"C:\\Quillary", "x", 0, "C:\\Quillary\\"}};
    for (const auto &c : cases) {
        char out[RECORD_PATH_BUFFER];
        EXPECT_EQ(joinRecordPath(out, sizeof(out), c.dir, c.name, c.length), 0) << c.expected;
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(RecordPaths, RefusesWhatWouldNotFitAndLeavesTheBufferEmpty) {
    std::string name(255, 'n');
    // Exactly fits: dir + '\' + name + terminator == buffer size.
    std::string dir(RECORD_PATH_BUFFER - 1 - 1 - name.size(), 'd');
    std::string guard(RECORD_PATH_BUFFER + 8, '#');
    char *out = &guard[0];
    EXPECT_EQ(joinRecordPath(out, RECORD_PATH_BUFFER, dir.c_str(), name.c_str(), name.size()), 0);
    EXPECT_EQ(std::string(out), dir + "\\" + name);

    std::string longer = dir + "d";
    guard.assign(RECORD_PATH_BUFFER + 8, '#');
    EXPECT_EQ(joinRecordPath(out, RECORD_PATH_BUFFER, longer.c_str(), name.c_str(), name.size()),
              1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(guard.substr(1), std::string(RECORD_PATH_BUFFER + 7, '#'))
        << "nothing written past the terminator of the refused join";

    char small[RECORD_DIRECTORY_BUFFER];
    std::string dir250(250, 'd');
    EXPECT_EQ(joinRecordPath(small, sizeof(small), dir250.c_str(), "abcdefgh\\x", 8), 0);
    EXPECT_EQ(joinRecordPath(small, sizeof(small), dir250.c_str(), "abcdefghi\\x", 9), 1);
    EXPECT_EQ(joinRecordPath(small, 0, "d", "n", 1), 1);
    EXPECT_EQ(joinRecordPath(small, sizeof(small), "d", "n", 2), 1) << "prefix past the name";
}

TEST(RecordPaths, DeepestDirectoryIsTheLastBackslashAfterTheFirstCharacter) {
    struct {
        const char *name;
        size_t end;
    } cases[] = {{"readme.txt", 0}, {"Brushes\\soft.brs", 7},
                 {"A\\B\\file", 3}, {"\\leading", 0},
                 {"\\a\\b", 2},     {"", 0},
                 {"trailing\\", 8}, {"a/b", 0}};
    for (const auto &c : cases)
        EXPECT_EQ(lastDirectoryEnd(c.name), c.end) << c.name;
}

TEST(RecordPaths, DropsExactlyOneTrailingBackslash) {
    struct {
        const char *in, *out;
    } cases[] = {{"C:\\users\\me\\Temp\\", "C:\\users\\me\\Temp"},
                 {"C:\\", "C:"},
                 {"C:\\Temp", "C:\\Temp"},
                 {"D:\\x\\\\", "D:\\x\\"},
                 {"", ""}};
    for (const auto &c : cases) {
        char buffer[64];
        strcpy(buffer, c.in);
        dropTrailingBackslash(buffer);
        EXPECT_STREQ(buffer, c.out) << c.in;
    }
}

TEST(GroupPath, AddsOneBackslashUnlessTheFolderEndsInOneAndRefusesWhatDoesNotFit) {
    struct {
        const char *dir, *name, *expected;
    } cases[] = {
        {"C:\\Menu\\Programs", "Quillary", "C:\\Menu\\Programs\\Quillary"},
        {"C:\\", "Quillary", "C:\\Quillary"},
        {"C:", "Quillary", "C:\\Quillary"},
        {"", "Quillary", "\\Quillary"},
    };
    for (const auto &c : cases) {
        char out[PATH_BUFFER];
        ASSERT_EQ(joinGroupPath(out, sizeof(out), c.dir, c.name), 0) << c.dir;
        EXPECT_STREQ(out, c.expected);
    }
    char small[12];
    EXPECT_EQ(joinGroupPath(small, sizeof(small), "C:\\Menu", "Quil"), 1) << "needs 13 bytes";
    EXPECT_STREQ(small, "") << "a refused join leaves the buffer empty";
    EXPECT_EQ(joinGroupPath(small, sizeof(small), "C:\\Menu", "Qui"), 0);
    EXPECT_STREQ(small, "C:\\Menu\\Qui");
}

// The one rule for what a product folder may be, as /D=, the pages and the uninstaller use it
// (the uninstaller's own cases: EntryFolders in product_programs_test.cpp).
TEST(ProductFolders, TakeLettersAbove127AndRefuseDrivesAndTheFoldersGiven) {
    const char *const protectedFolders[] = {"C:\\windows", "C:\\Program Files\\"};
    for (const char *path : {"C:\\Caf\xE9", "C:\\\xC4pps\\Quillary \xBD"}) {
        EXPECT_EQ(isNormalLocalPath(path), 1) << path;
        EXPECT_EQ(isProtectedFolder(path, protectedFolders, 2), 0) << path;
    }
    EXPECT_EQ(isNormalLocalPath("C:\\Apps\\CON"), 0);
    for (const char *path : {"C:\\", "d:\\", "C:\\WINDOWS", "C:\\program files"})
        EXPECT_EQ(isProtectedFolder(path, protectedFolders, 2), 1) << path;
    EXPECT_EQ(isProtectedFolder("C:\\windows\\Quillary", protectedFolders, 2), 0);
}

TEST(ProductFolders, DeviceNamesAreToldFromFileNames) {
    for (const char *path : {"NUL", "C:\\Logs\\COM1.log", "lpt1. ", "\\\\.\\COM1", "C:nul"})
        EXPECT_EQ(namesDevice(path), 1) << path;
    for (const char *path : {"C:\\Logs\\quillary.log", "C:\\CON\\x.log", "C:\\Logs\\COM10"})
        EXPECT_EQ(namesDevice(path), 0) << path;
}
