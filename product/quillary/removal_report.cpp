// The uninstaller's closing message.
#include "removal_report.h"

#include <stdio.h>
#include <string.h>

static const char SUCCESS[] = "Quillary was successfully removed from your computer.";
static const char KEPT_INTRO[] =
    "These folders were left in place because they hold files that Quillary did not install:";
static const char FAILED_INTRO[] = "Quillary could not remove these items:";
static const char FAILED_OUTRO[] = "Close any program that uses them and remove them yourself.";

void reportClear(RemovalReport *report) { memset(report, 0, sizeof(*report)); }

// Appends item and a line feed to list, or counts it as unlisted when it does not fit whole.
static void appendLine(char *list, size_t listSize, int *count, int *unlisted, const char *item) {
    size_t used = strlen(list);
    size_t length = strlen(item);
    if (used + length + 2 > listSize) {
        (*unlisted)++;
        return;
    }
    memcpy(list + used, item, length);
    list[used + length] = '\n';
    list[used + length + 1] = '\0';
    (*count)++;
}

void reportFailed(RemovalReport *report, const char *item) {
    appendLine(report->failed, sizeof(report->failed), &report->failedCount,
               &report->failedUnlisted, item);
}

void reportKept(RemovalReport *report, const char *folder) {
    appendLine(report->kept, sizeof(report->kept), &report->keptCount, &report->keptUnlisted,
               folder);
}

// "list" with its last line feed dropped, and "and N more" when some did not fit.
static void formatList(char *out, size_t outSize, const char *list, int unlisted) {
    size_t length = strlen(list);
    if (length > 0 && list[length - 1] == '\n')
        length--;
    if (unlisted > 0)
        snprintf(out, outSize, "%.*s\n(and %d more)", (int)length, list, unlisted);
    else
        snprintf(out, outSize, "%.*s", (int)length, list);
}

void reportText(const RemovalReport *report, char *text, size_t textSize) {
    char list[REPORT_LIST_BUFFER + 32];
    if (report->failedCount + report->failedUnlisted > 0) {
        formatList(list, sizeof(list), report->failed, report->failedUnlisted);
        snprintf(text, textSize, "%s\n\n%s\n\n%s", FAILED_INTRO, list, FAILED_OUTRO);
    } else if (report->keptCount + report->keptUnlisted > 0) {
        formatList(list, sizeof(list), report->kept, report->keptUnlisted);
        snprintf(text, textSize, "%s\n\n%s\n%s", SUCCESS, KEPT_INTRO, list);
    } else {
        snprintf(text, textSize, "%s", SUCCESS);
    }
}
