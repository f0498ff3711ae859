// Checks that bytes read from a file are a bitmap the viewer can paint without reading outside
// them. Portable: no <windows.h>.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum BitmapCheck {
    BITMAP_OK = 0,
    BITMAP_NOT_A_BITMAP = 1, // no "BM" file header, or too short to hold one
    BITMAP_DAMAGED = 2,      // a bitmap whose headers contradict themselves or the file's size
    BITMAP_UNSUPPORTED = 3   // a real bitmap in a form the viewer does not paint (compressed...)
};

// Where the parts of a checked bitmap lie in the file's bytes.
struct BitmapLayout {
    size_t infoOffset; // the info header, followed by its masks and colour table
    size_t bitsOffset; // the pixel rows
    int32_t width;
    int32_t height; // as stored: negative for rows stored top-down
    int bitCount;
};

// The largest width or height the viewer accepts, in pixels.
enum { BITMAP_MAX_SIDE = 16384 };

// Checks data (size bytes) as a bitmap file: a file header, an info header of 40 bytes or a
// later version, 1, 4, 8, 16, 24 or 32 bits per pixel, uncompressed or with bit-field masks,
// sides from 1 to BITMAP_MAX_SIDE, and every header, mask, colour and pixel row inside the data.
// On BITMAP_OK fills layout.
int checkBitmapFile(const unsigned char *data, size_t size, BitmapLayout *layout);
