// The product's uninstaller: asks, removes the installation the registry names, and says what it
// could not remove. A running program file cannot be deleted, so the copy started from the
// installation hands over to a copy of itself in the temporary folder and ends.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "command_line.h"
#include "removal.h"

static const char CAPTION[] = "Quillary - Uninstall";
static const char QUESTION[] = "Remove Quillary and all of its components?";
static const char NOT_INSTALLED[] =
    "Quillary cannot be removed: its uninstall entry does not say where it is installed.";
// The name of the copy in the temporary folder; an older one is replaced on the next start.
static const char TEMP_COPY_NAME[] = "Quillary-uninstall.exe";
// The copy's command line: this switch, then the handle of the process it waits for.
static const char TEMP_COPY_SWITCH[] = "/from-copy";
// How long the copy waits for the program it replaces to end.
static const DWORD HANDOVER_WAIT_MS = 15000;

// The handle value after the switch, when this process is the temporary copy; NULL otherwise.
static HANDLE handoverHandle() {
    char self[MAX_PATH], argument[64];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    if (selfLength == 0 || selfLength >= sizeof(self))
        self[0] = '\0';
    if (commandLineDocument(GetCommandLineA(), self, argument, sizeof(argument)) != 0 ||
        strncmp(argument, TEMP_COPY_SWITCH, sizeof(TEMP_COPY_SWITCH) - 1) != 0)
        return NULL;
    return (HANDLE)(INT_PTR)_strtoui64(argument + sizeof(TEMP_COPY_SWITCH) - 1, NULL, 10);
}

// Copies this program to the temporary folder and starts the copy, handing it a handle to this
// process so that it waits until the original file is free. 0 when the copy runs.
static int startTemporaryCopy() {
    char self[MAX_PATH], tempDir[MAX_PATH], copy[MAX_PATH], commandLine[MAX_PATH + 64];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    DWORD tempLength = GetTempPathA(sizeof(tempDir), tempDir);
    if (selfLength == 0 || selfLength >= sizeof(self) || tempLength == 0 ||
        tempLength >= sizeof(tempDir))
        return 1;
    if (snprintf(copy, sizeof(copy), "%s%s", tempDir, TEMP_COPY_NAME) >= (int)sizeof(copy))
        return 1;
    SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(copy);
    if (!CopyFileA(self, copy, FALSE))
        return 1;

    HANDLE me;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me,
                         SYNCHRONIZE, TRUE, 0))
        return 1;
    snprintf(commandLine, sizeof(commandLine), "\"%s\" %s %llu", copy, TEMP_COPY_SWITCH,
             (unsigned long long)(INT_PTR)me);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    // The copy works in the temporary folder, so no process holds the installation folder open.
    BOOL started =
        CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL, tempDir, &startup, &process);
    CloseHandle(me);
    if (!started)
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

// Asks, removes, reports. Returns the process's exit code: 0 removed, 1 not, 2 partly.
static int uninstall() {
    Installation installation;
    if (readInstallation(&installation) != 0) {
        MessageBoxA(NULL, NOT_INSTALLED, CAPTION, MB_OK | MB_ICONERROR);
        return 1;
    }
    if (MessageBoxA(NULL, QUESTION, CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 1;

    RemovalReport report;
    reportClear(&report);
    removeInstallation(&installation, &report);
    char text[REPORT_TEXT_BUFFER];
    reportText(&report, text, sizeof(text));
    int failed = report.failedCount + report.failedUnlisted > 0;
    MessageBoxA(NULL, text, CAPTION, MB_OK | (failed ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
    return failed ? 2 : 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE original = handoverHandle();
    if (original == NULL) {
        if (startTemporaryCopy() == 0)
            return 0;
        // Without a copy, remove from here: everything but this program file goes.
        return uninstall();
    }
    WaitForSingleObject(original, HANDOVER_WAIT_MS);
    CloseHandle(original);
    int result = uninstall();
    // The copy cannot delete itself; the system removes it at the next start where it may, and
    // the next uninstaller run replaces it otherwise.
    char self[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    if (selfLength > 0 && selfLength < sizeof(self))
        MoveFileExA(self, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    return result;
}
