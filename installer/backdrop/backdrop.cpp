// Backdrop painter: captures the desktop once, darkens it, titles it and paints it on demand.
#include "backdrop/backdrop.h"

#include <string.h>

#include "backdrop/checkerboard.h"
#include "common/setup_state.h"

const char TITLE_FONT_FACE[] = "Arial Black";

static const char TITLE_TEXT[] = SETUP_TITLE;
static const COLORREF TITLE_SHADOW_COLOR = RGB(32, 0, 64);
static const COLORREF TITLE_COLOR = PALETTERGB(64, 160, 255);
static const int TITLE_SHADOW_POS = 10; // dark pass at (10, 10)
static const int TITLE_POS = 13;        // light pass 3 pixels further right and down

// A BITMAPINFO with room for a full 256-entry colour table.
struct DibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colors[PALETTE_SIZE];
};

// A LOGPALETTE with room for 256 entries.
struct PaletteBlock {
    WORD version;
    WORD entryCount;
    PALETTEENTRY entries[PALETTE_SIZE];
};

HFONT createFont(int weight, int width, int height, int charSet, const char *faceName) {
    LOGFONTA font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = height;
    font.lfWidth = width;
    font.lfWeight = weight;
    font.lfCharSet = (BYTE)charSet;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    if (faceName)
        lstrcpynA(font.lfFaceName, faceName, LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

HPALETTE createBackdropPalette(const RGBQUAD *colors) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(PaletteBlock));
    if (!memory)
        return NULL;
    PaletteBlock *block = (PaletteBlock *)GlobalLock(memory);
    if (!block) {
        GlobalFree(memory);
        return NULL;
    }
    block->version = 0x300;
    block->entryCount = PALETTE_SIZE;
    for (int i = 0; i < PALETTE_SIZE; i++) {
        block->entries[i].peRed = colors[i].rgbRed;
        block->entries[i].peGreen = colors[i].rgbGreen;
        block->entries[i].peBlue = colors[i].rgbBlue;
        block->entries[i].peFlags = PC_NOCOLLAPSE;
    }
    HPALETTE palette = CreatePalette((LOGPALETTE *)block);
    GlobalUnlock(memory);
    GlobalFree(memory);
    return palette;
}

// Copies the screen into a new bitmap of the screen's size. NULL when it cannot be made.
static HBITMAP captureScreen(HDC screenDC) {
    HDC workDC = CreateCompatibleDC(screenDC);
    if (!workDC)
        return NULL;
    HBITMAP image = CreateCompatibleBitmap(screenDC, setup.screenWidth, setup.screenHeight);
    if (image) {
        HGDIOBJ previous = SelectObject(workDC, image);
        BitBlt(workDC, 0, 0, setup.screenWidth, setup.screenHeight, screenDC, 0, 0, SRCCOPY);
        if (previous)
            SelectObject(workDC, previous);
    }
    DeleteDC(workDC);
    return image;
}

// Reads the image into a device-independent copy, darkens it or makes the palette, and
// writes it back. Returns FALSE when the header block or the pixel buffer cannot be had.
static BOOL darkenImage(HDC screenDC, HBITMAP image) {
    HGLOBAL headerMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DibHeader));
    if (!headerMemory)
        return FALSE;
    DibHeader *dib = (DibHeader *)GlobalLock(headerMemory);
    if (!dib)
        return FALSE;

    BITMAP bitmap;
    GetObjectA(image, sizeof(bitmap), &bitmap);
    BITMAPINFOHEADER *header = &dib->header;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = bitmap.bmWidth;
    header->biHeight = bitmap.bmHeight;
    header->biPlanes = 1;
    header->biBitCount = setup.screenBits > 8 ? 24 : 8;
    header->biCompression = BI_RGB;
    header->biSizeImage = (DWORD)(dibRowSize(header->biBitCount, bitmap.bmWidth) * bitmap.bmHeight);
    header->biClrUsed = PALETTE_SIZE;

    BITMAPINFO *info = (BITMAPINFO *)dib;
    GetDIBits(screenDC, image, 0, bitmap.bmHeight, NULL, info, DIB_RGB_COLORS);
    unsigned char *pixels =
        (unsigned char *)VirtualAlloc(NULL, header->biSizeImage + 3, MEM_COMMIT, PAGE_READWRITE);
    if (!pixels || bitmap.bmHeight <= 0) {
        GlobalUnlock(headerMemory);
        return FALSE;
    }
    GetDIBits(screenDC, image, 0, bitmap.bmHeight, pixels, info, DIB_RGB_COLORS);

    if (header->biBitCount == 24) {
        size_t stride = header->biSizeImage / (DWORD)bitmap.bmHeight;
        darkenCheckerboard(pixels, bitmap.bmWidth, bitmap.bmHeight, stride);
    } else {
        setup.backdropPalette = createBackdropPalette(dib->colors);
    }
    SetDIBits(screenDC, image, 0, bitmap.bmHeight, pixels, info, DIB_RGB_COLORS);
    GlobalUnlock(headerMemory);
    return TRUE;
}

