// The progress strip painted into a real black-rectangle static control, read back pixel by pixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "payload/progress_bar.h"

namespace {

const int STRIP_WIDTH = 438;
const int STRIP_HEIGHT = 20;
const COLORREF BLUE = RGB(0, 0, 255);
const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF WHITE = RGB(255, 255, 255);

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A visible popup holding one SS_BLACKRECT static control, the strip's canvas on the copy page.
struct StripWindow {
    HWND frame = NULL;
    HWND strip = NULL;

    StripWindow() {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = DefWindowProcA;
            windowClass.hInstance = GetModuleHandleA(NULL);
            windowClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
            windowClass.lpszClassName = "ProgressStripTestFrame";
            RegisterClassA(&windowClass);
            registered = true;
        }
        frame = CreateWindowExA(WS_EX_TOPMOST, "ProgressStripTestFrame", "strip",
                                WS_POPUP | WS_VISIBLE, 20, 20, STRIP_WIDTH + 40, STRIP_HEIGHT + 40,
                                NULL, NULL, GetModuleHandleA(NULL), NULL);
        strip =
            CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 20, 20,
                            STRIP_WIDTH, STRIP_HEIGHT, frame, NULL, GetModuleHandleA(NULL), NULL);
        UpdateWindow(frame);
        pumpMessages();
    }
    ~StripWindow() { DestroyWindow(frame); }

    // The strip's pixels, row by row, copied out of its device context into a 32-bit DIB.
    std::vector<COLORREF> pixels() const {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = STRIP_WIDTH;
        info.bmiHeader.biHeight = -STRIP_HEIGHT; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void *bits = NULL;
        HDC dc = GetDC(strip);
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        HGDIOBJ kept = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, STRIP_WIDTH, STRIP_HEIGHT, dc, 0, 0, SRCCOPY);
        GdiFlush();
        std::vector<COLORREF> out(STRIP_WIDTH * STRIP_HEIGHT);
        const unsigned char *bytes = (const unsigned char *)bits;
        for (size_t i = 0; i < out.size(); i++) // blue, green, red, unused
            out[i] = RGB(bytes[4 * i + 2], bytes[4 * i + 1], bytes[4 * i]);
        SelectObject(memory, kept);
        DeleteObject(dib);
        DeleteDC(memory);
        ReleaseDC(strip, dc);
        return out;
    }
};

// White drawn over background, with the font's smoothing: an even mix of the two colours.
bool isWhiteOver(COLORREF p, COLORREF background) {
    int r = GetRValue(p), g = GetGValue(p), b = GetBValue(p);
    if (r == 0 || r != g)
        return false;
    return background == BLUE ? b == 255 : b == r;
}

// Bounding box of the digits' strong pixels (at least half white); empty when there are none.
struct Box {
    int left = STRIP_WIDTH, top = STRIP_HEIGHT, right = -1, bottom = -1;
};

