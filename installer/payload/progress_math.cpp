// Progress strip arithmetic: four-digit long division and the carry from step to step.
#include "payload/progress_math.h"

#include <stdio.h>
#include <string.h>

void progressCounterInit(ProgressCounter *counter, int width, int total) {
    memset(counter, 0, sizeof(*counter));
    counter->width = width > 0 ? width : 0;
    counter->total = total > 0 ? total : 1;
    counter->stepCount = 1;
    counter->lastPercent = 0;

    // Long division, four decimal places; the remainder is widened so that ten times it cannot
    // overflow for any total.
    long long remainder = counter->width % counter->total;
    counter->increment[0] = counter->width / counter->total;
    for (int i = 1; i < PROGRESS_DIGITS; i++) {
        counter->increment[i] = (int)(10 * remainder / counter->total);
        remainder = 10 * remainder % counter->total;
    }
}

// Adds the increment's four decimal digits into pending, lowest first, carrying upwards.
static void carryFraction(ProgressCounter *counter) {
    for (int i = PROGRESS_DIGITS - 1; i >= 1; i--) {
        counter->pending[i] += counter->increment[i];
        if (counter->pending[i] >= 10) {
            counter->pending[i - 1] += 1;
            counter->pending[i] -= 10;
        }
    }
}

static void advanceFillEdge(ProgressCounter *counter, int pixels) {
    if (pixels > counter->width - counter->fillEdge)
        pixels = counter->width - counter->fillEdge;
    counter->fillEdge += pixels;
}

int progressCounterStep(ProgressCounter *counter) {
    if (counter->total < 1)
        return 0; // never initialised

    carryFraction(counter);
    if (counter->increment[0] != 0) {
        // A step's whole pixels are added at the following step, with that step's carry.
        advanceFillEdge(counter, counter->pending[0]);
        counter->pending[0] = counter->increment[0];
    } else if (counter->pending[0] > 0) {
        // Narrower than the number of steps: at most one pixel a step.
        advanceFillEdge(counter, 1);
        counter->pending[0] -= 1;
    }

    if (counter->stepCount > counter->total)
        return 0;
    counter->percent = (int)((long long)counter->stepCount * 100 / counter->total);
    counter->stepCount++;
    if (counter->percent == counter->lastPercent)
        return 0;
    counter->lastPercent = counter->percent;
    snprintf(counter->text, sizeof(counter->text), "%d", counter->percent);
    return 1;
}
