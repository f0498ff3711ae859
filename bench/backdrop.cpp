// Backdrop build benchmark: times buildBackdrop on the current screen, each build followed by a
// one-BitBlt capture of the same screen (its floor), and prints both medians with their spread.
//   backdrop.exe [runs]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "backdrop/backdrop.h"
#include "common/setup_state.h"

int main(int argc, char **argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 9;
    if (runs < 1)
        runs = 1;
    HWND window = CreateWindowExA(0, "STATIC", "bench", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    HDC dc = GetDC(window);
    setup.screenWidth = GetDeviceCaps(dc, HORZRES);
    setup.screenHeight = GetDeviceCaps(dc, VERTRES);
    setup.screenBits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(window, dc);
    setup.titleFont =
        createFont(TITLE_FONT_WEIGHT, 0, TITLE_FONT_HEIGHT, TITLE_FONT_CHARSET, TITLE_FONT_FACE);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    auto milliseconds = [&](const LARGE_INTEGER &start, const LARGE_INTEGER &end) {
        return 1000.0 * (double)(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    };
    // Each build followed by its reference, so that both see the same moment of the machine.
    std::vector<double> times, captures;
    for (int i = 0; i < runs; i++) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        HBITMAP image = buildBackdrop(window);
        QueryPerformanceCounter(&end);
        if (!image) {
            fprintf(stderr, "buildBackdrop returned no image\n");
            return 1;
        }
        // The builder keeps its buffers for the whole run, as the installer does; a benchmark
        // of many builds gives the bitmap back so memory stays flat.
        DeleteObject(image);
        times.push_back(milliseconds(start, end));

        // The floor set by the system: the screen capture alone, which the builder cannot avoid.
        QueryPerformanceCounter(&start);
        HDC screenDC = CreateDCA("DISPLAY", NULL, NULL, NULL);
        HDC workDC = CreateCompatibleDC(screenDC);
        HBITMAP capture = CreateCompatibleBitmap(screenDC, setup.screenWidth, setup.screenHeight);
        HGDIOBJ previous = SelectObject(workDC, capture);
        BitBlt(workDC, 0, 0, setup.screenWidth, setup.screenHeight, screenDC, 0, 0, SRCCOPY);
        SelectObject(workDC, previous);
        DeleteDC(workDC);
        DeleteDC(screenDC);
        DeleteObject(capture);
        QueryPerformanceCounter(&end);
        captures.push_back(milliseconds(start, end));
    }
    std::sort(times.begin(), times.end());
    std::sort(captures.begin(), captures.end());
    printf("  screen capture alone (one BitBlt from the display): median %.1f ms, min %.1f ms, "
           "max %.1f ms\n",
           captures[captures.size() / 2], captures.front(), captures.back());
    printf("buildBackdrop %dx%d at %d bits: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n",
           setup.screenWidth, setup.screenHeight, setup.screenBits, times[times.size() / 2],
           times.front(), times.back(), runs);
    return 0;
}
