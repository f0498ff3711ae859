// Version comparison, part by part, without converting parts to a fixed-size integer: a part of
// any length compares by its digits.
#include "common/versions.h"

// One dotted part: its significant digits (leading zeros skipped) and how many there are.
struct VersionPart {
    const char *digits;
    int length;
};

static int isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the part at *text and moves *text past it and its dot. At the end of the text the part
// is empty, which compares as 0.
static VersionPart nextPart(const char **text) {
    const char *p = *text;
    while (*p == '0')
        p++;
    VersionPart part = {p, 0};
    while (isDigit(p[part.length]))
        part.length++;
    p += part.length;
    while (*p != '\0' && *p != '.')
        p++;
    if (*p == '.')
        p++;
    *text = p;
    return part;
}

static int comparePart(VersionPart a, VersionPart b) {
    if (a.length != b.length)
        return a.length < b.length ? -1 : 1;
    for (int i = 0; i < a.length; i++)
        if (a.digits[i] != b.digits[i])
            return a.digits[i] < b.digits[i] ? -1 : 1;
    return 0;
}

int compareVersions(const char *a, const char *b) {
    while (*a != '\0' || *b != '\0') {
        int order = comparePart(nextPart(&a), nextPart(&b));
        if (order != 0)
            return order;
    }
    return 0;
}
