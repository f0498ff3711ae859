// The product's uninstaller: asks, removes the installation the registry names, and says what it
// could not remove. A running program file cannot be deleted, so the program started from the
// installation hands the removal over to a copy of itself in a new folder of the temporary folder
// and waits for the copy's result, which becomes its own exit code: 0 removed, 1 not removed
// (refused or declined), 2 partly removed. With /S it asks nothing and shows nothing.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "command_line.h"
#include "common/dll_search.h"
#include "common/file_removal.h"
#include "common/product.h"
#include "common/running_program.h"
#include "entry_folders.h"
#include "removal.h"

static const char CAPTION[] = "Quillary - Uninstall";
static const char QUESTION[] = "Remove Quillary and all of its components?";
static const char NOT_INSTALLED[] =
    "Quillary cannot be removed: its uninstall entry does not say where it is installed.";
static const char REFUSED_ENTRY[] =
    "Quillary cannot be removed: its uninstall entry names a folder that cannot be a Quillary "
    "installation (a drive, a system folder, or a path that is not a plain full path).\n\n"
    "Nothing was removed.";
static const char SETUP_RUNNING[] =
    "Quillary cannot be removed now: Quillary Setup or another uninstall is running. Try again "
    "when it has ended.";
static const char REFUSED_ORIGINAL[] =
    "Quillary cannot be removed with this program: it is not the uninstaller of the "
    "installation its uninstall entry names.\n\nNothing was removed.";

// Exit codes: the removal ran whole, did not run, or left something behind (or could not start
// because the program kept running); another installer or uninstaller was running.
enum { EXIT_REMOVED = 0, EXIT_NOT_REMOVED = 1, EXIT_PARTLY = 2, EXIT_SETUP_RUNNING = 1618 };

// The switches of the command line. The copy's own come last: the handles it inherits, then the
// path of the program it was made from, which takes the rest of the line.
static const char SILENT_SWITCH[] = "/S";
static const char COPY_SWITCH[] = "/copy-of=";
static const char ORIGINAL_SWITCH[] = "/original=";
// The name of the copy's folder in the temporary folder, before its random part.
static const char COPY_FOLDER_PREFIX[] = "Quillary-uninstall-";
// Tries at a folder name nobody has made yet.
static const int COPY_FOLDER_TRIES = 16;
// How long the copy waits for the program it was made from to end.
static const DWORD HANDOVER_WAIT_MS = 15000;

// What the command line asks for.
struct Switches {
    int silent;
    HANDLE original;             // the copy: the process it was made from; NULL otherwise
    HANDLE result;               // the copy: where its result byte goes
    char originalPath[MAX_PATH]; // the copy: that process's program file
};

// True when word (length characters) is the switch, case aside.
static int isSwitch(const char *word, size_t length, const char *name) {
    return length == strlen(name) && _strnicmp(word, name, length) == 0;
}

static void readSwitches(Switches *switches) {
    memset(switches, 0, sizeof(*switches));
    char self[MAX_PATH], arguments[2 * MAX_PATH + 128];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    if (selfLength == 0 || selfLength >= sizeof(self))
        self[0] = '\0';
    if (commandLineDocument(GetCommandLineA(), self, arguments, sizeof(arguments)) != 0)
        return;
    const char *p = arguments;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (*p == '\0')
            return;
        if (_strnicmp(p, ORIGINAL_SWITCH, sizeof(ORIGINAL_SWITCH) - 1) == 0) {
            lstrcpynA(switches->originalPath, p + sizeof(ORIGINAL_SWITCH) - 1, MAX_PATH);
            return;
        }
        size_t length = strcspn(p, " \t");
        if (isSwitch(p, length, SILENT_SWITCH))
            switches->silent = 1;
        else if (_strnicmp(p, COPY_SWITCH, sizeof(COPY_SWITCH) - 1) == 0) {
            char *rest;
            switches->original =
                (HANDLE)(INT_PTR)_strtoui64(p + sizeof(COPY_SWITCH) - 1, &rest, 10);
            if (*rest == ':')
                switches->result = (HANDLE)(INT_PTR)_strtoui64(rest + 1, NULL, 10);
        }
        p += length;
    }
}

