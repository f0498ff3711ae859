// What other users may prepare before an administrator runs the installer or the uninstaller:
// the permissions of the folders they make, read back from the descriptors in memory (Wine does
// not keep a DACL on disk), links found on the object itself, and the log file's refusals.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/file_removal.h"
#include "common/folder_security.h"
#include "common/protected_folders.h"
#include "common/setup_log.h"
#include "installer_run.h"
#include "product_state.h"

namespace {

const char ROOT[] = "C:\\trust-test";

// One access entry as the system reads it back from a descriptor.
struct Entry {
    WELL_KNOWN_SID_TYPE who; // WinNullSid stands for "the running user"
    DWORD mask;
};

std::vector<BYTE> wellKnown(WELL_KNOWN_SID_TYPE kind) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(CreateWellKnownSid(kind, NULL, sid.data(), &size)) << kind;
    return sid;
}

std::vector<BYTE> runningUser() {
    HANDLE token;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    std::vector<BYTE> buffer(512);
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), (DWORD)buffer.size(), &size));
    CloseHandle(token);
    PSID sid = ((TOKEN_USER *)buffer.data())->User.Sid;
    return std::vector<BYTE>((BYTE *)sid, (BYTE *)sid + GetLengthSid(sid));
}

// Reads the descriptor back through the security API and compares it with the expected entries:
// a present, protected DACL of allow entries, each inherited by files and folders.
void expectDescriptor(SECURITY_DESCRIPTOR *descriptor, const std::vector<Entry> &expected) {
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "the parent's entries would reach the folder";
    EXPECT_TRUE(control & SE_DACL_PRESENT);
    BOOL present = FALSE, defaulted = TRUE;
    ACL *acl = NULL;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    ASSERT_TRUE(present);
    ASSERT_NE(acl, nullptr) << "a NULL DACL lets everyone in";
    EXPECT_FALSE(defaulted);
    ASSERT_TRUE(IsValidAcl(acl));
    ASSERT_EQ(acl->AceCount, expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        void *ace = NULL;
        ASSERT_TRUE(GetAce(acl, (DWORD)i, &ace));
        ACCESS_ALLOWED_ACE *allowed = (ACCESS_ALLOWED_ACE *)ace;
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
        EXPECT_EQ(allowed->Mask, expected[i].mask) << i;
        std::vector<BYTE> sid =
            expected[i].who == WinNullSid ? runningUser() : wellKnown(expected[i].who);
        EXPECT_TRUE(EqualSid(&allowed->SidStart, sid.data())) << "entry " << i;
    }
}

// The masks as the system's own folder permission dialog names them.
const DWORD FULL_CONTROL = 0x1F01FF;
const DWORD READ_AND_EXECUTE = 0x1200A9;

TEST(FolderSecurity, InstallFoldersGiveUsersReadAndExecuteOnlyAndShutOutTheParent) {
    FolderSecurity security;
    ASSERT_EQ(buildInstallFolderSecurity(&security), 0);
    expectDescriptor(&security.descriptor, {{WinLocalSystemSid, FULL_CONTROL},
                                            {WinBuiltinAdministratorsSid, FULL_CONTROL},
                                            {WinBuiltinUsersSid, READ_AND_EXECUTE}});
}

TEST(FolderSecurity, PrivateFoldersLetInOnlySystemAdministratorsAndTheRunningUser) {
    FolderSecurity security;
    ASSERT_EQ(buildPrivateFolderSecurity(&security), 0);
    expectDescriptor(&security.descriptor, {{WinLocalSystemSid, FULL_CONTROL},
                                            {WinBuiltinAdministratorsSid, FULL_CONTROL},
                                            {WinNullSid, FULL_CONTROL}});
}

