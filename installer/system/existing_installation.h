// An installation of the product already on the machine, as its Uninstall entry records it: the
// folder an update goes into, the version it would replace, and its removal once the product has
// been installed whole in another folder.
#pragma once

#include "removal.h"

enum { VERSION_BUFFER = 64 };

struct ExistingInstallation {
    int found;                    // the entry names an installation of the product, and it is there
    Installation where;           // its folder ("Progdir") and program group ("Scdir")
    char version[VERSION_BUFFER]; // its "DisplayVersion"; "" when the entry has none
};

extern ExistingInstallation existing;

// Reads the Uninstall entry into existing. An installation counts only when its "Progdir" passes
// the uninstaller's own rule for the folders it may act on and holds uninstall.exe; anything else
// (no entry, a refused folder, a folder without the uninstaller) leaves existing.found 0.
void findExistingInstallation(void);

// 1 when the installed version is newer than this installer's: installing would be a downgrade.
int isDowngrade(void);

// 1 when there is an existing installation and folder is another folder than its own (compared
// without regard to case or a trailing backslash).
int isElsewhere(const char *folder);

// Once the product is whole in its new folder: removes the old installation's files, folders and
// links through the uninstaller's removal core, keeping the user's own files and the registry
// entries (they now belong to the new installation). Logs what stays. Nothing is done unless an
// installation exists elsewhere than installDir.
void removeReplacedInstallation(void);
