// Darkening of the captured desktop: a checkerboard of black pixels in a 24-bit DIB.
// Portable: no window system needed, so native tests reach it.
#pragma once

#include <stddef.h>

// Sets to black every pixel whose column and stored row are both even or both odd.
// pixels holds height rows of stride bytes, 3 bytes per pixel, stored row 0 first.
void darkenCheckerboard(unsigned char *pixels, int width, int height, size_t stride);

// Bytes in one DIB row of width pixels at bitCount bits, padded to whole 4-byte units.
size_t dibRowSize(int bitCount, int width);
