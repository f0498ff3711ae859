// Registry reader and writers against Wine's real registry: every value read back through the
// registry API, a second installation over the first, a missing App Paths key, and the
// Shell Folders reader's buffer boundaries.

// Key tree copying came with Windows Vista.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/setup_state.h"
#include "installed_system.h"
#include "system/registry.h"

namespace {

const char APP_PATHS[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char UNINSTALL[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
using installed::APP_ENTRY;
using installed::DOCUMENT_CLASS;
using installed::PROGRAM_ENTRY;
using installed::UNINSTALL_ENTRY;
const char SAVED_APP_PATHS[] = "SOFTWARE\\QuillaryTestSaved\\App Paths";
const char TEST_FOLDER_VALUE[] = "Quillary Test Folder";

struct ValueRead {
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;
    std::string data; // up to the first zero
};

ValueRead readValue(const char *keyPath, const char *name) {
    ValueRead read;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return read;
    char data[2048] = {0};
    read.size = sizeof(data);
    read.found =
        RegQueryValueExA(key, name, NULL, &read.type, (BYTE *)data, &read.size) == ERROR_SUCCESS;
    read.data = data;
    RegCloseKey(key);
    return read;
}

// Subkeys and values of a key; -1, -1 when it cannot be opened.
std::pair<int, int> keyCounts(const char *keyPath) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {-1, -1};
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return {(int)subkeys, (int)values};
}

// Each value as the writers must leave it: REG_SZ, the exact text, its terminator stored.
void expectString(const char *keyPath, const char *name, const std::string &expected) {
    ValueRead read = readValue(keyPath, name);
    ASSERT_TRUE(read.found) << keyPath << " [" << name << "]";
    EXPECT_EQ(read.type, (DWORD)REG_SZ) << keyPath << " [" << name << "]";
    EXPECT_EQ(read.data, expected) << keyPath << " [" << name << "]";
    EXPECT_EQ(read.size, expected.size() + 1) << "terminator stored: " << name;
}

void expectNumber(const char *keyPath, const char *name, DWORD expected) {
    ValueRead read = readValue(keyPath, name);
    ASSERT_TRUE(read.found) << keyPath << " [" << name << "]";
    EXPECT_EQ(read.type, (DWORD)REG_DWORD) << name;
    ASSERT_EQ(read.size, sizeof(DWORD)) << name;
    EXPECT_EQ(installed::registryText(keyPath, name), std::to_string(expected)) << name;
}

void writeAll(const std::string &installDir, const std::string &groupPath) {
    lstrcpynA(setup.installDir, installDir.c_str(), PATH_BUFFER);
    RegisterAppPath();
    RegisterUninstallEntry((installDir + "\\uninstall.exe").c_str(), groupPath.c_str());
    RegisterDocumentType();
}

void expectAllValues(const std::string &dir, const std::string &group) {
    expectString(APP_ENTRY, "", "Quillary");
    expectString(APP_ENTRY, "Path", dir);
    expectString(UNINSTALL_ENTRY, "DisplayName", "Quillary");
    expectString(UNINSTALL_ENTRY, "UninstallString", "\"" + dir + "\\uninstall.exe\"");
    expectString(UNINSTALL_ENTRY, "Scdir", group);
    expectString(UNINSTALL_ENTRY, "Progdir", dir);
    expectString(DOCUMENT_CLASS, "", "Quillary");
    expectString((std::string(DOCUMENT_CLASS) + "\\DefaultIcon").c_str(), "",
                 dir + "\\Quillary.exe,0");
    expectString((std::string(DOCUMENT_CLASS) + "\\shell\\open\\command").c_str(), "",
                 "\"" + dir + "\\Quillary.exe\" \"%1\"");
    // What the system's list of programs and its Run box read besides.
    expectString(PROGRAM_ENTRY, "", dir + "\\Quillary.exe");
    expectString(PROGRAM_ENTRY, "Path", dir);
    expectString(UNINSTALL_ENTRY, "DisplayIcon", dir + "\\Quillary.exe,0");
    ASSERT_FALSE(installed::productVersion().empty());
    expectString(UNINSTALL_ENTRY, "DisplayVersion", installed::productVersion());
    expectString(UNINSTALL_ENTRY, "Publisher", "Quillary");
    expectString(UNINSTALL_ENTRY, "InstallLocation", dir);
    expectNumber(UNINSTALL_ENTRY, "EstimatedSize", installed::INSTALLED_KIB);
    expectNumber(UNINSTALL_ENTRY, "NoModify", 1);
    expectNumber(UNINSTALL_ENTRY, "NoRepair", 1);
    // What deployment tools read: the silent removal's command line and the local date.
    expectString(UNINSTALL_ENTRY, "QuietUninstallString", "\"" + dir + "\\uninstall.exe\" /S");
    expectString(UNINSTALL_ENTRY, "InstallDate", installed::localDate());
    // Nothing more than that: no stray value or key.
    EXPECT_EQ(keyCounts(APP_ENTRY), std::make_pair(0, 2));
    EXPECT_EQ(keyCounts(PROGRAM_ENTRY), std::make_pair(0, 2));
    EXPECT_EQ(keyCounts(UNINSTALL_ENTRY), std::make_pair(0, 13));
    EXPECT_EQ(keyCounts(DOCUMENT_CLASS), std::make_pair(2, 1));
}

class RegistryWriters : public ::testing::Test {
  protected:
    void SetUp() override { installed::deleteProductEntries(); }
    void TearDown() override {
        installed::deleteProductEntries();
        memset(setup.installDir, 0, sizeof(setup.installDir));
    }
};

} // namespace

TEST_F(RegistryWriters, WriteEveryValueQuotingTheCommandLinesOfAPathWithBlanks) {
    std::pair<int, int> appPathsBefore = keyCounts(APP_PATHS);
    std::pair<int, int> uninstallBefore = keyCounts(UNINSTALL);
    // The second installation over the first overwrites the same values and adds no key.
    struct {
        std::string dir, group;
    } installations[] = {
        {"C:\\Program Files\\My Apps\\Quillary", "C:\\Start Menu\\Programs\\Quillary"},
        {"D:\\Quillary", "C:\\Menu\\Quillary"}};
    for (const auto &i : installations) {
        writeAll(i.dir, i.group);
        expectAllValues(i.dir, i.group);
        EXPECT_EQ(keyCounts(APP_PATHS).first, appPathsBefore.first + 2) << i.dir;
        EXPECT_EQ(keyCounts(UNINSTALL).first, uninstallBefore.first + 1) << i.dir;
    }
}

TEST_F(RegistryWriters, WithoutAppPathsOnlyTheAppPathEntryIsLeftOut) {
    ASSERT_TRUE(installed::keyExists(APP_PATHS)) << "the prefix has an App Paths key to set aside";
    installed::deleteKeyTree(SAVED_APP_PATHS);
    HKEY saved;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SAVED_APP_PATHS, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                              &saved, NULL),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCopyTreeA(HKEY_LOCAL_MACHINE, APP_PATHS, saved), ERROR_SUCCESS);
    installed::deleteKeyTree(APP_PATHS);
    ASSERT_FALSE(installed::keyExists(APP_PATHS));

    const std::string dir = "C:\\Apps\\Quillary";
    writeAll(dir, "C:\\Menu\\Quillary");
    bool appPathsMade = installed::keyExists(APP_PATHS);

    // Put App Paths back before anything can fail.
    HKEY restored;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, APP_PATHS, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &restored,
                    NULL);
    RegCopyTreeA(saved, NULL, restored);
    RegCloseKey(restored);
    RegCloseKey(saved);
    installed::deleteKeyTree("SOFTWARE\\QuillaryTestSaved");

    EXPECT_FALSE(appPathsMade) << "the App Paths key is opened, never created";
    expectString(UNINSTALL_ENTRY, "Progdir", dir);
    expectString((std::string(DOCUMENT_CLASS) + "\\shell\\open\\command").c_str(), "",
                 "\"" + dir + "\\Quillary.exe\" \"%1\"");
}