// Writes the title into the image in two passes: dark at (10, 10), light at (13, 13).
static void drawTitle(HWND window, HBITMAP image) {
    HDC windowDC = GetDC(window);
    HDC textDC = CreateCompatibleDC(windowDC);
    if (!textDC) {
        ReleaseDC(window, windowDC);
        return;
    }
    HPALETTE previousPalette = NULL;
    if (setup.backdropPalette)
        previousPalette = SelectPalette(textDC, setup.backdropPalette, FALSE);
    HGDIOBJ previousBitmap = SelectObject(textDC, image);
    HGDIOBJ previousFont = SelectObject(textDC, setup.titleFont);
    SetBkMode(textDC, TRANSPARENT);
    int length = lstrlenA(TITLE_TEXT);
    SetTextColor(textDC, TITLE_SHADOW_COLOR);
    TextOutA(textDC, TITLE_SHADOW_POS, TITLE_SHADOW_POS, TITLE_TEXT, length);
    SetTextColor(textDC, TITLE_COLOR);
    TextOutA(textDC, TITLE_POS, TITLE_POS, TITLE_TEXT, length);
    if (previousFont)
        SelectObject(textDC, previousFont);
    if (previousPalette)
        SelectPalette(textDC, previousPalette, FALSE);
    if (previousBitmap)
        SelectObject(textDC, previousBitmap);
    DeleteDC(textDC);
    ReleaseDC(window, windowDC);
}

HBITMAP buildBackdrop(HWND window) {
    HDC screenDC = CreateDCA("DISPLAY", NULL, NULL, NULL);
    if (!screenDC)
        return NULL;
    HBITMAP image = captureScreen(screenDC);
    if (image && !darkenImage(screenDC, image)) {
        DeleteObject(image);
        image = NULL;
    }
    DeleteDC(screenDC);
    if (image)
        drawTitle(window, image);
    return image;
}

int paintBackdrop(HDC paintContext) {
    HDC memoryDC = CreateCompatibleDC(paintContext);
    if (!memoryDC)
        return 0;
    HPALETTE previousPaintPalette = NULL;
    HPALETTE previousMemoryPalette = NULL;
    if (setup.backdropPalette) {
        previousPaintPalette = SelectPalette(paintContext, setup.backdropPalette, FALSE);
        RealizePalette(paintContext);
        previousMemoryPalette = SelectPalette(memoryDC, setup.backdropPalette, FALSE);
    }
    HGDIOBJ previousBitmap = SelectObject(memoryDC, setup.backdropImage);
    SetStretchBltMode(paintContext, COLORONCOLOR);
    BitBlt(paintContext, 0, 0, setup.screenWidth, setup.screenHeight, memoryDC, 0, 0, SRCCOPY);
    if (previousPaintPalette)
        SelectPalette(paintContext, previousPaintPalette, FALSE);
    if (previousMemoryPalette)
        SelectPalette(memoryDC, previousMemoryPalette, FALSE);
    if (previousBitmap)
        SelectObject(memoryDC, previousBitmap);
    DeleteDC(memoryDC);
    return 0;
}
