// Progress strip arithmetic: the fill edge and the percentage text over whole runs of steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "payload/progress_math.h"

namespace {

// One step's outcome, as the painter sees it.
struct StepResult {
    int fillEdge;
    std::string text;
    bool textChanged;
};

StepResult step(ProgressCounter *counter) {
    bool changed = progressCounterStep(counter) != 0;
    return {counter->fillEdge, counter->text, changed};
}

} // namespace

TEST(ProgressCounter, IncrementIsWidthOverTotalToFourDecimalPlaces) {
    struct {
        int width, total;
        int digits[PROGRESS_DIGITS];
    } cases[] = {{438, 129, {3, 3, 9, 5, 3}}, {50, 129, {0, 3, 8, 7, 5}},
                 {100, 8, {12, 5, 0, 0, 0}},  {1, 3, {0, 3, 3, 3, 3}},
                 {7, 7, {1, 0, 0, 0, 0}},     {0, 5, {0, 0, 0, 0, 0}}};
    for (const auto &c : cases) {
        ProgressCounter counter;
        progressCounterInit(&counter, c.width, c.total);
        for (int i = 0; i < PROGRESS_DIGITS; i++)
            EXPECT_EQ(counter.increment[i], c.digits[i])
                << c.width << " / " << c.total << " digit " << i;
        EXPECT_EQ(counter.fillEdge, 0);
        EXPECT_STREQ(counter.text, "");
    }
}

// 438 pixels, 129 steps, called 130 times as the copy page does.
TEST(ProgressCounter, WorkedExampleOf438PixelsIn129Steps) {
    ProgressCounter counter;
    progressCounterInit(&counter, 438, 129);
    int changes = 0;
    int edges[131] = {};
    for (int call = 1; call <= 130; call++) {
        StepResult r = step(&counter);
        // Each step's three whole pixels arrive one step late; the 0.3953 carries arrive at once.
        int expectedEdge = std::min(438, 3 * (call - 1) + call * 3953 / 10000);
        EXPECT_EQ(r.fillEdge, expectedEdge) << "call " << call;
        int percent = std::min(call, 129) * 100 / 129;
        EXPECT_EQ(r.text, percent == 0 ? std::string() : std::to_string(percent))
            << "call " << call;
        changes += r.textChanged;
        edges[call] = r.fillEdge;
        if (call == 130) {
            EXPECT_FALSE(r.textChanged) << "the 130th call must not format the text again";
        }
    }
    // The figures as stated for this strip.
    EXPECT_EQ(edges[1], 0);
    EXPECT_EQ(edges[2], 3);
    EXPECT_EQ(edges[3], 7);
    EXPECT_EQ(edges[4], 10);
    EXPECT_EQ(edges[129], 434);
    EXPECT_EQ(edges[130], 438);
    EXPECT_EQ(changes, 100) << "the text is formatted once for each percentage 1 to 100";
}

TEST(ProgressCounter, StripNarrowerThanTotalMovesAtMostOnePixelAStep) {
    for (int width : {1, 50, 128}) {
        ProgressCounter counter;
        progressCounterInit(&counter, width, 129);
        int previous = 0;
        for (int call = 1; call <= 130; call++) {
            StepResult r = step(&counter);
            EXPECT_GE(r.fillEdge - previous, 0) << "width " << width << " call " << call;
            EXPECT_LE(r.fillEdge - previous, 1) << "width " << width << " call " << call;
            previous = r.fillEdge;
        }
        // 130 steps of width/129 (four decimals) carry out all but a fraction of the width.
        EXPECT_GE(previous, width - 1) << "width " << width;
        EXPECT_LE(previous, width);
        EXPECT_STREQ(counter.text, "100");
    }
}

TEST(ProgressCounter, ManyMoreStepsThanTotalStopAtFullWidthAndHundred) {
    ProgressCounter counter;
    progressCounterInit(&counter, 100, 10);
    for (int call = 1; call <= 1000; call++) {
        StepResult r = step(&counter);
        ASSERT_LE(r.fillEdge, 100) << "call " << call;
        if (call > 10) {
            EXPECT_EQ(r.text, "100");
            EXPECT_FALSE(r.textChanged) << "call " << call;
        }
    }
    EXPECT_EQ(counter.fillEdge, 100);
    EXPECT_EQ(counter.percent, 100);
}

TEST(ProgressCounter, TotalBelowOneCountsAsOneStep) {
    for (int total : {0, -5}) {
        ProgressCounter counter;
        progressCounterInit(&counter, 438, total);
        EXPECT_EQ(counter.total, 1);
        StepResult first = step(&counter);
        EXPECT_EQ(first.fillEdge, 0);
        EXPECT_EQ(first.text, "100");
        StepResult second = step(&counter);
        EXPECT_EQ(second.fillEdge, 438);
    }
}

TEST(ProgressCounter, ZeroedCounterIgnoresSteps) {
    ProgressCounter counter = {};
    EXPECT_EQ(progressCounterStep(&counter), 0);
    EXPECT_EQ(counter.fillEdge, 0);
    EXPECT_STREQ(counter.text, "");
}
