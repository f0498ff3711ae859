// The backdrop's checkerboard: which pixels turn black, and that row padding is left alone.
#include <gtest/gtest.h>

#include <vector>

#include "backdrop/checkerboard.h"

TEST(Checkerboard, RowSizeIsPaddedToWholeFourByteUnits) {
    struct {
        int bits, width;
        size_t expected;
    } cases[] = {{24, 1, 4}, {24, 3, 12}, {24, 5, 16},     {24, 1023, 3072},
                 {8, 1, 4},  {8, 5, 8},   {8, 1024, 1024}, {24, 3840, 11520}};
    for (const auto &c : cases)
        EXPECT_EQ(dibRowSize(c.bits, c.width), c.expected) << c.bits << " bits, width " << c.width;
}

TEST(Checkerboard, BlackensExactlyPixelsWhoseColumnAndRowShareParity) {
    for (int height : {1, 4, 7}) {
        const int width = 5;
        const size_t stride = dibRowSize(24, width); // 16: one padding byte per row
        std::vector<unsigned char> pixels(stride * height + 3, 0xAB);
        darkenCheckerboard(pixels.data(), width, height, stride);
        for (int row = 0; row < height; row++) {
            for (int column = 0; column < width; column++) {
                const unsigned char *p = &pixels[row * stride + 3 * column];
                bool black = (row % 2) == (column % 2);
                for (int byte = 0; byte < 3; byte++)
                    ASSERT_EQ(p[byte], black ? 0 : 0xAB)
                        << "row " << row << " column " << column << " height " << height;
            }
            EXPECT_EQ(pixels[row * stride + 15], 0xAB) << "padding of row " << row;
        }
        EXPECT_EQ(pixels[stride * height], 0xAB) << "the guard bytes after the image";
    }
}
