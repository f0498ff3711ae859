// Removes an installation of the product: its files and folders, its shortcuts and its registry
// keys, and nothing else.
#pragma once

#include "removal_report.h"

// Where the product was installed, as its uninstall entry records it.
struct Installation {
    char installDir[512]; // the "Progdir" value: the installation folder
    char groupDir[512];   // the "Scdir" value: the program group folder; may be empty
};

// Reads the installation from the product's uninstall entry. Returns 0 when "Progdir" names a
// folder path; 1 when the entry or the value is missing, empty, a drive root or too long.
int readInstallation(Installation *installation);

// Removes what the installer made, leaving every other file: the payload's files, their folders
// and the sample-pictures folder when empty, the installation folder when empty, the three group
// links and the group folder when empty, the all-users desktop link when it points into the
// installation, and the product's registry keys. A file already gone is not a failure; anything
// still there afterwards is noted in report.
void removeInstallation(const Installation *installation, RemovalReport *report);
