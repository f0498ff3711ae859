// Removes an installation of the product, item by item, noting what stays.
#include "removal.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "common/file_removal.h"
#include "common/paths.h"
#include "common/product.h"
#include "common/protected_folders.h"
#include "entry_folders.h"
#include "installed_files.h"
#include "system/registry_entries.h"

// Every key the installer writes below HKEY_LOCAL_MACHINE, as parent and subkey, the uninstall
// entry last: while any other is left, the entry still leads back here.
static const struct {
    const char *parent, *subkey;
} PRODUCT_KEYS[] = {
    {APP_PATHS_KEY, PRODUCT_SUBKEY},
    {APP_PATHS_KEY, PROGRAM_SUBKEY},
    {DOCUMENT_CLASS_KEY, NULL},
    {UNINSTALL_KEY, PRODUCT_SUBKEY},
};
// The links the shortcut page makes in the program group.
static const char *const GROUP_LINKS[] = {PROGRAM_LINK, UNINSTALL_LINK, README_LINK};
static const char DESKTOP_LINK[] = PROGRAM_LINK;
// How a folder left because it is a junction or link is named in the closing message.
static const char LINK_NOTE[] = " (a link to another folder, left in place)";

// Reads a folder value of the uninstall entry into out and checks it. 0: a folder the removal
// may act on; INSTALLATION_MISSING: no such value; INSTALLATION_REFUSED: any other folder.
static int readEntryFolder(const char *entry, const char *valueName, char *out, DWORD outSize) {
    if (readMachineString(entry, valueName, out, outSize) != 0) {
        // A value too long for the buffer is there, but not a folder of this product.
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, entry, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return INSTALLATION_MISSING;
        DWORD size = 0;
        int present =
            RegQueryValueExA(key, valueName, NULL, NULL, NULL, &size) == ERROR_SUCCESS && size > 1;
        RegCloseKey(key);
        return present ? INSTALLATION_REFUSED : INSTALLATION_MISSING;
    }
    dropTrailingBackslash(out);
    if (isRefusedFolder(out)) {
        out[0] = '\0';
        return INSTALLATION_REFUSED;
    }
    return 0;
}

int readInstallation(Installation *installation) {
    memset(installation, 0, sizeof(*installation));
    char entry[REGISTRY_BUFFER];
    snprintf(entry, sizeof(entry), "%s\\%s", UNINSTALL_KEY, PRODUCT_SUBKEY);
    int found = readEntryFolder(entry, "Progdir", installation->installDir,
                                sizeof(installation->installDir));
    if (found != 0)
        return found;
    // No "Scdir": the installation has no program group.
    found = readEntryFolder(entry, "Scdir", installation->groupDir, sizeof(installation->groupDir));
    if (found == INSTALLATION_REFUSED) {
        memset(installation, 0, sizeof(*installation));
        return INSTALLATION_REFUSED;
    }
    return INSTALLATION_FOUND;
}

// Deletes one file; a file that is not there counts as removed, one held open for a moment by
// another program is tried again before it counts as not removed.
static void removeFile(const char *dir, const char *name, RemovalReport *report) {
    char path[RECORD_PATH_BUFFER];
    if (joinGroupPath(path, sizeof(path), dir, name) != 0)
        return;
    if (removeFileRetrying(path) != 0)
        reportFailed(report, path);
}

// Removes a folder when it is empty; one that holds other files is noted as kept.
static void removeFolder(const char *path, RemovalReport *report) {
    if (removeEmptyFolder(path) != 0)
        reportKept(report, path);
}

static void removeFolderBelow(const char *dir, const char *name, RemovalReport *report) {
    char path[RECORD_PATH_BUFFER];
    if (joinGroupPath(path, sizeof(path), dir, name) == 0)
        removeFolder(path, report);
}

// True when path lies inside dir (file names ignore case).
static int isInside(const char *path, const char *dir) {
    size_t length = strlen(dir);
    return length > 0 && strlen(path) > length && path[length] == '\\' &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, (int)length, dir,
                          (int)length) == CSTR_EQUAL;
}

// The target of a shell link file, through the shell's link object; 0 when read.
static int readLinkTarget(const char *linkPath, char *target, int targetSize) {
    WCHAR widePath[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH))
        return 1;
    int result = 1;
    HRESULT initialised = CoInitialize(NULL);
    IShellLinkA *link = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void **)&link))) {
        IPersistFile *file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            target[0] = '\0';
            if (SUCCEEDED(file->Load(widePath, STGM_READ)) &&
                SUCCEEDED(link->GetPath(target, targetSize, NULL, SLGP_RAWPATH)))
                result = target[0] == '\0';
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(initialised))
        CoUninitialize();
    return result;
}

// The all-users desktop link, only when it starts a program of this installation: a link of the
// same name made by someone else stays.
static void removeDesktopLink(const Installation *installation, RemovalReport *report) {
    char desktop[MAX_PATH], link[MAX_PATH], target[MAX_PATH];
    if (readMachineString(SHELL_FOLDERS_KEY, "Common Desktop", desktop, sizeof(desktop)) != 0)
        return;
    dropTrailingBackslash(desktop);
    if (joinGroupPath(link, sizeof(link), desktop, DESKTOP_LINK) != 0)
        return;
    if (readLinkTarget(link, target, sizeof(target)) != 0 ||
        !isInside(target, installation->installDir))
        return;
    removeFile(desktop, DESKTOP_LINK, report);
}

