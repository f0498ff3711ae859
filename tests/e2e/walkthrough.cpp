// The default walk-through of `make run` without a screen: puts a desktop picture up (the
// virtual screen has none, and the installer shows a darkened picture of the desktop), presses
// the buttons a first-time user presses, page by page, saves a picture of each new window and
// says what it did.
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

static const uint32_t PAGE_FRAME_BLUE = 0x2878FF; // the page picture's frame, at (8, 8)
static const uint32_t COPY_PAGE_TEXT_ID = IDC_COPY_STATUS;

static int shotCount = 0;

// A desktop as a user may have it: a blue sky fading to the horizon over green hills, and a
// column of icons at the left.
static uint32_t desktopPicture(int x, int y) {
    static const SIZE size = screenSize();
    if (x >= 20 && x < 52 && y >= 20 && (y - 20) % 70 < 32 && y < 20 + 5 * 70) {
        static const uint32_t icons[5] = {0xF0C040, 0xFFFFFF, 0x40A0E0, 0xE05050, 0x70D070};
        return icons[(y - 20) / 70];
    }
    int horizon = size.cy * 2 / 3 + (int)(30 * ((x * 7 / (size.cx + 1)) % 2 ? 1 : -1));
    if (y > horizon) {
        int shade = 120 - 60 * (y - horizon) / (size.cy - horizon + 1);
        return (uint32_t)(30 << 16 | (shade + 40) << 8 | 30);
    }
    int t = 255 * y / (horizon + 1);
    return (uint32_t)((40 + t / 2) << 16 | (90 + t / 3) << 8 | 200);
}

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

// Waits (a little) until a new dialog shows what it is: a page its picture's frame, a message box
// its icon. The picture is taken either way.
static void waitUntilPainted(const Window &w) {
    if (looksLikeMessageBox(w)) {
        MessageBox(w.handle()).icon(); // waits for the icon
        return;
    }
    waitFor(
        [&] {
            RECT r = w.rect();
            RECT corner = {r.left + 8, r.top + 8, r.left + 9, r.top + 9};
            Capture shot = captureRect(corner);
            return !w.visible() || (shot.width == 1 && shot.pixel(0, 0) == PAGE_FRAME_BLUE);
        },
        2000);
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
    if (w.hasControl(IDC_PROGRESS_STRIP) && w.hasControl(COPY_PAGE_TEXT_ID)) {
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
        // The desktop must be on the screen when the installer takes its picture, and gone once
        // the installer's first page is up (it stays on top of everything while it lives).
        KnownDesktop desktop(desktopPicture);
        Installer app = Installer::start(argv[1]);
        printf("started %s\n", argv[1]);
        app.waitForWindow(hasClass("#32770"), STEP_TIMEOUT_MS);
        desktop.close();
        std::set<HWND> seen;
        DWORD idleSince = GetTickCount();
        while (app.running()) {
            bool acted = false;
            for (const Window &w : app.windows()) {
                if (w.className() != "#32770" || seen.count(w.handle()))
                    continue;
                seen.insert(w.handle());
                waitUntilPainted(w);
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
            Sleep(5); // the copy page may be up for less than a second
        }
        DWORD code = app.waitForExit(STEP_TIMEOUT_MS);
        printf("the installer ended with exit code %lu\n", (unsigned long)code);
        return 0;
    } catch (const DriverError &error) {
        printf("walk-through stopped: %s\n", error.what());
        return 1;
    }
}