class Links : public ::testing::Test {
  protected:
    void SetUp() override {
        clean();
        ASSERT_TRUE(CreateDirectoryA(ROOT, NULL));
        ASSERT_TRUE(CreateDirectoryA((std::string(ROOT) + "\\Other").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA((std::string(ROOT) + "\\Plain").c_str(), NULL));
        ASSERT_TRUE(installed::makeFolderLink(std::string(ROOT) + "\\Other",
                                              std::string(ROOT) + "\\Linked"));
    }
    void TearDown() override { clean(); }
    void clean() {
        installed::removeFolderLink(std::string(ROOT) + "\\Linked");
        driver::removeTree(ROOT);
    }
};

TEST_F(Links, AreFoundOnTheObjectAtAndAboveTheDestination) {
    std::string root = ROOT;
    EXPECT_EQ(isReparsePoint((root + "\\Linked").c_str()), 1);
    EXPECT_EQ(isReparsePoint((root + "\\Plain").c_str()), 0);
    EXPECT_EQ(isReparsePoint((root + "\\Missing").c_str()), 0);

    char found[MAX_PATH] = "";
    EXPECT_EQ(findLinkOnPath((root + "\\Linked").c_str(), found, sizeof(found)), 1);
    EXPECT_STREQ(found, (root + "\\Linked").c_str());
    found[0] = '\0';
    EXPECT_EQ(findLinkOnPath((root + "\\Linked\\Quillary\\Brush").c_str(), found, sizeof(found)), 1)
        << "a link as the parent of a destination still to be made";
    EXPECT_STREQ(found, (root + "\\Linked").c_str());
    EXPECT_EQ(findLinkOnPath((root + "\\Plain\\Quillary").c_str(), found, sizeof(found)), 0);
}

// Wine shows only a linked folder as a reparse point (a linked file looks like its target), so
// the link here is the folder the log would be written in.
TEST_F(Links, TheLogIsNeverOpenedThroughALinkOrOnADevice) {
    std::string root = ROOT;
    std::string victim = root + "\\Other\\precious.txt";
    ASSERT_TRUE(driver::writeWholeFile(victim, "keep me"));
    for (std::string path :
         {root + "\\Linked\\precious.txt", std::string("NUL"), root + "\\con.log",
          std::string("\\\\.\\COM1"), root + "\\Plain\\LPT1. ", root + "\\Linked"}) {
        EXPECT_EQ(SetupLogOpen(path.c_str()), 1) << path;
        SetupLog("must not land anywhere");
        SetupLogClose();
    }
    std::string contents;
    ASSERT_TRUE(driver::readWholeFile(victim, &contents));
    EXPECT_EQ(contents, "keep me");

    // A plain file is emptied and filled.
    std::string log = root + "\\Plain\\setup.log";
    ASSERT_TRUE(driver::writeWholeFile(log, "an older and much longer log"));
    ASSERT_EQ(SetupLogOpen(log.c_str()), 0);
    SetupLog("line %d", 1);
    SetupLogClose();
    ASSERT_TRUE(driver::readWholeFile(log, &contents));
    EXPECT_EQ(contents, "line 1\r\n");
}

TEST_F(Links, ShortPathsAreTakenInTheirLongForm) {
    std::string longFolder = std::string(ROOT) + "\\Plain\\A Rather Long Folder Name";
    ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), NULL));
    char shortForm[MAX_PATH];
    DWORD length = GetShortPathNameA(longFolder.c_str(), shortForm, sizeof(shortForm));
    ASSERT_GT(length, 0u);
    ASSERT_NE(std::string(shortForm), longFolder) << "no 8.3 name to expand";
    char out[512];
    ASSERT_EQ(
        expandLongForm((std::string(shortForm) + "\\Quillary\\Sub").c_str(), out, sizeof(out)), 0);
    EXPECT_EQ(std::string(out), longFolder + "\\Quillary\\Sub");
    ASSERT_EQ(expandLongForm("Q:\\Nowhere\\x", out, sizeof(out)), 0);
    EXPECT_STREQ(out, "Q:\\Nowhere\\x");
    EXPECT_EQ(expandLongForm((std::string(shortForm) + "\\x").c_str(), out, 10), 1);
    EXPECT_STREQ(out, "");
}

TEST(ProtectedFolders, RefuseTheSystemsOwnFoldersAndDrivesButNotFoldersBelowThem) {
    char windowsDir[MAX_PATH], systemDir[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windowsDir, MAX_PATH), 0u);
    ASSERT_GT(GetSystemDirectoryA(systemDir, MAX_PATH), 0u);
    std::string programFiles =
        installed::registryText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    ASSERT_EQ(programFiles.compare(1, 2, ":\\"), 0) << programFiles;
    for (std::string path :
         {std::string(windowsDir), std::string(systemDir), programFiles,
          std::string("C:\\PROGRAM FILES"), std::string("D:\\"), std::string("C:\\Apps\\..")})
        EXPECT_EQ(isRefusedFolder(path.c_str()), 1) << path;
    for (std::string path : {programFiles + "\\Quillary", std::string(windowsDir) + "\\Quillary",
                             std::string("C:\\Apps\\Quillary")})
        EXPECT_EQ(isRefusedFolder(path.c_str()), 0) << path;
}

} // namespace
