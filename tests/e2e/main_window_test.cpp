// The main window over a known desktop: full-screen borderless popup, checkerboard backdrop,
// two-colour title; and the ways the installer ends (close, exit command).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/installer_driver.h"

using namespace driver;

namespace {

const int AGREEMENT_TEXT = 151;
const uint32_t TITLE_SHADOW = 0x200040; // RGB(32, 0, 64)
const uint32_t TITLE_LIGHT = 0x40A0FF;  // RGB(64, 160, 255)
// The title lies inside this corner; its pixels are left out of the checkerboard check.
const RECT TITLE_AREA = {0, 0, 700, 110};

bool inside(const RECT &r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// The installer's own full-screen window, class "SETUP".
Window mainWindow(const Installer &app) { return app.waitForWindow(hasClass("SETUP")); }

// Waits until every 101st screen pixel outside the title and the page is what expected(x, y)
// says (or the time is up), and returns the whole screen as it then is.
Capture waitForScreen(const RECT &pageRect, const std::function<uint32_t(int, int)> &expected) {
    Capture screen;
    waitFor(
        [&] {
            screen = captureScreen();
            for (size_t i = 0; i < screen.pixels.size(); i += 101) {
                int x = (int)(i % screen.width), y = (int)(i / screen.width);
                if (!inside(TITLE_AREA, x, y) && !inside(pageRect, x, y) &&
                    screen.pixel(x, y) != expected(x, y))
                    return false;
            }
            return true;
        },
        10000);
    return screen;
}

// The whole backdrop over the known desktop: the window, every pixel outside the title and the
// page (black where the checkerboard darkens it, the desktop elsewhere), and the title.
void expectCheckeredBackdrop() {
    KnownDesktop desktop(KnownDesktop::stripes);
    Installer app = Installer::start(Installer::pathFromEnvironment());
    Window page = app.waitForWindow(hasControl(AGREEMENT_TEXT), 20000);
    Window main = mainWindow(app);
    SIZE size = screenSize();
    // Stored row 0 of the backdrop is the bottom screen row: the parity counts from there.
    auto backdrop = [&](int x, int y) {
        return (x % 2 == (size.cy - 1 - y) % 2) ? 0u : desktop.expected(x, y);
    };
    // The capture was taken while the main window was created; now let the installer be seen.
    desktop.close();
    Capture screen = waitForScreen(page.rect(), backdrop);

    RECT rect = main.rect();
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, size.cx);
    EXPECT_EQ(rect.bottom, size.cy);
    LONG style = GetWindowLongA(main.handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION) << "no title bar";
    EXPECT_FALSE(style & (WS_BORDER | WS_THICKFRAME | WS_DLGFRAME)) << "no border";
    EXPECT_EQ(GetMenu(main.handle()), (HMENU)NULL);
    EXPECT_EQ(main.title(), "SETUP");

    ASSERT_EQ(screen.width, size.cx);
    ASSERT_EQ(screen.height, size.cy);
    RECT pageRect = page.rect();
    long black = 0, kept = 0, wrong = 0;
    std::string firstWrong;
    for (int y = 0; y < screen.height; y++) {
        for (int x = 0; x < screen.width; x++) {
            if (inside(TITLE_AREA, x, y) || inside(pageRect, x, y))
                continue;
            uint32_t expected = backdrop(x, y);
            if (screen.pixel(x, y) == expected) {
                (expected == 0 ? black : kept)++;
            } else if (wrong++ == 0) {
                char text[128];
                snprintf(text, sizeof(text), "(%d, %d) is %06X, expected %06X", x, y,
                         screen.pixel(x, y), expected);
                firstWrong = text;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "first wrong pixel " << firstWrong;
    EXPECT_GT(black, 1000);
    EXPECT_GT(kept, 1000);

    long shadow = 0, light = 0;
    for (int y = TITLE_AREA.top; y < TITLE_AREA.bottom; y++)
        for (int x = TITLE_AREA.left; x < TITLE_AREA.right; x++) {
            shadow += screen.pixel(x, y) == TITLE_SHADOW;
            light += screen.pixel(x, y) == TITLE_LIGHT;
        }
    EXPECT_GT(light, 500) << "the light title pass RGB(64, 160, 255)";
    EXPECT_GT(shadow, 50) << "the dark title pass RGB(32, 0, 64) showing beside the light one";
    // Nothing of the title outside its corner: the first pass starts at (10, 10).
    EXPECT_NE(screen.pixel(5, 5), TITLE_LIGHT);

    if (::testing::Test::HasFailure())
        screen.saveBmp(buildPath("backdrop-failure.bmp"));
    app.kill();
}

} // namespace

TEST(Backdrop, ShowsTheDesktopCheckeredAndTitledOverTheWholeScreen) { expectCheckeredBackdrop(); }

// Run by ctest on a screen of odd height, where the bottom row's parity differs from the top's.
TEST(BackdropOnOddScreen, ShowsTheDesktopCheckeredFromTheBottomRow) {
    SIZE size = screenSize();
    ASSERT_EQ(size.cy % 2, 1) << "needs a screen of odd height; this one is " << size.cx << "x"
                              << size.cy << " (run through ctest -R e2e.odd-screen)";
    expectCheckeredBackdrop();
}

// Closing the main window under the first page is the user backing out: exit code 1.
TEST(MainWindow, CloseMessageEndsTheInstallerAsACancel) {
    Installer app = Installer::start(Installer::pathFromEnvironment());
    app.waitForWindow(hasControl(AGREEMENT_TEXT), 20000);
    PostMessageA(mainWindow(app).handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(app.waitForExit(20000), 1u);
}

TEST(MainWindow, PostedExitCommandEndsTheInstallerAsACancel) {
    Installer app = Installer::start(Installer::pathFromEnvironment());
    app.waitForWindow(hasControl(AGREEMENT_TEXT), 20000);
    PostMessageA(mainWindow(app).handle(), WM_COMMAND, 300, 0);
    EXPECT_EQ(app.waitForExit(20000), 1u);
}

// Run by ctest on an 8-bit screen: the backdrop is the desktop as captured, not darkened, and
// its palette keeps the colours.
TEST(BackdropOnPaletteScreen, ShowsTheDesktopUndarkened) {
    HDC screenDC = GetDC(NULL);
    int bits = GetDeviceCaps(screenDC, BITSPIXEL);
    ReleaseDC(NULL, screenDC);
    ASSERT_LE(bits, 8) << "needs a screen of 8 bits per pixel or fewer; this one has " << bits
                       << " (run through ctest -R e2e.palette-screen)";

    KnownDesktop desktop(KnownDesktop::stripes);
    Capture before = captureScreen();
    Installer app = Installer::start(Installer::pathFromEnvironment());
    Window page = app.waitForWindow(hasControl(AGREEMENT_TEXT), 20000);
    desktop.close();
    Capture after = waitForScreen(page.rect(), [&](int x, int y) { return before.pixel(x, y); });
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);

    RECT pageRect = page.rect();
    long same = 0, different = 0;
    for (int y = 0; y < after.height; y++)
        for (int x = 0; x < after.width; x++) {
            if (inside(TITLE_AREA, x, y) || inside(pageRect, x, y))
                continue;
            (after.pixel(x, y) == before.pixel(x, y) ? same : different)++;
        }
    EXPECT_EQ(different, 0) << "pixels that changed outside the title and the page";
    EXPECT_GT(same, 100000);
    app.kill();
}
