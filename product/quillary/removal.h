// Removes an installation of the product: its files and folders, its shortcuts and its registry
// keys, and nothing else.
#pragma once

#include "removal_report.h"

// Where the product was installed, as its uninstall entry records it.
struct Installation {
    char installDir[512]; // the "Progdir" value: the installation folder
    char groupDir[512];   // the "Scdir" value: the program group folder; may be empty
};

// What readInstallation found.
enum {
    INSTALLATION_FOUND = 0,   // both folders may be acted on
    INSTALLATION_MISSING = 1, // no entry, or no "Progdir" in it
    INSTALLATION_REFUSED = 2, // "Progdir" or "Scdir" names a folder that cannot be the product's
};

// Reads the installation from the product's uninstall entry and checks its folders: each must be
// a full local path in normal form, below a drive root, and neither the Windows folder, the
// system folder nor a Program Files folder itself. A trailing backslash is dropped first.
// Returns one of the values above; installation is empty unless INSTALLATION_FOUND.
int readInstallation(Installation *installation);

// Removes what the installer made, leaving every other file: the payload's files, their folders
// and the sample-pictures folder when empty, the installation folder when empty, the three group
// links, the group folder when it is then empty and named after the product, the all-users
// desktop link when it points into the installation. Nothing is removed inside a folder that is
// a junction or symbolic link: the folder is left and noted. The product's registry keys go only
// when everything else did, so that an incomplete removal can be run again from the system's
// list of programs. A file already gone is not a failure; anything still there afterwards is
// noted in report.
// With keepUninstaller, the installation's uninstall.exe (still running, in the process that
// started this removal) and the installation folder are left for removeUninstaller.
void removeInstallation(const Installation *installation, int keepUninstaller,
                        RemovalReport *report);

// The files, folders and links of removeInstallation, without the registry keys: an installer
// that moves the product to another folder removes the old installation's files this way, and
// the keys stay for the new one.
void removeInstalledItems(const Installation *installation, int keepUninstaller,
                          RemovalReport *report);

// Removes the installation's uninstall.exe and then the installation folder when empty. Neither
// is left for the next restart: a user may control the installation folder's parent, and could
// point a pending delete elsewhere. Nothing is removed through a link. Returns 0 when both are
// gone.
int removeUninstaller(const Installation *installation);
