// Destination page: proposes where Quillary goes, checks the folder name and the free space of
// the destination's drive, and creates the destination directory.
#include <stdio.h>
#include <string.h>

#include "common/protected_folders.h"
#include "common/required_space.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "pages/destination_rules.h"
#include "pages/pages.h"
#include "resources/resource.h"
#include "shell/message_table.h"
#include "system/existing_installation.h"

// Characters the logical drive strings are read into.
enum { DRIVE_STRINGS_BUFFER = 100 };

static const char NO_FOLDER_WARNING[] = "You were forgoten to select an directory";
const char LOW_SPACE_WARNING[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or "
    "remove some other program-s to free more disk space.";
static const char EXISTS_QUESTION[] =
    "Directory allready exsist. Continue with the instalation ?\n\nNOTES: Click on the YES "
    "button if this is previous installation of this software, otherwise click on the NO button "
    "and select another installation directory.";
static const char MOVE_QUESTION_FORMAT[] =
    PRODUCT_NAME " is already installed in:\n%s\n\nInstall it in this folder instead?\n%s\n\n"
                 "The files " PRODUCT_NAME " installed in the old folder are removed once the new "
                 "installation is complete. Files of your own there are kept.";
static const char PATH_TOO_LONG_WARNING[] =
    "The installation directory path is too long. Select a shorter directory.";
static const char PROTECTED_FORMAT[] =
    "%s is a folder of the system (a drive, the Windows or system folder, or a Program Files "
    "folder itself) and cannot hold the installation. Select another installation directory.";
static const char LINK_FORMAT[] =
    "%s is a junction or symbolic link that leads to another place. Select another installation "
    "directory.";

void updateFreeSpace(int drive) {
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    // A drive that cannot be asked (no medium) counts as full, which refuses Next.
    if (drive < 0 || drive >= setup.driveCount ||
        !GetDiskFreeSpaceA(setup.driveRoots[drive], &sectorsPerCluster, &bytesPerSector,
                           &freeClusters, &totalClusters)) {
        setup.freeKB = 0;
        return;
    }
    setup.freeKB = freeKilobytes(sectorsPerCluster, bytesPerSector, freeClusters);
}

// Reads the logical drives into driveRoots, at most DRIVE_TABLE_SIZE whole entries; the drive
// setup was started from becomes the selected one when it is listed, else the first.
static void readDriveTable(void) {
    char drives[DRIVE_STRINGS_BUFFER] = {0};
    // The length passed leaves room for the list's closing NUL whichever way the system counts
    // it. A list that does not fit (more than 24 drives) is rebuilt from the drive mask.
    DWORD length = GetLogicalDriveStringsA(DRIVE_STRINGS_BUFFER - 1, drives);
    if (length == 0 || length > DRIVE_STRINGS_BUFFER - 1)
        driveStringsFromMask(GetLogicalDrives(), drives, DRIVE_STRINGS_BUFFER);
    CharUpperA(setup.startDir);
    setup.driveCount = 0;
    setup.selectedDrive = 0;
    setup.driveCount =
        readDriveStrings(drives, DRIVE_STRINGS_BUFFER, &setup.driveRoots[0][0], DRIVE_TABLE_SIZE,
                         DRIVE_ROOT_SIZE, setup.startDir[0], &setup.selectedDrive);
}

// Default destination parent: "Program files" on the Windows drive when a drive C exists and
// that folder does, else the root of drive C; without a drive C, the root of the selected drive.
// The drive whose free space is measured is always the one baseDir lies on.
void chooseDefaultDestination(void) {
    readDriveTable();
    int driveC = findDrive(&setup.driveRoots[0][0], setup.driveCount, DRIVE_ROOT_SIZE, 'C');
    if (driveC >= 0) {
        char windowsDir[PATH_BUFFER];
        UINT length = GetWindowsDirectoryA(windowsDir, PATH_BUFFER);
        if (length == 0 || length >= PATH_BUFFER)
            windowsDir[0] = '\0';
        setup.selectedDrive = driveC;
        // On success the folder stays the process's current directory.
        if (programFilesOn(setup.baseDir, PATH_BUFFER, windowsDir) != 0 ||
            !SetCurrentDirectoryA(setup.baseDir))
            lstrcpynA(setup.baseDir, setup.driveRoots[driveC], PATH_BUFFER);
    } else if (setup.driveCount > 0) {
        lstrcpynA(setup.baseDir, setup.driveRoots[setup.selectedDrive], PATH_BUFFER);
    }
    int baseDrive =
        findDrive(&setup.driveRoots[0][0], setup.driveCount, DRIVE_ROOT_SIZE, setup.baseDir[0]);
    if (baseDrive >= 0)
        setup.selectedDrive = baseDrive;
    updateFreeSpace(setup.selectedDrive);
}

// Rebuilds installDir from baseDir and folderName and shows it in field 101. A join too long for
// the buffers leaves installDir empty.
static void showDestination(HWND window) {
    joinDestination(setup.installDir, PATH_BUFFER, setup.baseDir, setup.folderName);
    SetDlgItemTextA(window, IDC_INSTALL_DIR, setup.installDir);
}

// An installation of the product already there is updated where it is: its folder becomes
// baseDir and folderName, and its drive the one measured.
static void proposeExistingInstallation(void) {
    const char *folder = existing.where.installDir;
    const char *lastSlash = strrchr(folder, '\\');
    if (!existing.found || lastSlash == NULL || lastSlash < folder + 2)
        return;
    // A folder right below a drive root keeps the root's backslash ("C:\").
    size_t baseLength = (size_t)(lastSlash - folder) + (lastSlash == folder + 2);
    if (baseLength >= PATH_BUFFER)
        return;
    int drive = findDrive(&setup.driveRoots[0][0], setup.driveCount, DRIVE_ROOT_SIZE, folder[0]);
    if (drive < 0)
        return;
    memcpy(setup.baseDir, folder, baseLength);
    setup.baseDir[baseLength] = '\0';
    lstrcpynA(setup.folderName, lastSlash + 1, PATH_BUFFER);
    setup.selectedDrive = drive;
    updateFreeSpace(drive);
}

static INT_PTR DestinationPageInit(HWND window, UINT, WPARAM, LPARAM) {
    chooseDefaultDestination();
    lstrcpynA(setup.folderName, PRODUCT_NAME, PATH_BUFFER);
    proposeExistingInstallation();
    showDestination(window);
    return TRUE;
}

// Another folder than the installed one: the product moves there, once the user agrees.
static int confirmMove(HWND window) {
    if (!isElsewhere(setup.installDir))
        return 1;
    char text[sizeof(MOVE_QUESTION_FORMAT) + 2 * PATH_BUFFER];
    snprintf(text, sizeof(text), MOVE_QUESTION_FORMAT, existing.where.installDir, setup.installDir);
    return MessageBoxA(window, text, SETUP_CAPTION, MB_ICONQUESTION | MB_YESNO) == IDYES;
}

static void refuseWithFocusOnField(HWND window, const char *text) {
    MessageBoxA(window, text, SETUP_CAPTION, MB_ICONEXCLAMATION | MB_OK);
    SetFocus(GetDlgItem(window, IDC_INSTALL_DIR));
}

int refuseUnsafeDestination(HWND window, const char *path) {
    char link[PATH_BUFFER];
    const char *format = NULL;
    if (isRefusedFolder(path))
        format = PROTECTED_FORMAT;
    else if (findLinkOnPath(path, link, sizeof(link)))
        format = LINK_FORMAT;
    if (format == NULL)
        return 0;
    char text[PATH_BUFFER + sizeof(PROTECTED_FORMAT)];
    wsprintfA(text, format, format == LINK_FORMAT ? link : path);
    SetupLog("Destination \"%s\" refused: %s", path, text);
    MessageBoxA(window, text, SETUP_CAPTION, MB_ICONEXCLAMATION | MB_OK);
    return 1;
}

// Next: checks the folder name and the free space measured for the selected drive (Next does not
// measure again), then creates the destination. Field 101 is never read back.
static void DestinationPageNext(HWND window) {
    if (setup.folderName[0] == '\0') {
        refuseWithFocusOnField(window, NO_FOLDER_WARNING);
        return;
    }
    if (setup.freeKB < (unsigned int)REQUIRED_KB) {
        // Yes and No both leave the page open.
        MessageBoxA(window, LOW_SPACE_WARNING, SETUP_CAPTION, MB_ICONHAND | MB_YESNO);
        return;
    }
    if (joinDestination(setup.installDir, PATH_BUFFER, setup.baseDir, setup.folderName) != 0) {
        refuseWithFocusOnField(window, PATH_TOO_LONG_WARNING);
        return;
    }
    if (refuseUnsafeDestination(window, setup.installDir)) {
        SetFocus(GetDlgItem(window, IDC_INSTALL_DIR));
        return;
    }
    if (!confirmMove(window))
        return;
    // Every failure to create it, whatever the cause, is asked about as an existing directory.
    setup.installDirCreated = MakeDirectory(setup.installDir) != 0;
    if (setup.installDirCreated ||
        MessageBoxA(window, EXISTS_QUESTION, SETUP_CAPTION, MB_ICONQUESTION | MB_YESNO) == IDYES)
        EndDialog(window, 0);
}

static INT_PTR DestinationPageCommand(HWND window, UINT commandId, UINT, LPARAM) {
    if (commandId == IDOK) {
        DestinationPageNext(window);
    } else if (confirmCancel(window)) {
        EndDialog(window, 1);
    }
    return 0;
}

// Browse: the directory browser edits baseDir, folderName, selectedDrive and freeKB itself; its
// result is not looked at, and the destination is rebuilt from whatever it left.
static INT_PTR DestinationPageBrowse(HWND window, UINT, UINT, LPARAM) {
    DialogBoxParamA(setup.instance, "IDD_BROWSE", window, DirectoryBrowserProc, 0);
    showDestination(window);
    return 0;
}

static const CommandEntry DESTINATION_COMMAND_ROWS[] = {
    {IDOK, DestinationPageCommand},
    {IDCANCEL, DestinationPageCommand},
    {IDC_BROWSE, DestinationPageBrowse},
};
static const CommandTable DESTINATION_COMMANDS = {TABLE_ROWS(DESTINATION_COMMAND_ROWS),
                                                  DESTINATION_COMMAND_ROWS, DEFAULT_NONE};

static INT_PTR DestinationPageDispatchCommand(HWND window, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&DESTINATION_COMMANDS, window, wParam, lParam);
}

static const MessageEntry DESTINATION_MESSAGE_ROWS[] = {
    {WM_COMMAND, DestinationPageDispatchCommand},
    {WM_INITDIALOG, DestinationPageInit},
    {WM_PAINT, paintPagePicture},
};
static const MessageTable DESTINATION_MESSAGES = {TABLE_ROWS(DESTINATION_MESSAGE_ROWS),
                                                  DESTINATION_MESSAGE_ROWS, DEFAULT_NONE};

INT_PTR CALLBACK DestinationPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&DESTINATION_MESSAGES, window, message, wParam, lParam);
}
