// What the uninstaller tells the user at the end: the items it could not remove and the folders
// it left because they hold files it did not install. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

enum {
    REPORT_LIST_BUFFER = 2048, // one list of paths, one per line
    REPORT_TEXT_BUFFER = 4608, // the whole message
};

struct RemovalReport {
    char failed[REPORT_LIST_BUFFER]; // items that are still there, one per line
    int failedCount;
    int failedUnlisted;            // failures that did not fit the list
    char kept[REPORT_LIST_BUFFER]; // folders left because they hold other files
    int keptCount;
    int keptUnlisted;
};

// An empty report.
void reportClear(RemovalReport *report);
// Notes an installed file, folder, link or registry key that could not be removed.
void reportFailed(RemovalReport *report, const char *item);
// Notes a folder of the installation left in place because it holds files of the user's.
void reportKept(RemovalReport *report, const char *folder);
// The closing message into text (textSize bytes, cut to fit): the success sentence with the kept
// folders after it, or the list of what could not be removed.
void reportText(const RemovalReport *report, char *text, size_t textSize);