Box digitBox(const std::vector<COLORREF> &pixels) {
    Box box;
    for (int y = 0; y < STRIP_HEIGHT; y++)
        for (int x = 0; x < STRIP_WIDTH; x++)
            if (GetRValue(pixels[y * STRIP_WIDTH + x]) >= 0x80 &&
                GetGValue(pixels[y * STRIP_WIDTH + x]) >= 0x80) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// Every pixel is blue left of fillEdge and black from it on, except the digits: white over either,
// and only inside the text's own extent as the strip measured it.
void expectFillAndRest(const std::vector<COLORREF> &pixels, int fillEdge) {
    RECT text = {0, 0, 0, 0};
    text.left = STRIP_WIDTH / 2 - progressBar.textSize.cx / 2;
    text.top = (STRIP_HEIGHT - progressBar.textSize.cy) / 2;
    text.right = text.left + progressBar.textSize.cx;
    text.bottom = text.top + progressBar.textSize.cy;
    int wrong = 0;
    for (int y = 0; y < STRIP_HEIGHT; y++)
        for (int x = 0; x < STRIP_WIDTH; x++) {
            COLORREF p = pixels[y * STRIP_WIDTH + x];
            COLORREF expected = x < fillEdge ? BLUE : BLACK;
            POINT point = {x, y};
            if (p == expected || (isWhiteOver(p, expected) && PtInRect(&text, point)))
                continue;
            if (wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << p << " over "
                              << expected;
        }
    EXPECT_EQ(wrong, 0) << "pixels of the wrong colour, fill edge " << fillEdge;
}

} // namespace

TEST(ProgressStrip, FirstStepPaintsAnEmptyBlackStrip) {
    StripWindow window;
    ProgressBarInit(window.strip, 129);
    ProgressBarStep();
    std::vector<COLORREF> pixels = window.pixels();
    ProgressBarDone();
    expectFillAndRest(pixels, 0);
    EXPECT_LT(digitBox(pixels).right, 0) << "no percentage before the first change";
}

TEST(ProgressStrip, HalfWayShowsBlueFillBlackRestAndCentredWhiteDigits) {
    StripWindow window;
    ProgressBarInit(window.strip, 129);
    for (int i = 0; i < 65; i++)
        ProgressBarStep();
    // 65 steps of 438/129 pixels: 217 pixels filled, 50 percent.
    ASSERT_EQ(progressBar.counter.fillEdge, 217);
    ASSERT_STREQ(progressBar.counter.text, "50");
    // A screen reader reads the percentage as the strip's text; setting it repaints nothing.
    char spoken[16] = "";
    GetWindowTextA(window.strip, spoken, sizeof spoken);
    EXPECT_STREQ(spoken, "50 %");
    RECT invalid;
    EXPECT_FALSE(GetUpdateRect(window.strip, &invalid, FALSE)) << "the strip was invalidated";
    std::vector<COLORREF> pixels = window.pixels();
    ProgressBarDone();

    expectFillAndRest(pixels, 217);
    Box digits = digitBox(pixels);
    ASSERT_GE(digits.right, digits.left) << "the digits must be drawn in white";
    // Centred in the strip both ways, within the slack of the font's side bearings.
    EXPECT_NEAR((digits.left + digits.right) / 2.0, STRIP_WIDTH / 2.0, 3.0);
    EXPECT_NEAR((digits.top + digits.bottom) / 2.0, STRIP_HEIGHT / 2.0, 4.0);
    EXPECT_LT(digits.right - digits.left, 40) << "two digits, not a longer text";
    // The digits straddle the fill edge: white over blue and over black alike.
    EXPECT_LT(digits.left, 217);
    EXPECT_GT(digits.right, 217);
}

TEST(ProgressStrip, FullRunFillsTheWholeWidthAndDoneGivesTheControlBack) {
    StripWindow window;
    std::vector<COLORREF> own = window.pixels();
    ProgressBarInit(window.strip, 129);
    for (int i = 0; i < 130; i++)
        ProgressBarStep();
    std::vector<COLORREF> full = window.pixels();
    expectFillAndRest(full, STRIP_WIDTH);
    Box digits = digitBox(full);
    EXPECT_NEAR((digits.left + digits.right) / 2.0, STRIP_WIDTH / 2.0, 3.0);
    EXPECT_GT(digits.right - digits.left, 10) << "three digits of \"100\"";

    ProgressBarDone();
    EXPECT_EQ(progressBar.dc, (HDC)NULL);
    EXPECT_EQ(progressBar.fillBrush, (HBRUSH)NULL);
    pumpMessages(); // the invalidated control repaints itself
    std::vector<COLORREF> after = window.pixels();
    int differing = 0;
    for (size_t i = 0; i < after.size(); i++)
        differing += after[i] != own[i];
    EXPECT_EQ(differing, 0) << "the control must show its own rectangle again";
    EXPECT_EQ(digitBox(after).right, -1);
    EXPECT_NE(after[0], BLUE);
}
