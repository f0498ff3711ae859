// Progress strip painting: thin over the arithmetic in progress_math.cpp. It paints into the
// control's device context at each step and does not answer WM_PAINT; a repaint of the control
// shows its own black rectangle until the next step.
#include "payload/progress_bar.h"

#include <string.h>

ProgressBarState progressBar;

static const COLORREF FILL_COLOUR = RGB(0, 0, 255);
static const COLORREF BACK_COLOUR = RGB(0, 0, 0);
static const COLORREF TEXT_COLOUR = RGB(255, 255, 255);
// The strip's window text: the percentage done, for screen readers, which read a control's text.
static const char SPOKEN_FORMAT[] = "%d %%";

// Sets the strip's window text to the percentage. Through DefWindowProcA, which only stores the
// text: the static control's own WM_SETTEXT would invalidate it, repainting its black rectangle
// over the strip, and Wine's does not keep a text for a rectangle style at all.
static void tellPercentage(HWND window, int percent) {
    char text[PROGRESS_TEXT_BUFFER];
    wsprintfA(text, SPOKEN_FORMAT, percent);
    DefWindowProcA(window, WM_SETTEXT, 0, (LPARAM)text);
}

void ProgressBarInit(HWND window, int total) {
    memset(&progressBar, 0, sizeof(progressBar));
    // Without a control (an unattended copy) the strip draws nothing: GetDC(NULL) is the screen.
    if (window == NULL)
        return;
    progressBar.window = window;
    GetClientRect(window, &progressBar.filledRect);
    progressBar.restRect = progressBar.filledRect;
    progressBar.restRect.left = 0;
    progressBar.filledRect.left = 0;
    progressBar.filledRect.right = 0;
    progressCounterInit(&progressBar.counter, progressBar.restRect.right, total);
    progressBar.textSize.cx = 0;
    progressBar.dc = GetDC(window);
    progressBar.fillBrush = CreateSolidBrush(FILL_COLOUR);
    progressBar.backBrush = CreateSolidBrush(BACK_COLOUR);
    tellPercentage(window, 0);
}

void ProgressBarAdvance() {
    if (progressBar.dc != NULL && progressCounterStep(&progressBar.counter))
        progressBar.textChanged = 1;
}

void ProgressBarPaint() {
    ProgressBarState *bar = &progressBar;
    if (bar->dc == NULL)
        return;
    const char *text = bar->counter.text;
    if (bar->textChanged) {
        GetTextExtentPoint32A(bar->dc, text, lstrlenA(text), &bar->textSize);
        tellPercentage(bar->window, bar->counter.lastPercent);
    }
    bar->textChanged = 0;

    bar->filledRect.right = bar->counter.fillEdge;
    FillRect(bar->dc, &bar->filledRect, bar->fillBrush);
    bar->restRect.left = bar->counter.fillEdge;
    FillRect(bar->dc, &bar->restRect, bar->backBrush);

    SetBkMode(bar->dc, TRANSPARENT);
    SetTextColor(bar->dc, TEXT_COLOUR);
    int x = bar->restRect.right / 2 - bar->textSize.cx / 2;
    int y = (bar->filledRect.bottom - bar->textSize.cy) / 2;
    TextOutA(bar->dc, x, y, text, lstrlenA(text));
}

void ProgressBarStep() {
    ProgressBarAdvance();
    ProgressBarPaint();
}

void ProgressBarDone() {
    if (progressBar.window == NULL)
        return;
    ReleaseDC(progressBar.window, progressBar.dc);
    progressBar.dc = NULL;
    if (progressBar.fillBrush != NULL)
        DeleteObject(progressBar.fillBrush);
    if (progressBar.backBrush != NULL)
        DeleteObject(progressBar.backBrush);
    progressBar.fillBrush = NULL;
    progressBar.backBrush = NULL;
    InvalidateRect(progressBar.window, NULL, TRUE);
}
