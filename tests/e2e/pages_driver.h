// Shared steps of the page scenarios: start the installer, find and reach a page, follow the
// focus, check a message box, and the colours of the page picture.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/installer_driver.h"
#include "support/installer_run.h"

namespace pages {

using driver::BoxIcon;
using driver::Installer;
using driver::MessageBox;
using driver::Window;

const char INSTALL_DIR[] = "C:\\Program files\\Quillary";
const char SUCCESS_TEXT[] = "Quillary was successfully installed";
const int RECORD_COUNT = 129; // the sample product's files
const char CAPTION[] = "Quillary - Setup";
const char CANCEL_QUESTION[] = "Are you sure you want to cancel the setup?";
const char CANCEL_MESSAGE[] =
    "Setup was canceled. Any notes or errors you can send on my email: setup@quillary.example";

// Colours of the page picture as drawn by tools/make_page_picture.py.
const uint32_t FRAME_BLUE = 0x2878FF;
const uint32_t FRAME_HIGHLIGHT = 0xA0D2FF;
const uint32_t FRAME_SHADOW = 0x0032A0;
const uint32_t PANEL_BLUE = 0x000088;
const uint32_t TITLE_RED = 0xEB1414;

inline driver::WindowMatch agreementPage() {
    return driver::hasControls({IDOK, IDCANCEL, IDC_AGREEMENT_TEXT});
}
inline driver::WindowMatch destinationPage() {
    return driver::hasControls({IDOK, IDCANCEL, IDC_BROWSE, IDC_INSTALL_DIR});
}

inline driver::WindowMatch directoryBrowser() {
    return driver::hasControls({IDOK, IDCANCEL, IDC_FOLDER_NAME, IDC_DRIVE_BOX, IDC_DIRECTORY_LIST,
                                IDC_BROWSE_PATH, IDC_SPACE_LABEL});
}
inline driver::WindowMatch shortcutPage() {
    return driver::hasControls(
        {IDOK, IDCANCEL, IDC_BROWSE, IDC_SHORTCUT_PATH, IDC_DESKTOP_SHORTCUT});
}

// Waits for the focus to reach the control (after a key, or once a message box has gone).
inline void expectFocusOn(const Window &window, int id) {
    driver::waitFor([&] { return window.focusedControl() == window.control(id); }, 3000);
    EXPECT_EQ(window.focusedControl(), window.control(id)) << "focus on control " << id;
}

inline Installer startInstaller() {
    return Installer::start(driver::environment("QUILLARY_INSTALLER"));
}

inline Window reachDestination(const Installer &installer) {
    Window agreement = installer.waitForWindow(agreementPage());
    agreement.press(IDOK);
    return installer.waitForWindow(destinationPage());
}

// Checks a message box's text, caption, icon and buttons.
inline void expectBox(const MessageBox &box, const std::string &text, BoxIcon icon,
                      std::vector<int> buttons) {
    EXPECT_EQ(box.text(), text);
    EXPECT_EQ(box.caption(), CAPTION);
    EXPECT_EQ(driver::boxIconName(box.icon()), driver::boxIconName(icon));
    EXPECT_EQ(box.buttons(), buttons);
}

// Answers the closing cancel message and expects the process to end with code 1 (cancelled).
inline void expectCancelEnding(const Installer &installer) {
    MessageBox closing = installer.waitForMessageBox();
    driver::waitFor([&] { return !closing.text().empty(); }, 5000);
    EXPECT_EQ(closing.text(), CANCEL_MESSAGE);
    closing.answer(IDOK);
    EXPECT_EQ(installer.waitForExit(), 1u);
}

// Free bytes of a drive as the system reports them, 0 when it cannot be asked.
inline unsigned long long freeBytes(const char *root) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(root, &available, &total, &free))
        return 0;
    return free.QuadPart;
}

// Where the page picture, unscaled at the page's top-left, differs from what it should show:
// frame bevels, the flat frame, the dark panel, and (when the title is not covered) an edge of
// the red title's first letter. Empty when it shows as it should.
inline std::string pagePictureDifferences(const Window &page, bool titleVisible) {
    RECT r = page.rect();
    if (r.right - r.left < 556 || r.bottom - r.top < 384)
        return "page smaller than the 556x384 picture";
    driver::Capture shot = driver::captureRect(r);
    struct {
        int x, y;
        uint32_t colour;
    } points[] = {
        {1, 200, FRAME_HIGHLIGHT},
        {200, 1, FRAME_HIGHLIGHT},
        {554, 20, FRAME_SHADOW},
        {8, 8, FRAME_BLUE},
        {547, 375, FRAME_BLUE},
        {14, 200, FRAME_SHADOW},
        {541, 20, FRAME_HIGHLIGHT},
        {20, 20, PANEL_BLUE},
        {535, 20, PANEL_BLUE},
        {20, 300, PANEL_BLUE},
        // The title's "Q" is 8-pixel squares from (90, 44): its top bar starts one square in.
        {99, 47, TITLE_RED},
        {93, 47, PANEL_BLUE},
        {93, 57, TITLE_RED},
    };
    std::string differences;
    for (const auto &p : points) {
        if (!titleVisible && p.x >= 90 && p.x < 100 && p.y >= 44 && p.y < 60)
            continue;
        if (shot.pixel(p.x, p.y) != p.colour) {
            char line[96];
            snprintf(line, sizeof line, "(%d, %d) is %06X, expected %06X\n", p.x, p.y,
                     shot.pixel(p.x, p.y), p.colour);
            differences += line;
        }
    }
    return differences;
}

// Expects the page picture on screen, once the page has painted it.
inline void expectPagePicture(const Window &page, bool titleVisible) {
    std::string differences;
    driver::waitFor(
        [&] {
            differences = pagePictureDifferences(page, titleVisible);
            return differences.empty();
        },
        5000);
    EXPECT_EQ(differences, "") << "the page picture differs";
}

} // namespace pages
