// Registry reader and writers: the Shell Folders lookup and the product's entries.
#include "system/registry.h"

#include <stdio.h>
#include <string.h>

#include "common/setup_log.h"
#include "common/setup_state.h"
#include "payload_config.h"
#include "system/registry_entries.h"

// Access masks as the registry takes them.
static const REGSAM ACCESS_READ = 0x20019;       // KEY_READ
static const REGSAM ACCESS_READ_WRITE = 0x2001F; // KEY_READ | KEY_WRITE
static const REGSAM ACCESS_ALL = 0xF003F;        // KEY_ALL_ACCESS

// Stores text as REG_SZ with its terminating zero. Returns 0 when written.
static int writeString(HKEY key, const char *name, const char *text) {
    LONG status = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
    if (status == ERROR_SUCCESS)
        SetupLog("  value %s = \"%s\"", name[0] != '\0' ? name : "(Default)", text);
    else
        SetupLogError(name, (DWORD)status);
    return status != ERROR_SUCCESS;
}

// Logs the key whose values follow in the log.
static void logKey(const char *parentPath, const char *subkey) {
    SetupLog("Registry key HKEY_LOCAL_MACHINE\\%s%s%s", parentPath, subkey[0] ? "\\" : "", subkey);
}

// Writes each value that fits; a refused value is left out, the others still go in. Returns
// how many were left out or could not be written.
static int writeValues(HKEY key, const RegistryValue *values, int count) {
    int missing = 0;
    for (int i = 0; i < count; i++) {
        if (values[i].refused) {
            SetupLog("  value %s left out: too long for the registry buffer", values[i].name);
            missing++;
        } else {
            missing += writeString(key, values[i].name, values[i].data);
        }
    }
    return missing;
}

// Creates (or opens) subkey below parent. Returns 0 with *key set, nonzero on failure.
static LONG createKey(HKEY parent, const char *subkey, HKEY *key) {
    char noClass[] = "";
    return RegCreateKeyExA(parent, subkey, 0, noClass, REG_OPTION_NON_VOLATILE, ACCESS_ALL, NULL,
                           key, NULL);
}

// Opens the existing parent key, creates subkey below it and writes values (and numbers, if
// any) there. Nothing is written when the parent cannot be opened: it is never created. Returns
// 0 when every value was written.
static int writeProductEntry(const char *parentPath, const char *subkey,
                             const RegistryValue *values, int count,
                             const RegistryNumber *numbers = NULL, int numberCount = 0) {
    HKEY parent;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, ACCESS_READ_WRITE, &parent);
    if (status != ERROR_SUCCESS) {
        SetupLogError(parentPath, (DWORD)status);
        return 1;
    }
    HKEY entry;
    int missing = 0;
    status = createKey(parent, subkey, &entry);
    if (status == ERROR_SUCCESS) {
        logKey(parentPath, subkey);
        missing += writeValues(entry, values, count);
        for (int i = 0; i < numberCount; i++) {
            DWORD number = (DWORD)numbers[i].value;
            status = RegSetValueExA(entry, numbers[i].name, 0, REG_DWORD, (const BYTE *)&number,
                                    sizeof(number));
            if (status == ERROR_SUCCESS)
                SetupLog("  value %s = %lu", numbers[i].name, (unsigned long)number);
            else
                SetupLogError(numbers[i].name, (DWORD)status);
            missing += status != ERROR_SUCCESS;
        }
        RegCloseKey(entry);
    } else {
        SetupLogError(subkey, (DWORD)status);
        missing++;
    }
    RegCloseKey(parent);
    return missing;
}

