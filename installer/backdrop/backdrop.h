// Backdrop: the darkened, titled picture of the desktop behind the wizard pages.
#pragma once

#include <windows.h>

enum {
    PALETTE_SIZE = 256,
    TITLE_FONT_WEIGHT = 400,
    TITLE_FONT_HEIGHT = 72,
    TITLE_FONT_CHARSET = 1 // DEFAULT_CHARSET
};

extern const char TITLE_FONT_FACE[];

// Fills a LOGFONTA (stroke precision, draft quality, variable-pitch Swiss) and creates the font.
// A null faceName leaves the face empty; a face that does not fit the field is cut to fit.
HFONT createFont(int weight, int width, int height, int charSet, const char *faceName);

// Captures the screen (the main window is still 0 by 0), darkens it on screens of more than
// 8 bits, makes the 256-entry palette on the others (setup.backdropPalette) and writes the title.
// Returns the finished image, or NULL when a device context, the bitmap or a buffer could not
// be had (the painter then draws nothing).
HBITMAP buildBackdrop(HWND window);

// Builds a logical palette of 256 entries from a DIB colour table (blue, green, red order),
// every entry flagged PC_NOCOLLAPSE. NULL when its memory cannot be had.
HPALETTE createBackdropPalette(const RGBQUAD *colors);

// Copies the whole backdrop image to the paint context. Returns 0.
int paintBackdrop(HDC paintContext);
