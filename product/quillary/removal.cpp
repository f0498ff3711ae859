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

// Reads a string value of an HKEY_LOCAL_MACHINE key into out; 0 when a non-empty string fit.
static int readMachineString(const char *keyName, const char *valueName, char *out, DWORD outSize) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    DWORD type = 0, size = outSize;
    memset(out, 0, outSize);
    LONG status = RegQueryValueExA(key, valueName, NULL, &type, (BYTE *)out, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
        out[outSize - 1] != '\0' || out[0] == '\0') {
        out[0] = '\0';
        return 1;
    }
    return 0;
}

int readInstallation(Installation *installation) {
    memset(installation, 0, sizeof(*installation));
    char entry[REGISTRY_BUFFER];
    snprintf(entry, sizeof(entry), "%s\\%s", UNINSTALL_KEY, PRODUCT_SUBKEY);
    if (readMachineString(entry, "Progdir", installation->installDir,
                          sizeof(installation->installDir)) != 0)
        return 1;
    dropTrailingBackslash(installation->installDir);
    // A drive root or a relative name is never a folder this product was installed into.
    if (strlen(installation->installDir) < 4 || installation->installDir[1] != ':') {
        installation->installDir[0] = '\0';
        return 1;
    }
    if (readMachineString(entry, "Scdir", installation->groupDir, sizeof(installation->groupDir)) ==
        0)
        dropTrailingBackslash(installation->groupDir);
    return 0;
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

void removeInstallation(const Installation *installation, RemovalReport *report) {
    const char *dir = installation->installDir;
    for (size_t i = 0; i < sizeof(INSTALLED_FILES) / sizeof(INSTALLED_FILES[0]); i++)
        removeFile(dir, INSTALLED_FILES[i], report);
    for (size_t i = 0; i < sizeof(INSTALLED_FOLDERS) / sizeof(INSTALLED_FOLDERS[0]); i++)
        removeFolderBelow(dir, INSTALLED_FOLDERS[i], report);
    removeFolderBelow(dir, SAMPLE_FOLDER_NAME, report);
    removeFolder(dir, report);

    if (installation->groupDir[0] != '\0') {
        for (size_t i = 0; i < sizeof(GROUP_LINKS) / sizeof(GROUP_LINKS[0]); i++)
            removeFile(installation->groupDir, GROUP_LINKS[i], report);
        removeFolder(installation->groupDir, report);
    }
    removeDesktopLink(installation, report);

    for (size_t i = 0; i < sizeof(PRODUCT_KEYS) / sizeof(PRODUCT_KEYS[0]); i++) {
        char key[REGISTRY_BUFFER];
        if (PRODUCT_KEYS[i].subkey != NULL)
            snprintf(key, sizeof(key), "%s\\%s", PRODUCT_KEYS[i].parent, PRODUCT_KEYS[i].subkey);
        else
            snprintf(key, sizeof(key), "%s", PRODUCT_KEYS[i].parent);
        if (deleteKeyTree(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS)
            continue;
        char item[REGISTRY_BUFFER + 32];
        snprintf(item, sizeof(item), "HKEY_LOCAL_MACHINE\\%s", key);
        reportFailed(report, item);
    }
}
