// The product's registry entries as data: key paths, value names and the value texts built from
// installDir. Portable: no <windows.h>, so native tests reach it; system/registry.cpp writes them.
#pragma once

#include <stddef.h>

enum {
    REGISTRY_BUFFER = 512, // key names and value data, terminator included
    APP_PATH_VALUE_COUNT = 2,
    UNINSTALL_VALUE_COUNT = 10,
    UNINSTALL_NUMBER_COUNT = 3,
    DOCUMENT_KEY_CHAIN_LENGTH = 3, // "shell", "open", "command"
};

// Keys below HKEY_LOCAL_MACHINE.
extern const char SHELL_FOLDERS_KEY[];
extern const char APP_PATHS_KEY[];      // opened, never created
extern const char UNINSTALL_KEY[];      // opened, never created
extern const char PRODUCT_SUBKEY[];     // the entry below App Paths and below Uninstall
extern const char PROGRAM_SUBKEY[];     // the entry below App Paths named after the program file
extern const char DOCUMENT_CLASS_KEY[]; // created with any missing intermediate keys
extern const char DOCUMENT_ICON_SUBKEY[];
// Created in this order, each below the last one that could be created.
extern const char *const DOCUMENT_KEY_CHAIN[DOCUMENT_KEY_CHAIN_LENGTH];

// One REG_SZ value: its name ("" is the key's default value) and its text. A value whose text
// would not fit REGISTRY_BUFFER is refused (refused = 1, data empty) and must not be written: a
// cut path would name another file.
struct RegistryValue {
    const char *name;
    char data[REGISTRY_BUFFER];
    int refused;
};

// One REG_DWORD value.
struct RegistryNumber {
    const char *name;
    unsigned long value;
};

// The App Paths entry: (default) = the product name, "Path" = installDir.
void appPathValues(RegistryValue values[APP_PATH_VALUE_COUNT], const char *installDir);

// The App Paths entry named after the program file, the one the system's Run box looks up:
// (default) = installDir\Quillary.exe, "Path" = installDir.
void programPathValues(RegistryValue values[APP_PATH_VALUE_COUNT], const char *installDir);

// The Uninstall entry: "DisplayName", "UninstallString" (uninstallerPath in double quotes, a
// command line), "Scdir" = groupPath, "Progdir" = installDir, in that order; then what the
// system's list of programs shows besides: "DisplayIcon" (installDir\Quillary.exe,0),
// "DisplayVersion", "Publisher" and "InstallLocation" (installDir); then what deployment tools
// read: "QuietUninstallString" (the "UninstallString" command line with " /S") and "InstallDate"
// (installDate, the local date as YYYYMMDD).
void uninstallValues(RegistryValue values[UNINSTALL_VALUE_COUNT], const char *uninstallerPath,
                     const char *groupPath, const char *installDir, const char *installDate);

// The Uninstall entry's numbers: "EstimatedSize" (installedKiB, the installed files' size in
// kibibytes), "NoModify" and "NoRepair" (1: the list offers neither).
void uninstallNumbers(RegistryNumber values[UNINSTALL_NUMBER_COUNT], unsigned long installedKiB);

// The document type: the class key's (default) = the product name; the icon key's (default) =
// installDir\Quillary.exe,0 (not a command line, unquoted); the open command's (default) =
// "installDir\Quillary.exe" "%1", both parts quoted so blanks in either path stay inside them.
void documentTypeValues(RegistryValue *classValue, RegistryValue *iconValue,
                        RegistryValue *commandValue, const char *installDir);
