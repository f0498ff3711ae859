// Installer benchmark under Wine, over default installations with the carried payload, driven as
// a user would: the copy page (from the page appearing to the next step of the wizard appearing:
// the next page, or the closing message), the whole installation (from the installer started to
// the success message shown) and the installer's memory during the copy (private bytes, and the
// peak working set). Each installation is followed by its memory's reference, an idle Wine GUI
// program (the runtime's floor), so that both see the same moment of the machine. Prints one line
// a run; bench/copy-page runs it one installation at a time, between native runs of the
// extraction core, and bench/runs.py gives the medians with their spread. Each run then installs
// once more over its installation: the copy page of a reinstallation (every file replaced, the
// replaced files' backups deleted once the copy is whole).
//
// usage: copy_page.exe [runs [first]]   (runs numbered from first; the installer is
//                                        QUILLARY_INSTALLER, as the Wine bench sets it)
//        copy_page.exe --queue-wait LOG   one installation logged to LOG (a Windows path): the
//                                        longest time the copy page left its message queue
//                                        unread, which bounds how long a Cancel waits
//
// The bench's prefix has Wine's "Managed" = "N": without a window manager (Xvfb) Wine would
// otherwise wait up to 2 s each time a top-level window is hidden, at every page change.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "installed_system.h"
#include "installer_run.h"

#include <psapi.h> // after <windows.h>, which the driver brings

static const char INSTALL_DIR[] = "C:\\Program files\\Quillary";

// Each run ends with the shortcut page's Finish: its shell window, group and entries are undone.
static void undoInstallation() { installed::undoInstallation(INSTALL_DIR); }

static double megabytes(SIZE_T bytes) { return (double)bytes / (1024.0 * 1024.0); }

// The memory of Wine's own notepad once its window shows: what any GUI program of this runtime
// holds before doing anything. False when notepad cannot be started or read.
static bool idleProgramMemory(PROCESS_MEMORY_COUNTERS *memory) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    char commandLine[] = "notepad.exe";
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return false;
    // Input idle: the program has shown its window and waits for the user.
    bool read = WaitForInputIdle(process.hProcess, 30000) == 0;
    memory->cb = sizeof(*memory);
    read = read && GetProcessMemoryInfo(process.hProcess, memory, sizeof(*memory));
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return read;
}

// What a run lacks for the figures, or NULL when it has them all.
static const char *missingFigure(const driver::RunRecord &run) {
    if (run.copySeconds < 0)
        return "the copy page or what follows it";
    if (run.successSeconds < 0)
        return "the success message";
    if (run.peakWorkingSet == 0)
        return "the installer's memory figures";
    return NULL;
}

// Installs once more over the installation the run made (its shell window closed first) and
// prints the copy page's time. False, after saying why, when it does not end with the success
// message.
static bool reinstall(const char *installer, int i) {
    installed::closeShellWindows();
    driver::RunRecord run;
    try {
        run = driver::runInstaller(installer);
    } catch (const driver::DriverError &error) {
        run.failure = error.what();
    }
    if (!run.failure.empty() || run.copySeconds < 0 || run.successSeconds < 0) {
        fprintf(stderr, "copy_page: run %d: the reinstallation failed: %s\n", i,
                run.failure.empty() ? "the copy page or the success message was not seen"
                                    : run.failure.c_str());
        undoInstallation();
        return false;
    }
    printf("run %d reinstallation: copy page %.3f s to the next step\n", i, run.copySeconds);
    fflush(stdout);
    return true;
}

// One logged installation; prints the longest wait of the copy page's queue from its log.
static int measureQueueWait(const char *installer, const char *logPath) {
    undoInstallation();
    driver::RunOptions options;
    options.arguments = std::string("/LOG=") + logPath;
    driver::RunRecord run = driver::runInstaller(installer, options);
    undoInstallation();
    std::string log;
    const char *line = NULL;
    if (run.failure.empty() && driver::readWholeFile(logPath, &log))
        line = strstr(log.c_str(), "the messages waited at most ");
    if (line == NULL) {
        fprintf(stderr, "copy_page: no queue wait in the log %s: %s\n", logPath,
                run.failure.c_str());
        return 1;
    }
    printf("copy page queue: longest wait %ld ms\n",
           strtol(line + strlen("the messages waited at most "), NULL, 10));
    return 0;
}

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "--queue-wait") == 0) {
        const char *installer = getenv("QUILLARY_INSTALLER");
        return installer != NULL ? measureQueueWait(installer, argv[2]) : 2;
    }
    int runs = argc > 1 ? atoi(argv[1]) : 1;
    int first = argc > 2 ? atoi(argv[2]) : 1;
    const char *installer = getenv("QUILLARY_INSTALLER");
    if (installer == NULL || runs < 1) {
        fprintf(stderr, "copy_page: QUILLARY_INSTALLER not set, or no runs asked for\n");
        return 2;
    }
    HDC screen = GetDC(NULL);
    printf("screen %dx%d at %d bits\n", GetDeviceCaps(screen, HORZRES),
           GetDeviceCaps(screen, VERTRES), GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(NULL, screen);
    for (int i = first; i < first + runs; i++) {
        undoInstallation();
        driver::RunRecord run;
        try {
            run = driver::runInstaller(installer);
        } catch (const driver::DriverError &error) {
            run.failure = error.what();
        }
        const char *missing = missingFigure(run);
        if (!run.failure.empty() || missing != NULL) {
            fprintf(stderr, "copy_page: run %d failed: %s\n", i,
                    run.failure.empty() ? (std::string(missing) + " was not seen").c_str()
                                        : run.failure.c_str());
            undoInstallation();
            return 1;
        }
        PROCESS_MEMORY_COUNTERS idle;
        if (!idleProgramMemory(&idle)) {
            fprintf(stderr, "copy_page: run %d: the idle notepad could not be measured\n", i);
            undoInstallation();
            return 1;
        }
        printf("run %d: copy page %.3f s to the next step (the page itself gone after %.3f s); "
               "success message after %.3f s; peak working set %.1f MB, private %.1f MB "
               "(%.1f MB before the copy); then idle notepad: working set %.1f MB, private "
               "%.1f MB\n",
               i, run.copySeconds, run.copyPageSeconds, run.successSeconds,
               megabytes(run.peakWorkingSet), megabytes(run.peakPrivateBytes),
               megabytes(run.privateBeforeCopy), megabytes(idle.WorkingSetSize),
               megabytes(idle.PagefileUsage));
        // Where the whole installation's time goes, each step from the one before it: start-up
        // to the agreement page (process, backdrop), the two pages the driver answers at once,
        // the copy page, and the shortcut page to the success message.
        printf("run %d steps: start-up %.3f s, agreement %.3f s, destination %.3f s, copy %.3f s, "
               "shortcut and success %.3f s\n",
               i, run.agreementShownSeconds,
               run.destinationShownSeconds - run.agreementShownSeconds,
               run.copyShownSeconds - run.destinationShownSeconds,
               run.shortcutShownSeconds - run.copyShownSeconds,
               run.successSeconds - run.shortcutShownSeconds);
        fflush(stdout);
        if (!reinstall(installer, i))
            return 1;
    }
    undoInstallation();
    return 0;
}
