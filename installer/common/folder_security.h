// The permissions of the folders the installer and the uninstaller make. A folder made below a
// drive root would otherwise inherit the root's permissions, which let any user change what is
// inside; so every folder gets an explicit, protected list of who may do what.
#pragma once

#include <windows.h>

enum {
    FOLDER_SECURITY_ENTRIES = 3, // access entries of either list
    FOLDER_SECURITY_ACL_BUFFER = 256,
};

// A security descriptor with the list and the account ids it points to, all in one record so it
// lives as long as the caller keeps it.
struct FolderSecurity {
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[FOLDER_SECURITY_ACL_BUFFER / sizeof(DWORD)]; // the ACL, DWORD-aligned
    DWORD sids[FOLDER_SECURITY_ENTRIES][SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
};

// What an installation folder gets: SYSTEM and Administrators full control, Users read and
// execute, each entry inherited by the files and folders made inside, and the list protected
// from the parent's entries. Returns 0 when security.descriptor is ready.
int buildInstallFolderSecurity(FolderSecurity *security);

// What a private working folder gets (the uninstaller's copy of itself): SYSTEM, Administrators
// and the user running this process, full control, inherited and protected as above. Returns 0
// when security.descriptor is ready.
int buildPrivateFolderSecurity(FolderSecurity *security);

// Creates one folder level with the installation folders' permissions. Returns
// CreateDirectoryA's result: nonzero when made; 0 when it exists already (its permissions are
// kept) or cannot be made, with the system's error code for GetLastError.
BOOL createProtectedFolder(const char *path);

// Creates one folder level with the private folders' permissions; returns as
// createProtectedFolder does (0 as well when the descriptor cannot be built).
BOOL createPrivateFolder(const char *path);