namespace {

class ShellFolderReader : public ::testing::Test {
  protected:
    void TearDown() override { installed::setShellFolder(TEST_FOLDER_VALUE, NULL); }
};

} // namespace

TEST_F(ShellFolderReader, AcceptsWhatFitsAndLeavesTheBufferUntouchedOtherwise) {
    const std::string deep = "C:\\" + std::string(508, 'a'); // 511 characters: 512 bytes stored
    struct {
        const char *label;
        std::string value;
        size_t bufferSize;
        bool accepted;
        std::string expected;
    } cases[] = {
        {"512 bytes with the terminator", deep, 512, true, deep},
        {"513 bytes", deep + "a", 512, false, ""},
        {"drive root", "C:\\", 512, true, "C:"},
        {"one trailing backslash", "C:\\Menu\\Programs\\", 512, true, "C:\\Menu\\Programs"},
        {"empty", "", 512, false, ""},
        {"259 characters into 260 bytes", std::string(259, 'b'), 260, true, std::string(259, 'b')},
        {"260 characters into 260 bytes", std::string(260, 'c'), 260, false, ""},
        {"260 characters, the last a backslash", std::string(259, 'd') + "\\", 260, true,
         std::string(259, 'd')},
    };
    for (const auto &c : cases) {
        installed::setShellFolder(TEST_FOLDER_VALUE, c.value.c_str());
        std::string buffer(c.bufferSize, '#');
        int found = ReadShellFolder(TEST_FOLDER_VALUE, &buffer[0], c.bufferSize);
        if (!c.accepted) {
            EXPECT_EQ(found, 0) << c.label;
            EXPECT_EQ(buffer, std::string(c.bufferSize, '#')) << c.label << ": buffer changed";
        } else {
            EXPECT_EQ(found, 1) << c.label;
            EXPECT_EQ(std::string(buffer.c_str()), c.expected) << c.label;
        }
    }
    installed::setShellFolder(TEST_FOLDER_VALUE, NULL);
    std::string buffer(16, '#');
    EXPECT_EQ(ReadShellFolder(TEST_FOLDER_VALUE, &buffer[0], buffer.size()), 0) << "missing value";
    EXPECT_EQ(buffer, std::string(16, '#'));
}
