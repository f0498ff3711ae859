// Unattended installation: the four pages' work in their order, each with the answer a user who
// accepts every default gives, and nothing shown on the screen.
#include "shell/unattended.h"

#include <string.h>

#include "common/file_removal.h"
#include "common/protected_folders.h"
#include "common/required_space.h"
#include "common/running_program.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "pages/destination_rules.h"
#include "pages/pages.h"
#include "payload/copy_engine.h"
#include "product_version.h"
#include "system/existing_installation.h"

enum {
    // The longest /D= path taken: the payload's record names (up to about 30 characters) must
    // still fit below it within the system's 260-character path limit.
    DESTINATION_MAX_LENGTH = SHELL_PATH_BUFFER - 1 - 64,
};

static const char *const DESTINATION_PROBLEMS[] = {
    "",
    "no destination folder after /D=",
    "not a full local path (a drive letter, a colon and a backslash)",
    "a drive root is not a folder to install into",
    "a part of the path is not a valid folder name",
    "the path is too long",
    "the Windows folder, a system folder or a Program Files folder itself",
    "it is, or lies in, a junction or symbolic link",
};

// The parents of installDir this run made, outermost first: a failed copy removes them again
// (when empty), after the copy's own undo has removed installDir itself.
static char madeParents[PATH_BUFFER];
static size_t madeParentEnds[PATH_BUFFER / 2];
static int madeParentCount;

// Creates installDir with every missing parent, noting which this run made. Returns 0 when it
// is a folder afterwards.
static int makeInstallDir() {
    const char *path = setup.installDir;
    size_t length = strlen(path);
    lstrcpynA(madeParents, path, sizeof(madeParents));
    for (size_t i = 3; i < length; i++) {
        if (path[i] != '\\')
            continue;
        madeParents[i] = '\0';
        if (MakeDirectory(madeParents))
            madeParentEnds[madeParentCount++] = i;
        madeParents[i] = '\\';
    }
    setup.installDirCreated = MakeDirectory(path) != 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static void removeMadeParents() {
    while (madeParentCount > 0) {
        madeParents[madeParentEnds[--madeParentCount]] = '\0';
        removeEmptyFolder(madeParents);
    }
}

static int refuseDestination(const char *path, DestinationProblem problem) {
    SetupLog("Destination \"%s\" refused: %s", path, DESTINATION_PROBLEMS[problem]);
    return 1;
}

// The /D= folder: checked as typed, taken in its long form (the uninstaller compares long
// paths) and checked again, refused when it is a protected folder; then its drive looked up in the
// drive table and measured. Returns 0 when installDir holds it and freeKB its drive's free space.
static int takeDestinationSwitch(const char *typed) {
    DestinationProblem problem = destinationProblem(typed, DESTINATION_MAX_LENGTH);
    if (problem != DESTINATION_OK)
        return refuseDestination(typed, problem);
    char path[PATH_BUFFER];
    if (expandLongForm(typed, path, sizeof(path)) != 0)
        return refuseDestination(typed, DESTINATION_TOO_LONG);
    problem = destinationProblem(path, DESTINATION_MAX_LENGTH);
    if (problem != DESTINATION_OK)
        return refuseDestination(path, problem);
    if (isRefusedFolder(path))
        return refuseDestination(path, DESTINATION_PROTECTED);
    int drive = findDrive(&setup.driveRoots[0][0], setup.driveCount, DRIVE_ROOT_SIZE, path[0]);
    if (drive < 0) {
        SetupLog("Destination \"%s\" refused: there is no drive %c:", path, path[0]);
        return 1;
    }
    setup.selectedDrive = drive;
    updateFreeSpace(drive);
    if (lstrcmpA(path, typed) != 0)
        SetupLog("Destination \"%s\" taken in its long form", typed);
    lstrcpynA(setup.installDir, path, PATH_BUFFER);
    return 0;
}

// The destination page's work: the folder, the free-space rule, the folder made (an existing
// one is used, as a user answering Yes to the page's question would). 0 when the copy may start.
static int prepareDestination(const SetupSwitches *switches) {
    chooseDefaultDestination();
    lstrcpynA(setup.folderName, PRODUCT_NAME, PATH_BUFFER);
    if (switches->hasDestination) {
        if (takeDestinationSwitch(switches->destination) != 0)
            return 1;
    } else if (existing.found) {
        // An update goes where the product is installed.
        if (takeDestinationSwitch(existing.where.installDir) != 0)
            return 1;
    } else if (joinDestination(setup.installDir, PATH_BUFFER, setup.baseDir, setup.folderName) !=
               0) {
        SetupLog("The default destination does not fit the path buffers");
        return 1;
    }
    // Nothing is written through a link someone placed at or above the destination.
    char link[PATH_BUFFER];
    if (findLinkOnPath(setup.installDir, link, sizeof(link))) {
        SetupLog("%s is a junction or symbolic link", link);
        return refuseDestination(setup.installDir, DESTINATION_LINK);
    }
    SetupLog("Destination %s: %lu KB free, %d KB required", setup.installDir,
             (unsigned long)setup.freeKB, REQUIRED_KB);
    if (setup.freeKB < (unsigned int)REQUIRED_KB) {
        SetupLog("Not enough free space on the destination drive");
        return 1;
    }
    if (makeInstallDir() != 0) {
        SetupLogError(setup.installDir, GetLastError());
        removeMadeParents();
        return 1;
    }
    return 0;
}

// What stops an unattended run before it changes anything: a newer version installed (nobody
// is there to agree to the downgrade), or the product's program still running once asked to
// close. 0 when the installation may go on.
static int checkInstalledProduct(void) {
    findExistingInstallation();
    if (isDowngrade()) {
        SetupLog("Refused: %s %s is installed, newer than this setup's version %s", PRODUCT_NAME,
                 existing.version, PRODUCT_VERSION_TEXT);
        return 1;
    }
    if (isProductRunning()) {
        SetupLog("%s is running: asking its windows to close", PRODUCT_NAME);
        if (closeRunningProduct() != 0) {
            SetupLog("%s was still running %d seconds later: nothing was changed", PRODUCT_NAME,
                     PRODUCT_CLOSE_WAIT_MS / 1000);
            return 1;
        }
        SetupLog("%s has ended", PRODUCT_NAME);
    }
    return 0;
}

// The copy's face when nobody watches: its steps go to the log (each file and failure is logged
// by the copy itself), and nothing stops it but a failure.
static void logPhase(void *, const char *text) { SetupLog("%s", text); }
static void ignoreFile(void *, const char *) {}
static void ignoreStep(void *) {}
static int neverStop(void *) { return 0; }
static void ignoreFailure(void *, const char *) {}

static const CopyObserver UNATTENDED_COPY = {logPhase,  ignoreFile,    ignoreStep,
                                             neverStop, ignoreFailure, NULL};

int RunUnattended(const SetupSwitches *switches) {
    setup.unattended = 1;
    // The default destination's drive is looked up from the start directory, as the page does.
    GetCurrentDirectoryA(PATH_MAX_LENGTH, setup.startDir);
    if (checkInstalledProduct() != 0 || prepareDestination(switches) != 0)
        return EXIT_FAILED;
    if (CopyPayload(&UNATTENDED_COPY) != 0) {
        removeMadeParents();
        return EXIT_FAILED;
    }
    // Only now, with the new copy whole, does an installation in another folder go.
    removeReplacedInstallation();
    proposeProgramsDir();
    if (finishShortcuts(0) != 0) {
        SetupLog("Installation failed: the registry entries were not all written");
        return EXIT_FAILED;
    }
    return EXIT_INSTALLED;
}
