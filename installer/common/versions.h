// Comparing product versions as dotted numbers. Portable: no <windows.h>.
#pragma once

// Compares two versions part by part ("1.10.0" is newer than "1.9.0"), each part as a whole
// number of any length, leading zeros aside; a missing part counts as 0 ("1.2" equals "1.2.0").
// Whatever follows a part's digits up to the next dot ("0-beta") is not compared. Returns a
// negative number when a is older than b, 0 when they are the same version, positive when a is
// newer.
int compareVersions(const char *a, const char *b);
