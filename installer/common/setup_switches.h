// The installer's command-line switches, for administrators who deploy it with scripts:
//   /S             unattended: no window, no message; the interactive defaults
//   /D=<path>      the destination folder (with /S only); the last switch: it takes the rest of
//                  the line as it stands, blanks included, without quotes
//   /LOG=<file>    a plain-text log of the run ("/LOG=C:\My Logs\setup.log" in quotes for blanks)
//   /?             the switches and exit codes in a message box (interactive only)
// Switch names ignore case; anything else on the line is ignored. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

#include "common/paths.h"

// The process's exit codes, interactive and unattended alike.
enum SetupExitCode {
    EXIT_INSTALLED = 0, // the files in place and the registry entries written
    EXIT_CANCELLED = 1, // the user cancelled before the installation was complete
    EXIT_FAILED = 2,    // a damaged payload, a file not written whole, no room, a bad /D= path
    // Another installer or uninstaller of the product is running: the Windows Installer's code
    // for "another installation is in progress", which deployment tools retry.
    EXIT_ALREADY_RUNNING = 1618,
};

struct SetupSwitches {
    int unattended;                // /S
    int help;                      // /?
    int hasDestination;            // /D= was given (destination may still be refused)
    char destination[PATH_BUFFER]; // /D='s path, trailing blanks dropped; "" when too long
    char logPath[PATH_BUFFER];     // /LOG='s file; "" when not given or too long
};

// Reads commandLine (the text after the program's name). Never fails: a value too long for its
// buffer is left empty, which makes /D= unusable and the log absent.
void parseSetupSwitches(const char *commandLine, SetupSwitches *switches);

// Why a /D= path is not usable as the destination; DESTINATION_OK when it is a full local path
// ("C:\Apps\Quillary"): a drive letter, a colon, a backslash, then one or more folder names that
// each pass the folder-name rule, no trailing backslash, at most maxLength characters.
enum DestinationProblem {
    DESTINATION_OK = 0,
    DESTINATION_EMPTY = 1,
    DESTINATION_NOT_FULL_LOCAL = 2, // relative, UNC, or no drive letter
    DESTINATION_DRIVE_ROOT = 3,     // "C:\" itself
    DESTINATION_BAD_NAME = 4,       // a part that is not a folder name ("..", "CON", "a*b")
    DESTINATION_TOO_LONG = 5,
    // Found on the system, not in the text (common/protected_folders):
    DESTINATION_PROTECTED = 6, // the Windows or a system folder, a Program Files folder itself
    DESTINATION_LINK = 7,      // it, or a folder on the way to it, is a junction or link
};
DestinationProblem destinationProblem(const char *path, size_t maxLength);