// Random bits from the system's generator (advapi32's RtlGenRandom); the clock and the process
// id as well, should it be missing.
static unsigned long long randomNumber() {
    typedef BOOLEAN(WINAPI * GenRandomFunction)(PVOID, ULONG);
    unsigned long long value = 0;
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    GenRandomFunction generate =
        advapi != NULL ? (GenRandomFunction)(void (*)())GetProcAddress(advapi, "SystemFunction036")
                       : NULL;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    if (generate == NULL || !generate(&value, sizeof(value)))
        value ^= (unsigned long long)counter.QuadPart * 6364136223846793005ULL;
    return value ^ ((unsigned long long)GetCurrentProcessId() << 32) ^ GetTickCount();
}

// Makes a new folder of an unpredictable name in the temporary folder, failing where the name is
// taken (someone may have prepared it): 0 with its path in folder.
static int makeCopyFolder(char *folder, size_t folderSize) {
    char tempDir[MAX_PATH];
    DWORD tempLength = GetTempPathA(sizeof(tempDir), tempDir);
    if (tempLength == 0 || tempLength >= sizeof(tempDir))
        return 1;
    for (int attempt = 0; attempt < COPY_FOLDER_TRIES; attempt++) {
        if (snprintf(folder, folderSize, "%s%s%016llx", tempDir, COPY_FOLDER_PREFIX,
                     randomNumber()) >= (int)folderSize)
            return 1;
        if (CreateDirectoryA(folder, NULL))
            return 0;
    }
    return 1;
}

// Copies this program into a new folder of its own and starts the copy there, working in the
// system folder (outside the installation, away from the temporary folder). Then waits for the
// copy's result. Returns the exit code, or -1 when no copy could be started.
static int runFromCopy(int silent) {
    char self[MAX_PATH], longSelf[MAX_PATH], folder[MAX_PATH], copy[MAX_PATH], systemDir[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    UINT systemLength = GetSystemDirectoryA(systemDir, sizeof(systemDir));
    if (selfLength == 0 || selfLength >= sizeof(self) || systemLength == 0 ||
        systemLength >= sizeof(systemDir))
        return -1;
    DWORD longLength = GetLongPathNameA(self, longSelf, sizeof(longSelf));
    if (longLength == 0 || longLength >= sizeof(longSelf))
        lstrcpynA(longSelf, self, sizeof(longSelf));
    if (makeCopyFolder(folder, sizeof(folder)) != 0)
        return -1;
    if (snprintf(copy, sizeof(copy), "%s\\%s", folder, PRODUCT_UNINSTALLER) >= (int)sizeof(copy) ||
        !CopyFileA(self, copy, TRUE)) {
        DeleteFileA(copy);
        RemoveDirectoryA(folder);
        return -1;
    }

    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), NULL, TRUE};
    HANDLE resultRead = NULL, resultWrite = NULL, me = NULL;
    if (!CreatePipe(&resultRead, &resultWrite, &inherited, 0)) {
        DeleteFileA(copy);
        RemoveDirectoryA(folder);
        return -1;
    }
    SetHandleInformation(resultRead, HANDLE_FLAG_INHERIT, 0);
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE,
                    TRUE, 0);
    char commandLine[3 * MAX_PATH + 128];
    snprintf(commandLine, sizeof(commandLine), "\"%s\"%s %s%llu:%llu %s%s", copy,
             silent ? " /S" : "", COPY_SWITCH, (unsigned long long)(INT_PTR)me,
             (unsigned long long)(INT_PTR)resultWrite, ORIGINAL_SWITCH, longSelf);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    BOOL started = me != NULL && CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL,
                                                systemDir, &startup, &process);
    // Only the copy holds the pipe's writing end now: when it ends, the read below returns.
    CloseHandle(resultWrite);
    if (me != NULL)
        CloseHandle(me);
    if (!started) {
        CloseHandle(resultRead);
        DeleteFileA(copy);
        RemoveDirectoryA(folder);
        return -1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    char result = 0;
    DWORD got = 0;
    BOOL read = ReadFile(resultRead, &result, 1, &got, NULL) && got == 1;
    CloseHandle(resultRead);
    // A copy that ended without a result may have removed some of it.
    return read ? (int)result : (int)EXIT_PARTLY;
}

