// Installer benchmark under Wine, over several default installations with the carried payload,
// driven as a user would: the copy page (from the page appearing to the next step of the wizard
// appearing: the next page, or the closing message), the whole installation (from the installer
// started to the success message shown) and the installer's memory during the copy (private
// bytes, and the peak working set), beside the memory of an idle Wine GUI program (the runtime's
// floor). Then the copy page of as many reinstallations over the last installation (every file
// replaced, the replaced files' backups deleted once the copy is whole). Prints each run, then
// medians with their spread.
//
// usage: copy_page.exe [runs]   (the installer is QUILLARY_INSTALLER, as the Wine bench sets it)
//
// The bench's prefix has Wine's "Managed" = "N": without a window manager (Xvfb) Wine would
// otherwise wait up to 2 s each time a top-level window is hidden, at every page change.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installed_system.h"
#include "installer_run.h"

#include <psapi.h> // after <windows.h>, which the driver brings

static const char INSTALL_DIR[] = "C:\\Program files\\Quillary";

// Each run ends with the shortcut page's Finish: its shell window, group and entries are undone.
static void undoInstallation() {
    installed::closeShellWindows();
    driver::removeTree(installed::shellFolder("Common Programs") + "\\Quillary");
    installed::deleteProductEntries();
    driver::removeTree(INSTALL_DIR);
}

// Median, smallest and largest of a set of figures.
struct Spread {
    double median, low, high;
};

static Spread spreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

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

// The copy page of runs installations, each over the one before (the shell window each opens is
// closed first). False, after saying why, when a run does not end with the success message.
static bool reinstallCopyTimes(const char *installer, int runs, std::vector<double> *times) {
    for (int i = 0; i < runs; i++) {
        installed::closeShellWindows();
        driver::RunRecord run;
        try {
            run = driver::runInstaller(installer);
        } catch (const driver::DriverError &error) {
            run.failure = error.what();
        }
        if (!run.failure.empty() || run.copySeconds < 0 || run.successSeconds < 0) {
            fprintf(stderr, "copy_page: reinstallation %d failed: %s\n", i + 1,
                    run.failure.empty() ? "the copy page or the success message was not seen"
                                        : run.failure.c_str());
            return false;
        }
        printf("reinstallation %d: copy page %.3f s to the next step\n", i + 1, run.copySeconds);
        fflush(stdout);
        times->push_back(run.copySeconds);
    }
    return true;
}

int main(int argc, char **argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    const char *installer = getenv("QUILLARY_INSTALLER");
    if (installer == NULL || runs < 1) {
        fprintf(stderr, "copy_page: QUILLARY_INSTALLER not set, or no runs asked for\n");
        return 2;
    }
    std::vector<double> copyTimes, wholeTimes, workingSets, privateBytes;
    for (int i = 0; i < runs; i++) {
        undoInstallation();
        driver::RunRecord run;
        try {
            run = driver::runInstaller(installer);
        } catch (const driver::DriverError &error) {
            run.failure = error.what();
        }
        const char *missing = missingFigure(run);
        if (!run.failure.empty() || missing != NULL) {
            fprintf(stderr, "copy_page: run %d failed: %s\n", i + 1,
                    run.failure.empty() ? (std::string(missing) + " was not seen").c_str()
                                        : run.failure.c_str());
            undoInstallation();
            return 1;
        }
        printf("run %d: copy page %.3f s to the next step (the page itself gone after %.3f s); "
               "success message after %.3f s; peak working set %.1f MB, private %.1f MB\n",
               i + 1, run.copySeconds, run.copyPageSeconds, run.successSeconds,
               megabytes(run.peakWorkingSet), megabytes(run.peakPrivateBytes));
        fflush(stdout);
        copyTimes.push_back(run.copySeconds);
        wholeTimes.push_back(run.successSeconds);
        workingSets.push_back(megabytes(run.peakWorkingSet));
        privateBytes.push_back(megabytes(run.peakPrivateBytes));
    }
    std::vector<double> reinstallTimes;
    if (!reinstallCopyTimes(installer, runs, &reinstallTimes)) {
        undoInstallation();
        return 1;
    }
    undoInstallation();

    Spread copy = spreadOf(copyTimes), whole = spreadOf(wholeTimes);
    Spread working = spreadOf(workingSets), owned = spreadOf(privateBytes);
    printf("copy page under Wine: median %.3f s of %d runs (min %.3f, max %.3f), target < 0.5 s\n",
           copy.median, runs, copy.low, copy.high);
    Spread reinstall = spreadOf(reinstallTimes);
    printf("reinstallation copy page under Wine: median %.3f s of %d runs (min %.3f, max %.3f)\n",
           reinstall.median, runs, reinstall.low, reinstall.high);
    printf("whole installation under Wine: median %.3f s of %d runs (min %.3f, max %.3f)\n",
           whole.median, runs, whole.low, whole.high);
    printf("installer peak working set to the end of the copy: median %.1f MB of %d runs "
           "(min %.1f, max %.1f)\n",
           working.median, runs, working.low, working.high);
    printf("installer private bytes during the copy, highest sampled: median %.1f MB of %d runs "
           "(min %.1f, max %.1f)\n",
           owned.median, runs, owned.low, owned.high);
    PROCESS_MEMORY_COUNTERS idle;
    if (!idleProgramMemory(&idle)) {
        fprintf(stderr, "copy_page: the idle notepad could not be measured\n");
        return 1;
    }
    HDC screen = GetDC(NULL);
    printf("screen %dx%d at %d bits\n", GetDeviceCaps(screen, HORZRES),
           GetDeviceCaps(screen, VERTRES), GetDeviceCaps(screen, BITSPIXEL));
    ReleaseDC(NULL, screen);
    printf("idle Wine GUI program (notepad): working set %.1f MB, private %.1f MB\n",
           megabytes(idle.WorkingSetSize), megabytes(idle.PagefileUsage));
    return 0;
}