int ReadShellFolder(const char *valueName, char *path, size_t pathSize) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, 0, ACCESS_READ, &key) != ERROR_SUCCESS)
        return 0;
    char folder[REGISTRY_BUFFER] = {0};
    DWORD size = REGISTRY_BUFFER;
    LONG status = RegQueryValueExA(key, valueName, NULL, NULL, (BYTE *)folder, &size);
    RegCloseKey(key);
    // A value stored without its terminator may fill the buffer: refused like a longer one.
    if (status != ERROR_SUCCESS || folder[0] == '\0' || folder[REGISTRY_BUFFER - 1] != '\0')
        return 0;
    dropTrailingBackslash(folder);
    if (strlen(folder) >= pathSize)
        return 0;
    memcpy(path, folder, strlen(folder) + 1);
    return 1;
}

int RegisterAppPath(void) {
    RegistryValue values[APP_PATH_VALUE_COUNT];
    appPathValues(values, setup.installDir);
    int missing = writeProductEntry(APP_PATHS_KEY, PRODUCT_SUBKEY, values, APP_PATH_VALUE_COUNT);
    // Beside it, the entry the system's Run box finds the program by.
    programPathValues(values, setup.installDir);
    missing += writeProductEntry(APP_PATHS_KEY, PROGRAM_SUBKEY, values, APP_PATH_VALUE_COUNT);
    return missing != 0;
}

int RegisterUninstallEntry(const char *uninstallerPath, const char *groupPath) {
    // The local date of this installation, as the system's list of programs shows it.
    SYSTEMTIME today;
    GetLocalTime(&today);
    char installDate[16];
    snprintf(installDate, sizeof(installDate), "%04u%02u%02u", (unsigned)today.wYear,
             (unsigned)today.wMonth, (unsigned)today.wDay);
    RegistryValue values[UNINSTALL_VALUE_COUNT];
    uninstallValues(values, uninstallerPath, groupPath, setup.installDir, installDate);
    RegistryNumber numbers[UNINSTALL_NUMBER_COUNT];
    uninstallNumbers(numbers, PAYLOAD_INSTALLED_KIB);
    return writeProductEntry(UNINSTALL_KEY, PRODUCT_SUBKEY, values, UNINSTALL_VALUE_COUNT, numbers,
                             UNINSTALL_NUMBER_COUNT) != 0;
}

int RegisterDocumentType(void) {
    RegistryValue classValue, iconValue, commandValue;
    documentTypeValues(&classValue, &iconValue, &commandValue, setup.installDir);
    HKEY classKey;
    LONG status = createKey(HKEY_LOCAL_MACHINE, DOCUMENT_CLASS_KEY, &classKey);
    if (status != ERROR_SUCCESS) {
        SetupLogError(DOCUMENT_CLASS_KEY, (DWORD)status);
        return 1;
    }
    logKey(DOCUMENT_CLASS_KEY, "");
    int missing = writeValues(classKey, &classValue, 1);
    HKEY iconKey;
    if (createKey(classKey, DOCUMENT_ICON_SUBKEY, &iconKey) == ERROR_SUCCESS) {
        logKey(DOCUMENT_CLASS_KEY, DOCUMENT_ICON_SUBKEY);
        missing += writeValues(iconKey, &iconValue, 1);
        RegCloseKey(iconKey);
    } else {
        missing++;
    }
    // shell, open, command: each below the last key that could be created; the command line
    // goes only into a "command" key that was made.
    HKEY last = classKey;
    for (int i = 0; i < DOCUMENT_KEY_CHAIN_LENGTH; i++) {
        HKEY next;
        status = createKey(last, DOCUMENT_KEY_CHAIN[i], &next);
        if (status != ERROR_SUCCESS)
            continue;
        if (last != classKey)
            RegCloseKey(last);
        last = next;
    }
    if (status == ERROR_SUCCESS) {
        logKey(DOCUMENT_CLASS_KEY, "shell\\open\\command");
        missing += writeValues(last, &commandValue, 1);
    } else {
        SetupLogError("shell\\open\\command", (DWORD)status);
        missing++;
    }
    if (last != classKey)
        RegCloseKey(last);
    RegCloseKey(classKey);
    return missing != 0;
}
