// A bitmap file of four known colours, and its check on the screen.
#include "test_pictures.h"

namespace pictures {

const uint32_t QUADRANTS[4] = {0xE01010, 0x10C020, 0x2030F0, 0xF0E040};

std::string quadrantBitmap() {
    const int width = QUADRANT_PICTURE_WIDTH, height = QUADRANT_PICTURE_HEIGHT;
    int stride = (width * 3 + 3) / 4 * 4;
    std::string rows;
    for (int row = height - 1; row >= 0; row--) {
        std::string line;
        for (int x = 0; x < width; x++) {
            uint32_t c = QUADRANTS[(row >= height / 2) * 2 + (x >= width / 2)];
            line += (char)(c & 0xFF);
            line += (char)((c >> 8) & 0xFF);
            line += (char)((c >> 16) & 0xFF);
        }
        line.resize(stride, '\0');
        rows += line;
    }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + (DWORD)rows.size();
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    return std::string((const char *)&file, sizeof(file)) +
           std::string((const char *)&info, sizeof(info)) + rows;
}

driver::Capture captureClient(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT onScreen = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return driver::captureRect(onScreen);
}

// "" when shown holds the quadrants; otherwise the first pixel that differs.
static std::string compare(const driver::Capture &shown) {
    const int width = QUADRANT_PICTURE_WIDTH, height = QUADRANT_PICTURE_HEIGHT;
    if (shown.width < width || shown.height < height)
        return "the client area is " + std::to_string(shown.width) + "x" +
               std::to_string(shown.height);
    for (int q = 0; q < 4; q++) {
        int left = (q % 2) * width / 2, top = (q / 2) * height / 2;
        for (int y = top + 1; y < top + height / 2; y += 5)
            for (int x = left + 1; x < left + width / 2; x += 5)
                if (shown.pixel(x, y) != QUADRANTS[q]) {
                    char text[96];
                    snprintf(text, sizeof(text), "pixel %d,%d is %06X, not %06X", x, y,
                             shown.pixel(x, y), QUADRANTS[q]);
                    return text;
                }
    }
    return "";
}

std::string waitForQuadrants(HWND window, DWORD timeoutMs) {
    std::string why = "never looked";
    driver::waitFor(
        [&] {
            why = compare(captureClient(window));
            return why.empty();
        },
        timeoutMs);
    return why;
}

} // namespace pictures