// Deletes key and everything below it; 0 when it is gone.
static LONG deleteKeyTree(HKEY parent, const char *name) {
    HKEY key;
    LONG status = RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS)
        return status;
    char child[256];
    for (;;) {
        DWORD childSize = sizeof(child);
        if (RegEnumKeyExA(key, 0, child, &childSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (deleteKeyTree(key, child) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

// Notes a folder left because it is a junction or link.
static void reportLink(RemovalReport *report, const char *folder) {
    char item[RECORD_PATH_BUFFER + sizeof(LINK_NOTE)];
    snprintf(item, sizeof(item), "%s%s", folder, LINK_NOTE);
    reportFailed(report, item);
}

// 1 when a folder on the way from dir to name (name itself too, unless only its parents count)
// is a junction or link.
static int isThroughLink(const char *dir, const char *name, int parentsOnly) {
    char path[RECORD_PATH_BUFFER];
    for (size_t i = 0; name[i] != '\0'; i++) {
        int atEnd = name[i + 1] == '\0';
        if ((name[i + 1] != '\\' && !atEnd) || (atEnd && parentsOnly))
            continue;
        if (snprintf(path, sizeof(path), "%s\\%.*s", dir, (int)(i + 1), name) >=
                (int)sizeof(path) ||
            isReparsePoint(path))
            return 1;
    }
    return 0;
}

// The payload's files and folders and the installation folder itself.
static void removeInstalledFiles(const char *dir, int keepUninstaller, RemovalReport *report) {
    if (isReparsePoint(dir)) {
        reportLink(report, dir);
        return;
    }
    const size_t folderCount = sizeof(INSTALLED_FOLDERS) / sizeof(INSTALLED_FOLDERS[0]);
    const char *folders[folderCount + 1];
    for (size_t i = 0; i < folderCount; i++)
        folders[i] = INSTALLED_FOLDERS[i];
    folders[folderCount] = SAMPLE_FOLDER_NAME;
    // Each linked folder is named once, at its top; nothing below it is touched.
    for (const char *folder : folders) {
        char path[RECORD_PATH_BUFFER];
        if (joinGroupPath(path, sizeof(path), dir, folder) == 0 && isReparsePoint(path) &&
            !isThroughLink(dir, folder, 1))
            reportLink(report, path);
    }
    for (size_t i = 0; i < sizeof(INSTALLED_FILES) / sizeof(INSTALLED_FILES[0]); i++) {
        if (keepUninstaller && lstrcmpiA(INSTALLED_FILES[i], PRODUCT_UNINSTALLER) == 0)
            continue;
        if (!isThroughLink(dir, INSTALLED_FILES[i], 1))
            removeFile(dir, INSTALLED_FILES[i], report);
    }
    for (const char *folder : folders)
        if (!isThroughLink(dir, folder, 0))
            removeFolderBelow(dir, folder, report);
    if (!keepUninstaller)
        removeFolder(dir, report);
    else if (!folderHoldsOnly(dir, PRODUCT_UNINSTALLER))
        reportKept(report, dir);
}

// The three links by name, and the group folder when it is then empty and the product's own.
static void removeGroup(const char *groupDir, RemovalReport *report) {
    if (groupDir[0] == '\0')
        return;
    if (isReparsePoint(groupDir)) {
        reportLink(report, groupDir);
        return;
    }
    for (size_t i = 0; i < sizeof(GROUP_LINKS) / sizeof(GROUP_LINKS[0]); i++)
        removeFile(groupDir, GROUP_LINKS[i], report);
    if (lastNameIs(groupDir, PRODUCT_NAME))
        removeFolder(groupDir, report);
}

void removeInstalledItems(const Installation *installation, int keepUninstaller,
                          RemovalReport *report) {
    removeInstalledFiles(installation->installDir, keepUninstaller, report);
    removeGroup(installation->groupDir, report);
    removeDesktopLink(installation, report);
}

void removeInstallation(const Installation *installation, int keepUninstaller,
                        RemovalReport *report) {
    removeInstalledItems(installation, keepUninstaller, report);
    if (report->failedCount + report->failedUnlisted > 0)
        return;

    for (size_t i = 0; i < sizeof(PRODUCT_KEYS) / sizeof(PRODUCT_KEYS[0]); i++) {
        char key[REGISTRY_BUFFER];
        if (PRODUCT_KEYS[i].subkey != NULL)
            snprintf(key, sizeof(key), "%s\\%s", PRODUCT_KEYS[i].parent, PRODUCT_KEYS[i].subkey);
        else
            snprintf(key, sizeof(key), "%s", PRODUCT_KEYS[i].parent);
        if (deleteKeyTree(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS)
            continue;
        // The uninstall entry, last in the list, stays with every key after a failed one, so
        // the removal can be run again from the system's list of programs.
        char item[REGISTRY_BUFFER + 32];
        snprintf(item, sizeof(item), "HKEY_LOCAL_MACHINE\\%s", key);
        reportFailed(report, item);
        return;
    }
}

int removeUninstaller(const Installation *installation) {
    char path[RECORD_PATH_BUFFER];
    if (joinGroupPath(path, sizeof(path), installation->installDir, PRODUCT_UNINSTALLER) != 0)
        return 1;
    // Nothing through a link: the folder may have become one since the removal looked.
    if (isReparsePoint(installation->installDir) || isReparsePoint(path))
        return 1;
    int fileLeft = removeFileRetrying(path);
    // A folder that still holds files of the user's stays.
    if (!folderHoldsOnly(installation->installDir, PRODUCT_UNINSTALLER))
        return 1;
    if (fileLeft != 0)
        return 1;
    // The program file just deleted may linger a moment after its process ended.
    for (int attempt = 0;; attempt++) {
        if (removeEmptyFolder(installation->installDir) == 0)
            return 0;
        if (attempt == HELD_FILE_TRIES)
            return 1;
        Sleep(HELD_FILE_PAUSE_MS);
    }
}
