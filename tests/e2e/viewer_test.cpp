// Quillary.exe started as the shell starts it: the bitmap its command line names, quoted or not
// and with blanks in both paths, read back from the screen; the product's picture without one;
// its icon; and a clear message for files it cannot show.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "installer_driver.h"
#include "installer_run.h"
#include "product_state.h"
#include "program_runs.h"
#include "test_pictures.h"

namespace {

const std::string ROOT = "C:\\viewer test";
const std::string PICTURES = ROOT + "\\My Pictures";
const std::string PROGRAM_DIR = ROOT + "\\Quillary Folder";
const std::string PROGRAM = PROGRAM_DIR + "\\Quillary.exe";
const char VIEWER_CLASS[] = "QuillaryViewer";

class Viewer : public ::testing::Test {
  protected:
    void SetUp() override {
        driver::removeTree(ROOT);
        CreateDirectoryA(ROOT.c_str(), NULL);
        CreateDirectoryA(PICTURES.c_str(), NULL);
        CreateDirectoryA(PROGRAM_DIR.c_str(), NULL);
        std::string built = driver::buildPath("win64\\product\\quillary\\Quillary.exe");
        ASSERT_TRUE(CopyFileA(built.c_str(), PROGRAM.c_str(), FALSE)) << built;
    }
    void TearDown() override { driver::removeTree(ROOT); }

    // Starts the viewer and waits for its window.
    HWND start(const std::string &commandLine) {
        run.reset(new programs::Started(commandLine));
        EXPECT_TRUE(run->ok()) << commandLine;
        HWND window = programs::waitForTopWindow(programs::windowTitled("Quillary", VIEWER_CLASS));
        EXPECT_NE(window, (HWND)NULL) << commandLine << "\n" << programs::describeTopWindows();
        return window;
    }
    void close(HWND window) {
        EXPECT_TRUE(programs::closeAndWaitForExit(window));
        EXPECT_EQ(run->waitForExit(), 0u);
    }

