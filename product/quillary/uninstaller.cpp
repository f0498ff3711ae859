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
#include "common/folder_security.h"
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

// The name of the copy's folder in the temporary folder, before its random part.
static const char COPY_FOLDER_PREFIX[] = "Quillary-uninstall-";
// Tries at a folder name nobody has made yet.
static const int COPY_FOLDER_TRIES = 16;
// How long the copy waits for the program it was made from to end.
static const DWORD HANDOVER_WAIT_MS = 15000;

// Reads this process's command line. Returns 0 when read.
static int readSwitches(UninstallSwitches *switches) {
    char self[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    if (selfLength == 0 || selfLength >= sizeof(self))
        self[0] = '\0';
    return readUninstallSwitches(GetCommandLineA(), self, switches);
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

// The temporary folder, with its trailing backslash, into tempDir (MAX_PATH bytes); 0 when read.
static int readTempDir(char *tempDir) {
    DWORD tempLength = GetTempPathA(MAX_PATH, tempDir);
    return tempLength == 0 || tempLength >= MAX_PATH;
}

// Makes a new folder of an unpredictable name in the temporary folder, failing where the name is
// taken (someone may have prepared it), that only SYSTEM, the administrators and the running
// user may open: the temporary folder is shared when the uninstaller runs as SYSTEM. 0 with its
// path in folder.
static int makeCopyFolder(char *folder, size_t folderSize) {
    char tempDir[MAX_PATH];
    if (readTempDir(tempDir) != 0)
        return 1;
    for (int attempt = 0; attempt < COPY_FOLDER_TRIES; attempt++) {
        if (snprintf(folder, folderSize, "%s%s%016llx", tempDir, COPY_FOLDER_PREFIX,
                     randomNumber()) >= (int)folderSize)
            return 1;
        if (createPrivateFolder(folder))
            return 0;
    }
    return 1;
}

// 1 when folder is a folder makeCopyFolder names: directly in the temporary folder, its name the
// prefix and 16 hex digits. Only there may anything be left for the next restart to delete.
static int isCopyFolder(const char *folder) {
    char tempDir[MAX_PATH];
    if (readTempDir(tempDir) != 0)
        return 0;
    size_t tempLength = strlen(tempDir), prefixLength = strlen(COPY_FOLDER_PREFIX);
    if (strlen(folder) != tempLength + prefixLength + 16 ||
        _strnicmp(folder, tempDir, tempLength) != 0 ||
        _strnicmp(folder + tempLength, COPY_FOLDER_PREFIX, prefixLength) != 0)
        return 0;
    for (const char *digit = folder + tempLength + prefixLength; *digit != '\0'; digit++)
        if (strchr("0123456789abcdef", *digit) == NULL)
            return 0;
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
    snprintf(commandLine, sizeof(commandLine), "\"%s\"%s /copy-of=%llu:%llu /original=%s", copy,
             silent ? " /S" : "", (unsigned long long)(INT_PTR)me,
             (unsigned long long)(INT_PTR)resultWrite, longSelf);
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
// end, then removes its file and folder when the removal was whole, and at last itself: its own
// file and folder, in the private folder it was made in, are the only paths the next restart may
// be asked to delete.
static int runAsCopy(const UninstallSwitches *switches) {
    HANDLE original = (HANDLE)(INT_PTR)switches->original;
    HANDLE resultPipe = (HANDLE)(INT_PTR)switches->result;
    Installation installation;
    int result = uninstall(switches->originalPath, switches->silent, 1, &installation);
    char byte = (char)result;
    DWORD written = 0;
    if (resultPipe != NULL) {
        WriteFile(resultPipe, &byte, 1, &written, NULL);
        CloseHandle(resultPipe);
    }
    WaitForSingleObject(original, HANDOVER_WAIT_MS);
    CloseHandle(original);
    // After a partial removal the entry stays, and its command must still find the uninstaller.
    if (result == EXIT_REMOVED)
        removeUninstaller(&installation);

    char self[MAX_PATH];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    char *lastSlash = selfLength > 0 && selfLength < sizeof(self) ? strrchr(self, '\\') : NULL;
    if (lastSlash == NULL)
        return result;
    *lastSlash = '\0';
    int inCopyFolder = isCopyFolder(self);
    *lastSlash = '\\';
    if (!inCopyFolder) {
        removeFileRetrying(self);
        return result;
    }
    removeFileOrAtRestart(self);
    *lastSlash = '\0';
    removeFolderOrAtRestart(self);
    return result;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    UninstallSwitches switches;
    // A line that cannot be read may have carried /S: nothing is asked and nothing removed.
    if (readSwitches(&switches) != 0)
        return EXIT_NOT_REMOVED;
    // The copy runs under the program the user started, which holds the mutex for it.
    if (switches.isCopy)
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
    // go now when they can and stay otherwise (the next restart is never asked to delete
    // anything in a folder other users may have changed).
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
