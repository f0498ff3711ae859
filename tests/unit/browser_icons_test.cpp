// The browser list icons as the build draws them into the shipped installer: each one 16 x 16
// image of 16 colours with a transparency mask, and the picture each stands for.
#include <gtest/gtest.h>

#include <stdint.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string GENERATED = QUILLARY_BINARY_DIR "/win32/installer/generated/";

struct Rgb {
    int red, green, blue;
};

// One decoded 16 x 16, 4-bit icon: colours top row first, and which pixels the mask keeps.
struct SmallIcon {
    std::vector<Rgb> colours;
    std::vector<bool> opaque;
    int count(bool (*match)(const Rgb &)) const {
        int n = 0;
        for (size_t i = 0; i < colours.size(); i++)
            n += opaque[i] && match(colours[i]);
        return n;
    }
};

uint32_t u16(const std::vector<unsigned char> &b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t u32(const std::vector<unsigned char> &b, size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

// Reads file and checks its layout: one image, 16 x 16, 16 colours, 4 bits, palette and mask.
SmallIcon readSmallIcon(const std::string &name) {
    SmallIcon icon;
    std::ifstream in(GENERATED + name, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    const size_t header = 22, palette = header + 40, pixels = palette + 64, mask = pixels + 128;
    EXPECT_EQ(b.size(), mask + 64) << name << ": header, palette, 4-bit pixels and mask";
    if (b.size() != mask + 64)
        return icon;
    EXPECT_EQ(u16(b, 2), 1u) << name << " is an icon";
    EXPECT_EQ(u16(b, 4), 1u) << name << " holds one image";
    EXPECT_EQ(b[6], 16) << name;
    EXPECT_EQ(b[7], 16) << name;
    EXPECT_EQ(b[8], 16) << name << ": 16 colours";
    EXPECT_EQ(u16(b, 12), 4u) << name << ": 4 bits per pixel";
    EXPECT_EQ(u32(b, 18), header) << name;
    EXPECT_EQ(u32(b, header + 4), 16u) << name;
    EXPECT_EQ(u32(b, header + 8), 32u) << name << ": colour and mask halves";
    EXPECT_EQ(u16(b, header + 14), 4u) << name;
    for (int y = 0; y < 16; y++) {
        int row = 15 - y; // bottom-up
        for (int x = 0; x < 16; x++) {
            int index = (b[pixels + row * 8 + x / 2] >> (x % 2 ? 0 : 4)) & 15;
            size_t entry = palette + index * 4;
            icon.colours.push_back({b[entry + 2], b[entry + 1], b[entry]});
            bool transparent = (b[mask + row * 4 + x / 8] >> (7 - x % 8)) & 1;
            icon.opaque.push_back(!transparent);
        }
    }
    return icon;
}

bool yellow(const Rgb &c) { return c.red > 200 && c.green > 200 && c.blue < 80; }
bool green(const Rgb &c) { return c.green > 100 && c.red < 80 && c.blue < 80; }
bool black(const Rgb &c) { return c.red < 40 && c.green < 40 && c.blue < 40; }
bool any(const Rgb &) { return true; }

} // namespace

TEST(BrowserIcons, EachIsOneSixteenColourSixteenPixelImageWithAMask) {
    struct {
        const char *file;
        bool (*main)(const Rgb &);
        const char *picture;
    } icons[] = {{"folder.ico", yellow, "a yellow folder"},
                 {"up.ico", black, "a black arrow"},
                 {"new_folder.ico", green, "a green folder"}};
    for (const auto &expected : icons) {
        SmallIcon icon = readSmallIcon(expected.file);
        if (icon.colours.empty())
            continue;
        int opaque = icon.count(any);
        EXPECT_GT(opaque, 20) << expected.file;
        EXPECT_LT(opaque, 256) << expected.file << ": the mask shows the background around it";
        EXPECT_GT(icon.count(expected.main), opaque / 3)
            << expected.file << " is " << expected.picture;
    }
    EXPECT_EQ(readSmallIcon("folder.ico").count(green), 0) << "the plain folder is not green";
    EXPECT_EQ(readSmallIcon("new_folder.ico").count(yellow), 0) << "the new folder is not yellow";
    SmallIcon up = readSmallIcon("up.ico");
    EXPECT_EQ(up.count(yellow) + up.count(green), 0) << "the arrow is no folder";
}
