// The product's registry entries as data, with the value texts composed from installDir.
#include "system/registry_entries.h"

#include <stdarg.h>
#include <stdio.h>

#include "common/product.h"

const char SHELL_FOLDERS_KEY[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char APP_PATHS_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char UNINSTALL_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char PRODUCT_SUBKEY[] = PRODUCT_NAME;
const char PROGRAM_SUBKEY[] = PRODUCT_PROGRAM;
const char DOCUMENT_CLASS_KEY[] = "SOFTWARE\\Classes\\QLRDOC1.Image";
const char DOCUMENT_ICON_SUBKEY[] = "DefaultIcon";
const char *const DOCUMENT_KEY_CHAIN[DOCUMENT_KEY_CHAIN_LENGTH] = {"shell", "open", "command"};

// Names value and formats its text; a text that would not fit is refused, never cut.
static void setValue(RegistryValue *value, const char *name, const char *format, ...) {
    value->name = name;
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(value->data, sizeof(value->data), format, arguments);
    va_end(arguments);
    value->refused = length < 0 || (size_t)length >= sizeof(value->data);
    if (value->refused)
        value->data[0] = '\0';
}

void appPathValues(RegistryValue values[APP_PATH_VALUE_COUNT], const char *installDir) {
    setValue(&values[0], "", "%s", PRODUCT_NAME);
    setValue(&values[1], "Path", "%s", installDir);
}

void programPathValues(RegistryValue values[APP_PATH_VALUE_COUNT], const char *installDir) {
    setValue(&values[0], "", "%s\\%s", installDir, PRODUCT_PROGRAM);
    setValue(&values[1], "Path", "%s", installDir);
}

void uninstallValues(RegistryValue values[UNINSTALL_VALUE_COUNT], const char *uninstallerPath,
                     const char *groupPath, const char *installDir, const char *installDate) {
    setValue(&values[0], "DisplayName", "%s", PRODUCT_NAME);
    setValue(&values[1], "UninstallString", "\"%s\"", uninstallerPath);
    setValue(&values[8], "QuietUninstallString", "\"%s\" /S", uninstallerPath);
    // No uninstaller path (it did not fit its buffer): no command line rather than "".
    if (uninstallerPath[0] == '\0') {
        values[1].refused = values[8].refused = 1;
        values[1].data[0] = values[8].data[0] = '\0';
    }
    setValue(&values[2], "Scdir", "%s", groupPath);
    setValue(&values[3], "Progdir", "%s", installDir);
    setValue(&values[4], "DisplayIcon", "%s\\%s,0", installDir, PRODUCT_PROGRAM);
    setValue(&values[5], "DisplayVersion", "%s", QUILLARY_VERSION_TEXT);
    setValue(&values[6], "Publisher", "%s", PRODUCT_PUBLISHER);
    setValue(&values[7], "InstallLocation", "%s", installDir);
    setValue(&values[9], "InstallDate", "%s", installDate);
}

void uninstallNumbers(RegistryNumber values[UNINSTALL_NUMBER_COUNT], unsigned long installedKiB) {
    values[0].name = "EstimatedSize";
    values[0].value = installedKiB;
    values[1].name = "NoModify";
    values[1].value = 1;
    values[2].name = "NoRepair";
    values[2].value = 1;
}

void documentTypeValues(RegistryValue *classValue, RegistryValue *iconValue,
                        RegistryValue *commandValue, const char *installDir) {
    setValue(classValue, "", "%s", PRODUCT_NAME);
    setValue(iconValue, "", "%s\\%s,0", installDir, PRODUCT_PROGRAM);
    setValue(commandValue, "", "\"%s\\%s\" \"%%1\"", installDir, PRODUCT_PROGRAM);
}
