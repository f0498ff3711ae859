// Building the installation folders' and the private folders' security descriptors.
#include "common/folder_security.h"

// Full control and read-and-execute as a folder's entries give them.
static const DWORD FULL_CONTROL = FILE_ALL_ACCESS;
static const DWORD READ_AND_EXECUTE = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
// Every entry reaches the files and folders made inside.
static const DWORD INHERITED = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// The SID of the user this process runs as, copied into sid (SECURITY_MAX_SID_SIZE bytes).
// Returns 0 when copied.
static int copyProcessUser(void *sid) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 1;
    // TOKEN_USER holds a pointer: the union keeps the buffer aligned for it on either build.
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } information;
    DWORD size = 0;
    BOOL read = GetTokenInformation(token, TokenUser, &information, sizeof(information), &size);
    CloseHandle(token);
    if (!read)
        return 1;
    PSID userSid = information.user.User.Sid;
    return !CopySid(SECURITY_MAX_SID_SIZE, sid, userSid);
}

// The descriptor over the three entries: sids[i] gets masks[i]. Returns 0 when built.
static int buildDescriptor(FolderSecurity *security, const DWORD *masks) {
    ACL *acl = (ACL *)security->acl;
    if (!InitializeAcl(acl, sizeof(security->acl), ACL_REVISION))
        return 1;
    for (int i = 0; i < FOLDER_SECURITY_ENTRIES; i++)
        if (!AddAccessAllowedAceEx(acl, ACL_REVISION, INHERITED, masks[i], security->sids[i]))
            return 1;
    SECURITY_DESCRIPTOR *descriptor = &security->descriptor;
    return !InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
           !SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) ||
           !SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

// Writes the well-known SID kind into sid (SECURITY_MAX_SID_SIZE bytes); 0 when written.
static int wellKnownSid(WELL_KNOWN_SID_TYPE kind, void *sid) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    return !CreateWellKnownSid(kind, NULL, sid, &size);
}

int buildInstallFolderSecurity(FolderSecurity *security) {
    static const DWORD MASKS[FOLDER_SECURITY_ENTRIES] = {FULL_CONTROL, FULL_CONTROL,
                                                         READ_AND_EXECUTE};
    if (wellKnownSid(WinLocalSystemSid, security->sids[0]) != 0 ||
        wellKnownSid(WinBuiltinAdministratorsSid, security->sids[1]) != 0 ||
        wellKnownSid(WinBuiltinUsersSid, security->sids[2]) != 0)
        return 1;
    return buildDescriptor(security, MASKS);
}

int buildPrivateFolderSecurity(FolderSecurity *security) {
    static const DWORD MASKS[FOLDER_SECURITY_ENTRIES] = {FULL_CONTROL, FULL_CONTROL, FULL_CONTROL};
    if (wellKnownSid(WinLocalSystemSid, security->sids[0]) != 0 ||
        wellKnownSid(WinBuiltinAdministratorsSid, security->sids[1]) != 0 ||
        copyProcessUser(security->sids[2]) != 0)
        return 1;
    return buildDescriptor(security, MASKS);
}

// Creates path with the descriptor build makes; a folder is never made with weaker permissions
// than it should have.
static BOOL createFolderWith(const char *path, int (*build)(FolderSecurity *)) {
    FolderSecurity security;
    if (build(&security) != 0) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &security.descriptor;
    attributes.bInheritHandle = FALSE;
    return CreateDirectoryA(path, &attributes);
}

BOOL createProtectedFolder(const char *path) {
    return createFolderWith(path, buildInstallFolderSecurity);
}

BOOL createPrivateFolder(const char *path) {
    return createFolderWith(path, buildPrivateFolderSecurity);
}