static void tell(int silent, const char *text, UINT icon) {
    if (!silent)
        MessageBoxA(NULL, text, CAPTION, MB_OK | icon);
}

// Checks, asks, removes, reports. originalPath: the uninstaller the user started, which must be
// the one of the installation the entry names. Returns the exit code.
static int uninstall(const char *originalPath, int silent, int keepUninstaller,
                     Installation *installation) {
    int found = readInstallation(installation);
    if (found != INSTALLATION_FOUND) {
        tell(silent, found == INSTALLATION_MISSING ? NOT_INSTALLED : REFUSED_ENTRY, MB_ICONERROR);
        return EXIT_NOT_REMOVED;
    }
    if (!isProgramInFolder(originalPath, installation->installDir, PRODUCT_UNINSTALLER)) {
        tell(silent, REFUSED_ORIGINAL, MB_ICONERROR);
        return EXIT_NOT_REMOVED;
    }
    if (!silent && MessageBoxA(NULL, QUESTION, CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return EXIT_NOT_REMOVED;
    // The program's files cannot go while it runs: the user closes it, or a silent removal asks
    // its windows to close and waits for it.
    if (!silent && confirmProductClosed(NULL, CAPTION) != 0)
        return EXIT_NOT_REMOVED;
    if (silent && closeRunningProduct() != 0)
        return EXIT_PARTLY;

    RemovalReport report;
    reportClear(&report);
    removeInstallation(installation, keepUninstaller, &report);
    char text[REPORT_TEXT_BUFFER];
    reportText(&report, text, sizeof(text));
    int failed = report.failedCount + report.failedUnlisted > 0;
    tell(silent, text, failed ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
    return failed ? EXIT_PARTLY : EXIT_REMOVED;
}

// The copy: removes, hands its result to the program it was made from, waits for that program to
// end, then removes its file and folder when the removal was whole, and at last itself.
static int runAsCopy(const Switches *switches) {
    Installation installation;
    int result = uninstall(switches->originalPath, switches->silent, 1, &installation);
    char byte = (char)result;
    DWORD written = 0;
    if (switches->result != NULL) {
        WriteFile(switches->result, &byte, 1, &written, NULL);
        CloseHandle(switches->result);
    }
    WaitForSingleObject(switches->original, HANDOVER_WAIT_MS);
    CloseHandle(switches->original);
    // After a partial removal the entry stays, and its command must still find the uninstaller.
    if (result == EXIT_REMOVED)
        removeUninstaller(&installation);

    char self[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    if (selfLength > 0 && selfLength < sizeof(self)) {
        removeFileOrAtRestart(self);
        char *lastSlash = strrchr(self, '\\');
        if (lastSlash != NULL) {
            *lastSlash = '\0';
            removeFolderOrAtRestart(self);
        }
    }
    return result;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    Switches switches;
    readSwitches(&switches);
    // The copy runs under the program the user started, which holds the mutex for it.
    if (switches.original != NULL)
        return runAsCopy(&switches);
    // Held until this program ends, once its copy has removed the installation: no installer or
    // other uninstaller runs meanwhile.
    HANDLE setupRunning = CreateMutexA(NULL, FALSE, SETUP_RUNNING_MUTEX);
    if (setupRunning == NULL || GetLastError() == ERROR_ALREADY_EXISTS) {
        tell(switches.silent, SETUP_RUNNING, MB_ICONEXCLAMATION);
        return EXIT_SETUP_RUNNING;
    }

    int result = runFromCopy(switches.silent);
    if (result >= 0)
        return result;
    // Without a copy, remove from here: everything but this program file and its folder, which
    // go at the next restart.
    char self[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    if (selfLength == 0 || selfLength >= sizeof(self))
        return EXIT_NOT_REMOVED;
    Installation installation;
    result = uninstall(self, switches.silent, 1, &installation);
    if (result == EXIT_REMOVED)
        removeUninstaller(&installation);
    return result;
}
