// Destination rules without a window: reading the logical
// drive strings into the drive table, and turning a free-space query into kilobytes.
// Portable: no window system needed, so native tests reach it.
#pragma once

#include <stddef.h>

#include "common/paths.h" // joinDestination and isFolderName, the rules of installDir

// Walks the NUL-separated root strings of a logical-drive list (ended by an empty string) and
// copies them, upper-cased, into roots, at most maxRoots entries of rootSize characters.
// Only whole entries are taken: one cut off by the end of the bufferLength characters ends the
// walk, and an entry too long for rootSize is passed over. *selected is set to the index of the
// entry whose first character equals startDrive (upper case), and left alone when none does.
// Returns the number of entries written.
int readDriveStrings(const char *buffer, size_t bufferLength, char *roots, int maxRoots,
                     size_t rootSize, char startDrive, int *selected);

// Writes the drive-string list for a logical-drive bit mask (bit 0 drive A) into buffer, as
// many whole "X:\" entries as fit, ended by an empty string. Used when the system's list does not
// fit the drive buffer (more than 24 drives). Returns the characters written, final NUL excluded.
size_t driveStringsFromMask(unsigned long mask, char *buffer, size_t bufferLength);

// Index of the first entry of roots whose first character is letter (either case), or -1.
int findDrive(const char *roots, int count, size_t rootSize, char letter);

// Free space in kilobytes of 1000 bytes from a free-space query: the product of the three
// counts formed in 64 bits, divided by 1000, and clamped to the largest unsigned 32-bit value.
unsigned int freeKilobytes(unsigned long sectorsPerCluster, unsigned long bytesPerSector,
                           unsigned long freeClusters);

// Writes the drive letter of windowsDir followed by ":\Program files" into out, the default
// parent of the destination. Returns 1 and leaves out empty when windowsDir is empty or out is
// too small, 0 on success.
int programFilesOn(char *out, size_t outSize, const char *windowsDir);
