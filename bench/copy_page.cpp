// Copy page benchmark under Wine: the time from the copy page appearing to the next step of the
// wizard appearing (the next page, or the closing message), over several full installer runs
// with the carried payload. Prints each run and the median.
//
// usage: copy_page.exe [runs]   (the installer is QUILLARY_INSTALLER, as the Wine bench sets it)
//
// The bench's prefix has Wine's "Managed" = "N": without a window manager (Xvfb) Wine would
// otherwise wait up to 2 s each time a top-level window is hidden, at every page change.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "installed_system.h"
#include "installer_run.h"

static const char INSTALL_DIR[] = "C:\\Program files\\Quillary";

// Each run ends with the shortcut page's Finish: its shell window, group and entries are undone.
static void undoInstallation() {
    installed::closeShellWindows();
    driver::removeTree(installed::shellFolder("Common Programs") + "\\Quillary");
    installed::deleteProductEntries();
    driver::removeTree(INSTALL_DIR);
}

int main(int argc, char **argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    const char *installer = getenv("QUILLARY_INSTALLER");
    if (installer == NULL || runs < 1) {
        fprintf(stderr, "copy_page: QUILLARY_INSTALLER not set, or no runs asked for\n");
        return 2;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        undoInstallation();
        driver::RunRecord run;
        try {
            run = driver::runInstaller(installer);
        } catch (const driver::DriverError &error) {
            run.failure = error.what();
        }
        if (!run.failure.empty() || run.copySeconds < 0) {
            fprintf(stderr, "copy_page: run %d failed: %s\n", i + 1,
                    run.failure.empty() ? "the copy page or what follows it was not seen"
                                        : run.failure.c_str());
            undoInstallation();
            return 1;
        }
        printf("copy page run %d: %.3f s to the next step (the page itself gone after %.3f s)\n",
               i + 1, run.copySeconds, run.copyPageSeconds);
        fflush(stdout);
        times.push_back(run.copySeconds);
    }
    undoInstallation();
    std::sort(times.begin(), times.end());
    double median = times.size() % 2 ? times[times.size() / 2]
                                     : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    printf("copy page under Wine: median %.3f s of %d runs (min %.3f, max %.3f), target < 0.5 s\n",
           median, runs, times.front(), times.back());
    return 0;
}
