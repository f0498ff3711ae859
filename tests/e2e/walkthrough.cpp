// The default walk-through of `make run` without a screen: presses the buttons a first-time user
// presses, page by page, saves a picture of each new window and says what it did.
//
//   walkthrough.exe <installer> <output folder>
//
// Each page is told by its controls, so the walk goes on whichever pages the installer shows.
#include <windows.h>

#include <stdio.h>

#include <set>
#include <string>

#include "installer_driver.h"
#include "resources/resource.h"

using namespace driver;

// Pages other than message boxes are named after the control that tells them apart.
static const int COPY_PAGE_TIMEOUT_MS = 300000;
static const int STEP_TIMEOUT_MS = 30000;

static int shotCount = 0;

// Saves the screen as NN-name.bmp in the output folder and prints where.
static void screenshot(const std::string &folder, const std::string &name) {
    char file[MAX_PATH];
    snprintf(file, sizeof file, "%s\\%02d-%s.bmp", folder.c_str(), ++shotCount, name.c_str());
    if (captureScreen().saveBmp(file))
        printf("    screenshot %s\n", file);
    else
        printf("    could not write %s\n", file);
}

static bool hasFinishButton(const Window &w) {
    for (const ControlInfo &c : w.controls()) {
        if (c.className == "Button" && c.text == "Finish")
            return true;
    }
    return false;
}

// Handles one window the walk has not met before; returns false when it cannot tell what it is.
static void handleWindow(Installer &app, const Window &w, const std::string &folder) {
    if (looksLikeMessageBox(w)) {
        MessageBox box(w.handle());
        printf("message box '%s': %s [%s icon]\n", box.caption().c_str(), box.text().c_str(),
               boxIconName(box.icon()));
        screenshot(folder, "message");
        int answer = box.hasButton(IDYES) ? IDYES : IDOK;
        printf("    pressing %s\n", answer == IDYES ? "Yes" : "OK");
        box.answer(answer, STEP_TIMEOUT_MS);
        return;
    }
    if (w.hasControl(IDC_AGREEMENT_TEXT)) {
        printf("agreement page\n");
        screenshot(folder, "agreement");
        printf("    pressing '%s'\n", w.text(IDOK).c_str());
        w.press(IDOK);
        return;
    }
    if (w.hasControl(IDC_INSTALL_DIR) && w.hasControl(IDC_BROWSE) &&
        !w.hasControl(IDC_DESKTOP_SHORTCUT)) {
        printf("destination page: %s\n", w.text(IDC_INSTALL_DIR).c_str());
        screenshot(folder, "destination");
        printf("    pressing '%s'\n", w.text(IDOK).c_str());
        w.press(IDOK);
        return;
    }
    if (w.hasControl(IDC_PROGRESS_STRIP)) {
        printf("copy page\n");
        screenshot(folder, "copy");
        printf("    waiting for the copy to finish\n");
        w.waitUntilGone(COPY_PAGE_TIMEOUT_MS);
        return;
    }
    if (hasFinishButton(w)) {
        printf("shortcut page\n");
        screenshot(folder, "shortcuts");
        for (const ControlInfo &c : w.controls()) {
            if (c.className == "Button" && c.text == "Finish") {
                printf("    pressing 'Finish'\n");
                w.press(c.id);
                break;
            }
        }
        return;
    }
    if (w.className() == "#32770") {
        printf("a dialog this walk does not know:\n  %s\n", w.describe().c_str());
        screenshot(folder, "unknown");
    }
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: walkthrough <installer> <output folder>\n");
        return 2;
    }
    std::string folder = argv[2];
    try {
        Installer app = Installer::start(argv[1]);
        printf("started %s\n", argv[1]);
        std::set<HWND> seen;
        DWORD idleSince = GetTickCount();
        while (app.running()) {
            bool acted = false;
            for (const Window &w : app.windows()) {
                if (w.className() != "#32770" || seen.count(w.handle()))
                    continue;
                // Give a new dialog a moment to paint before the picture is taken.
                Sleep(300);
                seen.insert(w.handle());
                handleWindow(app, w, folder);
                acted = true;
                break;
            }
            if (acted) {
                idleSince = GetTickCount();
            } else if (GetTickCount() - idleSince > (DWORD)STEP_TIMEOUT_MS) {
                printf("nothing new on screen for %d s:\n%s", STEP_TIMEOUT_MS / 1000,
                       app.describeWindows().c_str());
                screenshot(folder, "stuck");
                app.kill();
                return 1;
            }
            Sleep(50);
        }
        DWORD code = app.waitForExit(STEP_TIMEOUT_MS);
        printf("the installer ended with exit code %lu\n", (unsigned long)code);
        return 0;
    } catch (const DriverError &error) {
        printf("walk-through stopped: %s\n", error.what());
        return 1;
    }
}
