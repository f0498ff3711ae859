// The main window's creation (screen size, start directory) and the 8-bit backdrop palette,
// run in-process against Wine's real window manager and GDI.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "backdrop/backdrop.h"
#include "common/setup_state.h"
#include "shell/main_window.h"

namespace {

const char TEST_CLASS[] = "SetupUnderTest";

// Creates a main window exactly as the entry point does, then destroys it without letting the
// queued start-wizard command run.
struct MainWindowRun {
    HWND window = NULL;
    RECT rect = {};
    explicit MainWindowRun() {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA windowClass = {};
            windowClass.style = CS_HREDRAW | CS_VREDRAW;
            windowClass.lpfnWndProc = MainWindowProc;
            windowClass.hInstance = GetModuleHandleA(NULL);
            windowClass.lpszClassName = TEST_CLASS;
            registered = RegisterClassA(&windowClass) != 0;
        }
        window = CreateWindowExA(0, TEST_CLASS, TEST_CLASS, WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, NULL,
                                 NULL, GetModuleHandleA(NULL), NULL);
        GetWindowRect(window, &rect);
    }
    ~MainWindowRun() {
        // Only posted messages are drained: WM_PAINT would come back for ever.
        MSG msg;
        while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        }
        DestroyWindow(window);
        while (PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    // The start-wizard command must be waiting in the queue after creation.
    bool startCommandQueued() {
        MSG msg;
        return PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) &&
               msg.wParam == CMD_START_WIZARD && msg.lParam == 0;
    }
};

std::string currentDirectory() {
    char buffer[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(buffer), buffer);
    return buffer;
}

} // namespace

TEST(MainWindowCreate, CoversTheScreenAndQueuesTheWizard) {
    MainWindowRun run;
    ASSERT_NE(run.window, (HWND)NULL);
    EXPECT_EQ(setup.screenWidth, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(setup.screenHeight, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(run.rect.left, 0);
    EXPECT_EQ(run.rect.top, 0);
    EXPECT_EQ(run.rect.right, setup.screenWidth);
    EXPECT_EQ(run.rect.bottom, setup.screenHeight);
    EXPECT_NE(setup.titleFont, (HFONT)NULL);
    EXPECT_NE(setup.backdropImage, (HBITMAP)NULL);
    EXPECT_TRUE(run.startCommandQueued());
}

TEST(MainWindowCreate, StartDirKeepsThePathAsReportedAndDropsARootsBackslash) {
    char windowsDir[MAX_PATH];
    GetWindowsDirectoryA(windowsDir, sizeof(windowsDir));
    std::string saved = currentDirectory();
    struct {
        std::string directory;
        std::string expected;
    } cases[] = {
        {"C:\\", "C:"},
        {windowsDir, windowsDir},
        // The system reports the name as typed, whatever the case on disk.
        {"C:\\Program files", "C:\\Program files"},
        {std::string(windowsDir) + "\\system32", std::string(windowsDir) + "\\system32"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(SetCurrentDirectoryA(c.directory.c_str())) << c.directory;
        std::string reported = currentDirectory();
        memset(setup.startDir, 'x', sizeof(setup.startDir));
        MainWindowRun run;
        EXPECT_STREQ(setup.startDir, c.expected.c_str()) << "started in " << c.directory;
        if (c.expected.size() > 3)
            EXPECT_EQ(reported, std::string(setup.startDir));
        // The rest of the buffer is cleared, not left with old contents.
        EXPECT_EQ(setup.startDir[sizeof(setup.startDir) - 1], '\0');
    }
    SetCurrentDirectoryA(saved.c_str());
}

TEST(BackdropPalette, EveryEntryTakesItsColourTableEntryWithNoCollapse) {
    RGBQUAD colors[PALETTE_SIZE];
    for (int i = 0; i < PALETTE_SIZE; i++) {
        colors[i].rgbBlue = (BYTE)i;
        colors[i].rgbGreen = (BYTE)(255 - i);
        colors[i].rgbRed = (BYTE)(i * 7 + 3);
        colors[i].rgbReserved = 0x55; // never copied into the palette
    }
    HPALETTE palette = createBackdropPalette(colors);
    ASSERT_NE(palette, (HPALETTE)NULL);
    PALETTEENTRY entries[PALETTE_SIZE] = {};
    ASSERT_EQ(GetPaletteEntries(palette, 0, PALETTE_SIZE, entries), (UINT)PALETTE_SIZE);
    for (int i = 0; i < PALETTE_SIZE; i++) {
        EXPECT_EQ(entries[i].peRed, colors[i].rgbRed) << "entry " << i;
        EXPECT_EQ(entries[i].peGreen, colors[i].rgbGreen) << "entry " << i;
        EXPECT_EQ(entries[i].peBlue, colors[i].rgbBlue) << "entry " << i;
        EXPECT_EQ(entries[i].peFlags, PC_NOCOLLAPSE) << "entry " << i;
    }
    DeleteObject(palette);
}

TEST(TitleFont, MakesTheTitleFontWithTheGivenFields) {
    HFONT font =
        createFont(TITLE_FONT_WEIGHT, 0, TITLE_FONT_HEIGHT, TITLE_FONT_CHARSET, TITLE_FONT_FACE);
    ASSERT_NE(font, (HFONT)NULL);
    LOGFONTA described = {};
    ASSERT_EQ(GetObjectA(font, sizeof(described), &described), (int)sizeof(described));
    EXPECT_EQ(described.lfHeight, 72);
    EXPECT_EQ(described.lfWidth, 0);
    EXPECT_EQ(described.lfWeight, 400);
    EXPECT_EQ(described.lfCharSet, 1);
    EXPECT_EQ(described.lfOutPrecision, OUT_STROKE_PRECIS);
    EXPECT_EQ(described.lfClipPrecision, CLIP_STROKE_PRECIS);
    EXPECT_EQ(described.lfQuality, DRAFT_QUALITY);
    EXPECT_EQ(described.lfPitchAndFamily, VARIABLE_PITCH | FF_SWISS);
    EXPECT_STREQ(described.lfFaceName, "Arial Black");
    DeleteObject(font);

    // A face too long for the 32-character field is cut to fit, never written past it.
    std::string longFace(60, 'A');
    HFONT cut = createFont(400, 0, 10, 1, longFace.c_str());
    ASSERT_NE(cut, (HFONT)NULL);
    ASSERT_EQ(GetObjectA(cut, sizeof(described), &described), (int)sizeof(described));
    EXPECT_EQ(strlen(described.lfFaceName), (size_t)LF_FACESIZE - 1);
    DeleteObject(cut);
    HFONT unnamed = createFont(400, 0, 10, 1, NULL);
    ASSERT_NE(unnamed, (HFONT)NULL);
    ASSERT_EQ(GetObjectA(unnamed, sizeof(described), &described), (int)sizeof(described));
    EXPECT_STREQ(described.lfFaceName, "");
    DeleteObject(unnamed);
}
