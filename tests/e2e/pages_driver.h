// Shared steps of the agreement and destination page scenarios: start the installer, reach a
// page, check a message box, and the colours of the page picture.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

#include "copy_driver.h"
#include "resources/resource.h"
#include "support/installer_driver.h"

namespace pages {

using driver::BoxIcon;
using driver::Installer;
using driver::MessageBox;
using driver::Window;

const char INSTALL_DIR[] = "C:\\Program files\\Quillary";
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

// Answers the closing cancel message and expects the process to end with code 0.
inline void expectCancelEnding(const Installer &installer) {
    MessageBox closing = installer.waitForMessageBox();
    driver::waitFor([&] { return !closing.text().empty(); }, 5000);
    EXPECT_EQ(closing.text(), CANCEL_MESSAGE);
    closing.answer(IDOK);
    EXPECT_EQ(installer.waitForExit(), 0u);
}

// Free bytes of a drive as the system reports them, 0 when it cannot be asked.
inline unsigned long long freeBytes(const char *root) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(root, &available, &total, &free))
        return 0;
    return free.QuadPart;
}

// Expects the page picture unscaled at the page's top-left: frame bevels, the flat frame, the
// dark panel, and (when the title is not covered) an edge of the red title's first letter.
inline void expectPagePicture(const Window &page, bool titleVisible) {
    RECT r = page.rect();
    ASSERT_GE(r.right - r.left, 556) << "page narrower than the picture";
    ASSERT_GE(r.bottom - r.top, 384) << "page lower than the picture";
    driver::Capture shot = driver::captureRect(r);
    struct {
        int x, y;
        uint32_t colour;
    } points[] = {
        {1, 200, FRAME_HIGHLIGHT},  {200, 1, FRAME_HIGHLIGHT}, {554, 20, FRAME_SHADOW},
        {8, 8, FRAME_BLUE},         {547, 375, FRAME_BLUE},    {14, 200, FRAME_SHADOW},
        {541, 20, FRAME_HIGHLIGHT}, {20, 20, PANEL_BLUE},      {535, 20, PANEL_BLUE},
        {20, 300, PANEL_BLUE},
    };
    for (const auto &p : points)
        EXPECT_EQ(shot.pixel(p.x, p.y), p.colour) << "picture point " << p.x << "," << p.y;
    if (titleVisible) {
        // The title's "Q" is 8-pixel squares from (90, 44): its top bar starts one square in.
        EXPECT_EQ(shot.pixel(99, 47), TITLE_RED);
        EXPECT_EQ(shot.pixel(93, 47), PANEL_BLUE);
        EXPECT_EQ(shot.pixel(93, 57), TITLE_RED);
    }
}

} // namespace pages
