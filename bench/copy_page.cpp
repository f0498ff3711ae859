// Installer benchmark under Wine, over several default installations with the carried payload,
// driven as a user would: the copy page (from the page appearing to the next step of the wizard
// appearing: the next page, or the closing message), the whole installation (from the installer
// started to the success message shown) and the installer's memory during the copy (private
// bytes, and the peak working set), beside the memory of an idle Wine GUI program (the runtime's
// floor). Prints each run, then medians with their spread.
//
// usage: copy_page.exe [runs]   (the installer is QUILLARY_INSTALLER, as the Wine bench sets it)
//
// On a screen without a window manager (Xvfb) Wine waits up to 2 s for a manager that never
// answers each time a managed top-level window is hidden, which would add 2 s to every page
// change. For the duration of the runs the installer's windows are made unmanaged (Wine's
// per-program "Managed" = "N"), as they behave on a desktop whose manager answers at once.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "copy_driver.h"
#include "support/installed_system.h"

static const char INSTALL_DIR[] = "C:\\Program files\\Quillary";

// Each run ends with the shortcut page's Finish: its shell window, group and entries are undone.
static void undoInstallation() {
    installed::closeShellWindows();
    copydriver::removeTree(installed::shellFolder("Common Programs") + "\\Quillary");
    installed::deleteProductEntries();
    copydriver::removeTree(INSTALL_DIR);
}
static const char APP_KEY[] = "Software\\Wine\\AppDefaults\\Quillary-Setup.exe";
static const char X11_KEY[] = "Software\\Wine\\AppDefaults\\Quillary-Setup.exe\\X11 Driver";

// Makes the installer's windows unmanaged; returns whether the program key was made here.
static bool unmanageInstallerWindows() {
    HKEY key;
    bool existed = RegOpenKeyExA(HKEY_CURRENT_USER, APP_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (existed)
        RegCloseKey(key);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, X11_KEY, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, "Managed", 0, REG_SZ, (const BYTE *)"N", 2);
        RegCloseKey(key);
    }
    return !existed;
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

static void restoreInstallerWindows(bool madeHere) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, X11_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Managed");
        RegCloseKey(key);
    }
    if (madeHere) {
        RegDeleteKeyA(HKEY_CURRENT_USER, X11_KEY);
        RegDeleteKeyA(HKEY_CURRENT_USER, APP_KEY);
    }
}

int main(int argc, char **argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    const char *installer = getenv("QUILLARY_INSTALLER");
    if (installer == NULL || runs < 1) {
        fprintf(stderr, "copy_page: QUILLARY_INSTALLER not set, or no runs asked for\n");
        return 2;
    }
    bool madeHere = unmanageInstallerWindows();
    std::vector<double> copyTimes, wholeTimes, workingSets, privateBytes;
    for (int i = 0; i < runs; i++) {
        undoInstallation();
        copydriver::RunRecord run = copydriver::runInstaller(installer, copydriver::LET_IT_RUN);
        const char *missing = run.copySeconds < 0       ? "the copy page or what follows it"
                              : run.successSeconds < 0  ? "the success message"
                              : run.peakWorkingSet == 0 ? "the installer's memory figures"
                                                        : NULL;
        if (!run.failure.empty() || missing != NULL) {
            fprintf(stderr, "copy_page: run %d failed: %s\n", i + 1,
                    run.failure.empty() ? (std::string(missing) + " was not seen").c_str()
                                        : run.failure.c_str());
            undoInstallation();
            restoreInstallerWindows(madeHere);
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
    undoInstallation();
    restoreInstallerWindows(madeHere);

    Spread copy = spreadOf(copyTimes), whole = spreadOf(wholeTimes);
    Spread working = spreadOf(workingSets), owned = spreadOf(privateBytes);
    printf("copy page under Wine: median %.3f s of %d runs (min %.3f, max %.3f), target < 0.5 s\n",
           copy.median, runs, copy.low, copy.high);
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
