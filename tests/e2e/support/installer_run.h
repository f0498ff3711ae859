// Whole installer runs for the end-to-end scenarios and the benchmarks: the pages walked as a
// user walks them, one action on the copy page, every message box read and answered, and the
// files the scenarios prepare and check afterwards.
#pragma once

#include "installer_driver.h"

#include <string>
#include <vector>

namespace driver {

// Deletes path and, for a folder, everything below it, read-only files included.
void removeTree(const std::string &path);
bool readWholeFile(const std::string &path, std::string *contents);
bool writeWholeFile(const std::string &path, const std::string &contents);
bool pathExists(const std::string &path);
// A file in the temporary directory the system gives this process (GetTempPathA).
std::string tempFilePath(const char *name);
// A monotonic clock in seconds.
double seconds();

// What the user does once the copy page shows. CANCEL_WHILE_WRITING (Cancel), CLOSE_MAIN_WINDOW
// (WM_CLOSE, as "End task" sends it) and EXIT_COMMAND (command 300, to the main window) wait
// until the page works on the files: its status line shows a file's path.
enum class CopyAction {
    LET_IT_RUN,
    CLICK_CANCEL,
    CANCEL_WHILE_WRITING,
    PRESS_ESCAPE,
    PRESS_ENTER,
    CLOSE_MAIN_WINDOW,
    EXIT_COMMAND,
};

struct MessageSeen {
    std::string text;
    std::string caption;
    BoxIcon icon;
};

struct RunOptions {
    CopyAction action = CopyAction::LET_IT_RUN;
    DWORD timeoutMs = 60000;
    // Reads the copy page's status line as often as the page answers (slows the page down, so
    // no timing is taken that way).
    bool watchStatus = false;
    // Watches the two names the copy once used for its temporary files (it uses none now), from
    // a thread of its own while the installer runs.
    bool watchTempFiles = false;
    // The installer's command line after its name ("/S /LOG=...").
    std::string arguments;
};

struct RunRecord {
    bool sawAgreement = false;
    bool sawDestination = false;
    bool sawCopyPage = false;
    bool acted = false;                  // the copy action was taken
    std::vector<std::string> statusSeen; // distinct status lines, in order (watchStatus)
    // The temporary files as watched (watchTempFiles): whether each was seen, and the size of
    // the payload file when the archive file was first seen (-1 when it was not there).
    bool sawTempPayload = false;
    bool sawTempArchive = false;
    long long payloadBytesWhenArchiveAppeared = -1;
    int pagesAfterCopy = 0; // dialogs other than message boxes once the copy page had gone
    std::vector<MessageSeen> messages;
    double copySeconds = -1;     // copy page found -> next page or closing message found
    double copyPageSeconds = -1; // copy page found -> copy page gone
    double successSeconds = -1;  // installer started -> success message found
    // Installer started -> each page found: where the time of a whole installation goes.
    double agreementShownSeconds = -1;
    double destinationShownSeconds = -1;
    double copyShownSeconds = -1;
    double shortcutShownSeconds = -1; // the page after the copy page
    // The installer's peak working set as the copy page goes, and the most private (under Wine:
    // anonymous resident) memory seen while the page was up, sampled as often as the driver looks
    // (Wine keeps no peak of it).
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPrivateBytes = 0;
    // Private bytes as the destination page shows, before the copy: the installer's image and
    // backdrop are in them already (Wine reads the image, payload included, into private memory).
    SIZE_T privateBeforeCopy = 0;
    // Every visible top-level window of the installer's process seen while it ran, as class and
    // caption, once each (an unattended run must show none).
    std::vector<std::string> windowsSeen;
    DWORD exitCode = STILL_ACTIVE;
    std::string failure; // what was awaited and not seen; empty when the run went through
};

// Runs the installer at exe to its end: "I Agree", "Next" on the proposed destination, then the
// copy action, answering every message box (Yes to installing into an existing directory, else
// OK, else No, else Cancel). A run that outlives its timeout is ended and says what was seen last.
RunRecord runInstaller(const std::string &exe, const RunOptions &options = RunOptions());

// The installer under test (QUILLARY_INSTALLER) run as runInstaller runs it, with arguments
// after its name ("/S /LOG=...", or "" for an interactive run).
RunRecord runSetup(const std::string &arguments);

// The texts of the message boxes a run showed, one a line; "(no messages)" when there were none.
std::string messageList(const RunRecord &run);

// The contents of the file at path, or "<missing>".
std::string readText(const std::string &path);

// "" when the file at log holds line; otherwise what is missing, with the end of the log, where
// a refusal or the exit code stands.
std::string logLacks(const std::string &log, const std::string &line);

} // namespace driver