    std::unique_ptr<programs::Started> run;
};

TEST_F(Viewer, ShowsTheBitmapItsCommandLineNamesQuotedOrNot) {
    std::string picture = PICTURES + "\\four colours.bmp";
    ASSERT_TRUE(driver::writeWholeFile(picture, pictures::quadrantBitmap()));
    // As a quoted open command gives it, and as an unquoted one does: the program's own path
    // and the document's both hold blanks.
    for (const std::string &line :
         {"\"" + PROGRAM + "\" \"" + picture + "\"", PROGRAM + " " + picture}) {
        SCOPED_TRACE(line);
        HWND window = start(line);
        ASSERT_NE(window, (HWND)NULL);
        EXPECT_EQ(pictures::waitForQuadrants(window), "");
        close(window);
    }
}

// Reads one pixel of an 8-bit, bottom-up bitmap file with its colour table, as 0x00RRGGBB.
uint32_t bitmapFilePixel(const std::string &file, int x, int y) {
    const BITMAPFILEHEADER *header = (const BITMAPFILEHEADER *)file.data();
    const BITMAPINFOHEADER *info = (const BITMAPINFOHEADER *)(file.data() + sizeof(*header));
    const RGBQUAD *table = (const RGBQUAD *)((const char *)info + info->biSize);
    int stride = (info->biWidth * info->biBitCount + 31) / 32 * 4;
    int row = info->biHeight - 1 - y;
    unsigned char index = (unsigned char)file[header->bfOffBits + (size_t)row * stride + x];
    return (uint32_t)table[index].rgbRed << 16 | table[index].rgbGreen << 8 | table[index].rgbBlue;
}

TEST_F(Viewer, WithoutADocumentShowsTheProductsPictureAndCarriesItsIcon) {
    std::string pictureFile;
    ASSERT_TRUE(driver::readWholeFile(
        driver::buildPath("win64\\product\\quillary\\generated\\product_picture.bmp"),
        &pictureFile));
    HWND window = start("\"" + PROGRAM + "\"");
    ASSERT_NE(window, (HWND)NULL);
    driver::Capture shown;
    // Points across the picture: the frame, the panel and the red lettering.
    const POINT points[] = {{2, 2}, {20, 20}, {100, 60}, {278, 120}, {500, 300}, {553, 381}};
    bool painted = driver::waitFor(
        [&] {
            shown = pictures::captureClient(window);
            if (shown.width < 556 || shown.height < 384)
                return false;
            for (POINT p : points)
                if (shown.pixel(p.x, p.y) != bitmapFilePixel(pictureFile, p.x, p.y))
                    return false;
            return true;
        },
        5000);
    EXPECT_TRUE(painted) << "the window does not show the product's picture";
    // The version line under the picture: text in the window's text colour on its background.
    uint32_t text = GetSysColor(COLOR_WINDOWTEXT);
    text = (text & 0xFF) << 16 | (text & 0xFF00) | (text >> 16 & 0xFF);
    int textPixels = 0;
    for (int y = 384; y < shown.height; y++)
        for (int x = 0; x < shown.width; x++)
            textPixels += shown.pixel(x, y) == text;
    EXPECT_GT(textPixels, 40) << "no version line under the picture";
    close(window);

    // Icon index 0 of the program file is the product's icon, pixel for pixel.
    std::string iconFile = driver::buildPath("win64\\product\\quillary\\generated\\quillary.ico");
    HICON fromProgram = ExtractIconA(GetModuleHandleA(NULL), PROGRAM.c_str(), 0);
    HICON drawn = (HICON)LoadImageA(NULL, iconFile.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE);
    ASSERT_NE(fromProgram, (HICON)NULL);
    ASSERT_NE(drawn, (HICON)NULL);
    auto render = [](HICON icon) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 32;
        info.bmiHeader.biHeight = -32;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void *bits = NULL;
        HDC dc = CreateCompatibleDC(NULL);
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, 32, 32, WHITENESS);
        DrawIconEx(dc, 0, 0, icon, 32, 32, 0, NULL, DI_NORMAL);
        std::vector<uint32_t> pixels((uint32_t *)bits, (uint32_t *)bits + 32 * 32);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return pixels;
    };
    std::vector<uint32_t> programIcon = render(fromProgram), productIcon = render(drawn);
    EXPECT_TRUE(programIcon == productIcon);
    EXPECT_NE(productIcon[16 * 32 + 16], productIcon[0]) << "the icon is not blank";
    DestroyIcon(fromProgram);
    DestroyIcon(drawn);
}

TEST_F(Viewer, ExplainsAFileItCannotShowAndKeepsRunning) {
    std::string text = PICTURES + "\\notes as picture.bmp";
    std::string cut = PICTURES + "\\cut short.bmp";
    ASSERT_TRUE(driver::writeWholeFile(text, "This is a letter, not a picture.\r\n"));
    ASSERT_TRUE(driver::writeWholeFile(cut, pictures::quadrantBitmap().substr(0, 2000)));
    struct {
        std::string path, reason;
    } cases[] = {
        {PICTURES + "\\missing.bmp", "It does not exist or cannot be read."},
        {text, "It is not a bitmap picture."},
        {cut, "The bitmap is damaged."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        HWND window = start("\"" + PROGRAM + "\" \"" + c.path + "\"");
        ASSERT_NE(window, (HWND)NULL);
        HWND box = programs::waitForTopWindow(programs::messageBoxSaying("Quillary cannot show"));
        ASSERT_NE(box, (HWND)NULL) << programs::describeTopWindows();
        driver::MessageBox message(box);
        EXPECT_EQ(message.caption(), "Quillary");
        EXPECT_EQ(message.text(), "Quillary cannot show the file\n" + c.path + "\n\n" + c.reason);
        EXPECT_STREQ(driver::boxIconName(message.icon()), "error");
        message.answer(IDOK);
        EXPECT_TRUE(driver::settled(window) && IsWindow(window))
            << "the viewer stays open after the message";
        close(window);
    }
}

} // namespace
