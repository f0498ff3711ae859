// The browser list icons as the build draws them into the shipped installer: each one 16 x 16
// image of 16 colours with a transparency mask, and the picture each stands for.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string GENERATED = QUILLARY_BINARY_DIR "/win32/installer/generated/";

unsigned u16(const std::vector<unsigned char> &b, size_t at) { return b[at] | b[at + 1] << 8; }

bool yellow(int r, int g, int b) { return r > 200 && g > 200 && b < 80; }
bool green(int r, int g, int b) { return g > 100 && r < 80 && b < 80; }
bool black(int r, int g, int b) { return r < 40 && g < 40 && b < 40; }

} // namespace

TEST(BrowserIcons, EachIsOneSixteenColourSixteenPixelImageWithAMask) {
    struct {
        const char *file;
        bool (*main)(int, int, int);
        bool (*never)(int, int, int);
    } icons[] = {{"folder.ico", yellow, green}, // a yellow folder
                 {"up.ico", black, yellow},     // a black arrow
                 {"new_folder.ico", green, yellow}};
    // Directory entry, header, 16-entry palette, 4-bit pixels, 1-bit mask rows of 32 bits.
    const size_t header = 22, palette = header + 40, pixels = palette + 64, mask = pixels + 128;
    for (const auto &icon : icons) {
        std::ifstream in(GENERATED + icon.file, std::ios::binary);
        std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
        ASSERT_EQ(b.size(), mask + 64) << icon.file;
        EXPECT_EQ(u16(b, 4), 1u) << icon.file << " holds one image";
        EXPECT_EQ(b[6] << 16 | b[7] << 8 | b[8], 16 << 16 | 16 << 8 | 16) << icon.file;
        EXPECT_EQ(u16(b, 12), 4u) << icon.file << ": 4 bits per pixel";
        EXPECT_EQ(u16(b, header + 4), 16u) << icon.file;
        EXPECT_EQ(u16(b, header + 8), 32u) << icon.file << ": colour and mask halves";
        EXPECT_EQ(u16(b, header + 14), 4u) << icon.file;
        int opaque = 0, main = 0, never = 0;
        for (int i = 0; i < 256; i++) {
            int row = i / 16, x = i % 16;
            if ((b[mask + row * 4 + x / 8] >> (7 - x % 8)) & 1)
                continue; // transparent
            int index = (b[pixels + row * 8 + x / 2] >> (x % 2 ? 0 : 4)) & 15;
            const unsigned char *bgr = &b[palette + index * 4];
            opaque++;
            main += icon.main(bgr[2], bgr[1], bgr[0]);
            never += icon.never(bgr[2], bgr[1], bgr[0]);
        }
        EXPECT_GT(opaque, 20) << icon.file;
        EXPECT_LT(opaque, 256) << icon.file << ": the mask shows the background around it";
        EXPECT_GT(main, opaque / 3) << icon.file;
        EXPECT_EQ(never, 0) << icon.file;
    }
}
