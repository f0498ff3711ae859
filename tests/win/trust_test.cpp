// The permissions of the folders the installer and the uninstaller make, read back from the
// descriptors in memory: Wine does not keep a DACL on disk. Links, the log's refusals, the long
// form and the protected folders are checked end to end (tests/e2e/trust_test.cpp).
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "common/folder_security.h"

namespace {

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

} // namespace
