// The installation the Uninstall entry records, found, compared and, after a move, removed.
#include "system/existing_installation.h"

#include <string.h>

#include "common/protected_folders.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "common/versions.h"
#include "product_version.h"
#include "system/registry_entries.h"

ExistingInstallation existing;

// Reads the entry's "DisplayVersion" into existing.version; left empty when missing or too long.
static void readInstalledVersion(void) {
    char entry[REGISTRY_BUFFER];
    lstrcpynA(entry, UNINSTALL_KEY, sizeof(entry));
    lstrcatA(entry, "\\" PRODUCT_NAME);
    readMachineString(entry, "DisplayVersion", existing.version, sizeof(existing.version));
}

void findExistingInstallation(void) {
    memset(&existing, 0, sizeof(existing));
    if (readInstallation(&existing.where) != INSTALLATION_FOUND)
        return;
    char uninstaller[PATH_BUFFER];
    if (joinGroupPath(uninstaller, sizeof(uninstaller), existing.where.installDir,
                      PRODUCT_UNINSTALLER) != 0)
        return;
    DWORD attributes = GetFileAttributesA(uninstaller);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    existing.found = 1;
    readInstalledVersion();
    SetupLog("Installed: %s %s in %s", PRODUCT_NAME,
             existing.version[0] ? existing.version : "(version not recorded)",
             existing.where.installDir);
}

int isDowngrade(void) {
    return existing.found && existing.version[0] != '\0' &&
           compareVersions(existing.version, PRODUCT_VERSION_TEXT) > 0;
}

int isElsewhere(const char *folder) {
    if (!existing.found)
        return 0;
    char a[PATH_BUFFER], b[PATH_BUFFER];
    lstrcpynA(a, folder, sizeof(a));
    lstrcpynA(b, existing.where.installDir, sizeof(b));
    dropTrailingBackslash(a);
    dropTrailingBackslash(b);
    return lstrcmpiA(a, b) != 0;
}

// Logs each line of a report list under a heading.
static void logList(const char *heading, const char *list) {
    if (list[0] == '\0')
        return;
    SetupLog("%s", heading);
    char line[PATH_BUFFER];
    for (const char *p = list; *p != '\0';) {
        const char *end = strchr(p, '\n');
        size_t length = end != NULL ? (size_t)(end - p) : strlen(p);
        lstrcpynA(line, p, (int)(length + 1 < sizeof(line) ? length + 1 : sizeof(line)));
        SetupLog("  %s", line);
        p += length + (end != NULL);
    }
}

void removeReplacedInstallation(void) {
    if (!isElsewhere(setup.installDir))
        return;
    SetupLog("Removing the installation in %s, replaced by %s", existing.where.installDir,
             setup.installDir);
    RemovalReport report;
    reportClear(&report);
    removeInstalledItems(&existing.where, 0, &report);
    logList("Could not be removed:", report.failed);
    logList("Kept for the files of the user's they hold:", report.kept);
}
