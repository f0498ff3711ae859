// A bitmap file of four known colours, and the check that a window shows it on the screen.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>

#include "installer_driver.h"

namespace pictures {

// The colours of the quadrants, top-left, top-right, bottom-left, bottom-right (0x00RRGGBB).
extern const uint32_t QUADRANTS[4];
const int QUADRANT_PICTURE_WIDTH = 64, QUADRANT_PICTURE_HEIGHT = 48;

// The bytes of a 24-bit bottom-up bitmap file of the four quadrants.
std::string quadrantBitmap();

// The window's client area as shown on the screen.
driver::Capture captureClient(HWND window);

// Waits up to timeoutMs for the window's client area to show the quadrant picture unscaled at
// its top-left corner, every sampled pixel exact. "" when it does; otherwise what differed.
std::string waitForQuadrants(HWND window, DWORD timeoutMs = 5000);

} // namespace pictures
