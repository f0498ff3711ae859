// The cancel road end to end: the user backs out on the first page, confirms, reads the closing
// message and the installer ends with exit code 1. Also the driving library's own checks: keys reach the
// dialogs, icons are told apart, the screen reads back what a window painted.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include "installer_driver.h"
#include "resources/resource.h"

using namespace driver;

static const char CAPTION[] = "Quillary - Setup";
static const char CANCEL_QUESTION[] = "Are you sure you want to cancel the setup?";
static const char CANCEL_MESSAGE[] =
    "Setup was canceled. Any notes or errors you can send on my email: setup@quillary.example";

// The closing message every cancel ends with: exclamation icon, one OK, then exit code 1.
static void expectCancelMessageAndExit(Installer &app, bool answerWithEnter) {
    MessageBox box = app.waitForMessageBox();
    EXPECT_EQ(box.caption(), CAPTION);
    EXPECT_EQ(box.text(), CANCEL_MESSAGE);
    EXPECT_EQ(boxIconName(box.icon()), std::string("exclamation"));
    EXPECT_EQ(box.buttons(), std::vector<int>{IDOK});
    if (answerWithEnter) {
        box.pressEnter();
        box.waitUntilGone();
    } else {
        box.answer(IDOK);
    }
    EXPECT_EQ(app.waitForExit(), 1u);
}

TEST(Cancel, CancelOnTheAgreementPageConfirmedEndsWithTheCancelMessage) {
    Installer app = Installer::start(Installer::pathFromEnvironment());
    Window page = app.waitForWindow(hasControl(IDC_AGREEMENT_TEXT), 20000);
    page.press(IDCANCEL);

    MessageBox question = app.waitForMessageBox();
    EXPECT_EQ(question.caption(), CAPTION);
    EXPECT_EQ(question.text(), CANCEL_QUESTION);
    EXPECT_EQ(boxIconName(question.icon()), std::string("question"));
    EXPECT_EQ(question.buttons(), (std::vector<int>{IDYES, IDNO}));
    question.answer(IDYES);

    page.waitUntilGone();
    expectCancelMessageAndExit(app, false);
}

TEST(Cancel, KeyboardAloneEscapeNoThenEscapeEnter) {
    Installer app = Installer::start(Installer::pathFromEnvironment());
    Window page = app.waitForWindow(hasControl(IDC_AGREEMENT_TEXT), 20000);

    // Esc asks; No keeps the page.
    page.pressEscape();
    MessageBox question = app.waitForMessageBox();
    EXPECT_EQ(question.text(), CANCEL_QUESTION);
    question.answer(IDNO);
    EXPECT_TRUE(page.visible());
    EXPECT_TRUE(app.running());

    // Esc asks again; Enter takes the box's default button, Yes.
    page.pressEscape();
    MessageBox again = app.waitForMessageBox();
    again.pressEnter();
    again.waitUntilGone();
    expectCancelMessageAndExit(app, true);
}

TEST(Driver, WaitingForAMissingWindowNamesWhatWasOnScreen) {
    Installer app = Installer::start(Installer::pathFromEnvironment());
    app.waitForWindow(hasControl(IDC_AGREEMENT_TEXT), 20000);
    try {
        app.waitForWindow(hasControl(4321), 300);
        FAIL() << "no window has control 4321";
    } catch (const DriverError &error) {
        std::string text = error.what();
        EXPECT_NE(text.find("control 4321"), std::string::npos) << text;
        EXPECT_NE(text.find("[151 Edit"), std::string::npos) << text;
    }
    app.kill();
    EXPECT_FALSE(app.running());
}

TEST(Driver, ScreenCaptureReadsBackTheKnownDesktop) {
    KnownDesktop desktop(KnownDesktop::stripes);
    Capture screen = captureScreen();
    SIZE size = screenSize();
    ASSERT_EQ(screen.width, size.cx);
    ASSERT_EQ(screen.height, size.cy);
    int wrong = 0;
    for (int y = 0; y < screen.height; y += 7) {
        for (int x = 0; x < screen.width; x += 7)
            wrong += screen.pixel(x, y) != desktop.expected(x, y);
    }
    EXPECT_EQ(wrong, 0);

    // The BMP holds the same pixels, bottom row first.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + "driver-capture.bmp";
    ASSERT_TRUE(screen.saveBmp(path));
    FILE *file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    BITMAPFILEHEADER header;
    BITMAPINFOHEADER info;
    ASSERT_EQ(fread(&header, sizeof header, 1, file), 1u);
    ASSERT_EQ(fread(&info, sizeof info, 1, file), 1u);
    EXPECT_EQ(header.bfType, 0x4D42);
    EXPECT_EQ(info.biWidth, screen.width);
    EXPECT_EQ(info.biHeight, screen.height);
    uint32_t bottomLeft = 0;
    ASSERT_EQ(fread(&bottomLeft, 4, 1, file), 1u);
    fclose(file);
    DeleteFileA(path.c_str());
    EXPECT_EQ(bottomLeft & 0xFFFFFF, desktop.expected(0, screen.height - 1));
}
