// Checkerboard darkening: one linear pass, three zero bytes for every second pixel.
#include "backdrop/checkerboard.h"

void darkenCheckerboard(unsigned char *pixels, int width, int height, size_t stride) {
    for (int row = 0; row < height; row++) {
        unsigned char *line = pixels + (size_t)row * stride;
        for (int column = row % 2; column < width; column += 2) {
            unsigned char *pixel = line + 3 * (size_t)column;
            pixel[0] = 0;
            pixel[1] = 0;
            pixel[2] = 0;
        }
    }
}

size_t dibRowSize(int bitCount, int width) {
    return (((size_t)bitCount * (size_t)width + 31) & ~(size_t)31) / 8;
}
