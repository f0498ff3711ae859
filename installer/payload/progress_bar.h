// Progress strip: paints a blue fill and the percentage into a static control, step by step.
#pragma once

#include <windows.h>

#include "payload/progress_math.h"

// The one strip that can run at a time. The device context and both brushes exist only from
// ProgressBarInit to ProgressBarDone.
struct ProgressBarState {
    HBRUSH fillBrush;        // blue: the filled part
    HBRUSH backBrush;        // black: the rest
    HWND window;             // the strip control
    HDC dc;                  // the control's device context
    RECT filledRect;         // left 0, right at the fill edge
    RECT restRect;           // from the fill edge to the client rectangle's right edge
    SIZE textSize;           // extent of the current percentage text
    int textChanged;         // the percentage text changed since it was last measured
    ProgressCounter counter; // total, step count, percentages, increment, pending, text
};

extern ProgressBarState progressBar;

// Prepares a strip over the client rectangle of window for total steps (below 1 counts as 1).
void ProgressBarInit(HWND window, int total);

// Advances by one step and repaints the whole strip.
void ProgressBarStep();

// Advances by one step without painting: a page that paints at its own pace calls
// ProgressBarPaint when it shows the strip.
void ProgressBarAdvance();

// Paints the whole strip as it stands.
void ProgressBarPaint();

// Releases the device context and the brushes and lets the control repaint itself.
void ProgressBarDone();
