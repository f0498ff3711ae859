// Version comparison: which installed version is newer than this installer's.
#include <gtest/gtest.h>

#include "common/versions.h"

namespace {

int sign(int value) { return (value > 0) - (value < 0); }

TEST(CompareVersions, ComparesEachPartAsANumber) {
    struct Case {
        const char *a, *b;
        int expected; // -1 a older, 0 same, 1 a newer
    } cases[] = {
        {"1.10.0", "1.9.0", 1}, // not compared as text
        {"2.0.0", "1.99.99", 1}, // the first differing part decides
        {"1.2.3", "1.2.3", 0},
        {"1.2", "1.2.0", 0}, // a missing part counts as 0
        {"1.2", "1.2.0.1", -1},
        {"1.02.0", "1.2.0", 0}, // leading zeros aside
        {"", "0", 0},
        {"", "0.0.1", -1},
        // Parts longer than any integer type still compare by their digits.
        {"1.99999999999999999999999", "1.100000000000000000000000", -1},
        {"1.4294967296", "1.4294967295", 1},
        {"2.1.0-beta", "2.1.0", 0}, // what follows the digits is not compared
        {"2.1.1-beta", "2.1.0", 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.expected, sign(compareVersions(c.a, c.b))) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.expected, sign(compareVersions(c.b, c.a))) << c.b << " vs " << c.a;
    }
}

} // namespace
