// Progress strip arithmetic: the fill edge and the percentage text, step by step.
// Portable: no <windows.h>, so native tests reach it; progress_bar.cpp paints what it computes.
#pragma once

enum {
    PROGRESS_DIGITS = 5,      // the integer part, then four decimal digits
    PROGRESS_TEXT_BUFFER = 16 // the percentage as decimal digits, zero-terminated
};

// Where the strip stands. The increment is width / total truncated to four decimal places and
// held as separate digits, so the fill moves by whole pixels with the fraction carried along.
struct ProgressCounter {
    int width;       // the strip's width in pixels: the fill edge never passes it
    int total;       // steps that make 100 percent (at least 1)
    int stepCount;   // the step whose percentage is computed next, from 1
    int percent;     // percentage computed at the last step that computed one
    int lastPercent; // percentage whose text is current, from 0
    int fillEdge;    // right edge of the filled part, in pixels from the left
    int increment[PROGRESS_DIGITS];
    int pending[PROGRESS_DIGITS];    // pixels waiting to be added, then four decimal digits
    char text[PROGRESS_TEXT_BUFFER]; // empty until the percentage first changes
};

// Clears the counter and divides width by total. A total below 1 is taken as 1; a negative
// width as 0.
void progressCounterInit(ProgressCounter *counter, int width, int total);

// Advances by one step: carries the fraction, moves the fill edge and recomputes the
// percentage. Returns nonzero when text changed (the caller measures it again), 0 otherwise.
int progressCounterStep(ProgressCounter *counter);
