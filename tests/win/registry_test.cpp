// Registry reader and writers against Wine's real registry: every value read back through the
// registry API, a second installation over the first, a missing App Paths key, and the
// Shell Folders reader's buffer boundaries.
// Key tree copying and deleting came with Windows Vista.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/setup_state.h"
#include "system/registry.h"

namespace {

const char APP_PATHS[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char UNINSTALL[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char APP_ENTRY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillary";
const char PROGRAM_ENTRY[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillary.exe";
const char UNINSTALL_ENTRY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillary";
const char DOCUMENT_CLASS[] = "SOFTWARE\\Classes\\QLRDOC1.Image";
const char SHELL_FOLDERS[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
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

bool keyExists(const char *keyPath) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
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

void removeProductEntries() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, APP_ENTRY);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, APP_ENTRY);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, PROGRAM_ENTRY);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, PROGRAM_ENTRY);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, DOCUMENT_CLASS);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, DOCUMENT_CLASS);
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
    DWORD value = 0;
    HKEY key;
    DWORD size = sizeof(value);
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
    RegQueryValueExA(key, name, NULL, NULL, (BYTE *)&value, &size);
    RegCloseKey(key);
    EXPECT_EQ(value, expected) << name;
}

// The product's version as the source tree's VERSION file spells it.
std::string versionFile() {
    char path[MAX_PATH] = "";
    GetEnvironmentVariableA("QUILLARY_SOURCE_DIR", path, sizeof(path));
    std::string text;
    HANDLE file = CreateFileA((std::string(path) + "\\VERSION").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    char buffer[64] = "";
    DWORD got = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, buffer, sizeof(buffer) - 1, &got, NULL);
        CloseHandle(file);
    }
    text.assign(buffer, got);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
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
    ASSERT_FALSE(versionFile().empty());
    expectString(UNINSTALL_ENTRY, "DisplayVersion", versionFile());
    expectString(UNINSTALL_ENTRY, "Publisher", "Quillary");
    expectString(UNINSTALL_ENTRY, "InstallLocation", dir);
    expectNumber(UNINSTALL_ENTRY, "EstimatedSize", (3941974 + 1023) / 1024); // the data total
    expectNumber(UNINSTALL_ENTRY, "NoModify", 1);
    expectNumber(UNINSTALL_ENTRY, "NoRepair", 1);
    // Nothing more than that: no stray value or key.
    EXPECT_EQ(keyCounts(APP_ENTRY), std::make_pair(0, 2));
    EXPECT_EQ(keyCounts(PROGRAM_ENTRY), std::make_pair(0, 2));
    EXPECT_EQ(keyCounts(UNINSTALL_ENTRY), std::make_pair(0, 11));
    EXPECT_EQ(keyCounts(DOCUMENT_CLASS), std::make_pair(2, 1));
}

class RegistryWriters : public ::testing::Test {
  protected:
    void SetUp() override { removeProductEntries(); }
    void TearDown() override {
        removeProductEntries();
        memset(setup.installDir, 0, sizeof(setup.installDir));
    }
};

} // namespace

TEST_F(RegistryWriters, WriteEveryValueQuotingTheCommandLinesOfAPathWithBlanks) {
    std::pair<int, int> appPathsBefore = keyCounts(APP_PATHS);
    std::pair<int, int> uninstallBefore = keyCounts(UNINSTALL);
    const std::string first = "C:\\Program Files\\My Apps\\Quillary";
    const std::string firstGroup = "C:\\Start Menu\\Programs\\Quillary";
    writeAll(first, firstGroup);
    expectAllValues(first, firstGroup);
    EXPECT_EQ(keyCounts(APP_PATHS).first, appPathsBefore.first + 2);
    EXPECT_EQ(keyCounts(UNINSTALL).first, uninstallBefore.first + 1);

    // A second installation over the first overwrites the same values and adds no key.
    const std::string second = "D:\\Quillary";
    const std::string secondGroup = "C:\\Menu\\Quillary";
    writeAll(second, secondGroup);
    expectAllValues(second, secondGroup);
    EXPECT_EQ(keyCounts(APP_PATHS).first, appPathsBefore.first + 2);
    EXPECT_EQ(keyCounts(UNINSTALL).first, uninstallBefore.first + 1);
}

TEST_F(RegistryWriters, WithoutAppPathsOnlyTheAppPathEntryIsLeftOut) {
    ASSERT_TRUE(keyExists(APP_PATHS)) << "the prefix has an App Paths key to set aside";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, SAVED_APP_PATHS);
    HKEY saved;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SAVED_APP_PATHS, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                              &saved, NULL),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCopyTreeA(HKEY_LOCAL_MACHINE, APP_PATHS, saved), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, APP_PATHS), ERROR_SUCCESS);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, APP_PATHS);

    const std::string dir = "C:\\Apps\\Quillary";
    writeAll(dir, "C:\\Menu\\Quillary");
    bool appPathsMade = keyExists(APP_PATHS);

    // Put App Paths back before anything can fail.
    HKEY restored;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, APP_PATHS, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &restored,
                    NULL);
    RegCopyTreeA(saved, NULL, restored);
    RegCloseKey(restored);
    RegCloseKey(saved);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillaryTestSaved");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QuillaryTestSaved");

    EXPECT_FALSE(appPathsMade) << "the App Paths key is opened, never created";
    expectString(UNINSTALL_ENTRY, "Progdir", dir);
    expectString((std::string(DOCUMENT_CLASS) + "\\shell\\open\\command").c_str(), "",
                 "\"" + dir + "\\Quillary.exe\" \"%1\"");
}

namespace {

class ShellFolderReader : public ::testing::Test {
  protected:
    void TearDown() override { setFolderValue(NULL); }
    // Stores text (NULL: deletes the value) as REG_SZ with its terminator.
    static void setFolderValue(const std::string *text) {
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHELL_FOLDERS, 0, KEY_ALL_ACCESS, &key),
                  ERROR_SUCCESS);
        if (text == NULL)
            RegDeleteValueA(key, TEST_FOLDER_VALUE);
        else
            RegSetValueExA(key, TEST_FOLDER_VALUE, 0, REG_SZ, (const BYTE *)text->c_str(),
                           (DWORD)text->size() + 1);
        RegCloseKey(key);
    }
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
        setFolderValue(&c.value);
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
    setFolderValue(NULL);
    std::string buffer(16, '#');
    EXPECT_EQ(ReadShellFolder(TEST_FOLDER_VALUE, &buffer[0], buffer.size()), 0) << "missing value";
    EXPECT_EQ(buffer, std::string(16, '#'));
}
