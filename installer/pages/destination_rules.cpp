// Destination rules without a window: path joining, the drive-string walk and free space.
#include "pages/destination_rules.h"

#include <stdint.h>
#include <string.h>

static const char PROGRAM_FILES_SUFFIX[] = ":\\Program files";

static char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

int readDriveStrings(const char *buffer, size_t bufferLength, char *roots, int maxRoots,
                     size_t rootSize, char startDrive, int *selected) {
    int count = 0;
    size_t position = 0;
    char start = upperAscii(startDrive);
    while (count < maxRoots && position < bufferLength && buffer[position] != '\0') {
        const char *entry = buffer + position;
        const void *end = memchr(entry, '\0', bufferLength - position);
        if (end == NULL)
            break; // cut off by the end of the buffer: not a whole entry
        size_t length = (size_t)((const char *)end - entry);
        position += length + 1;
        if (length + 1 > rootSize)
            continue;
        char *root = roots + (size_t)count * rootSize;
        for (size_t i = 0; i < length; i++)
            root[i] = upperAscii(entry[i]);
        root[length] = '\0';
        if (start != '\0' && root[0] == start)
            *selected = count;
        count++;
    }
    return count;
}

size_t driveStringsFromMask(unsigned long mask, char *buffer, size_t bufferLength) {
    size_t written = 0;
    if (bufferLength == 0)
        return 0;
    for (int drive = 0; drive < 26; drive++) {
        if ((mask & (1UL << drive)) == 0)
            continue;
        if (written + 4 + 1 > bufferLength)
            break; // "X:\" and its NUL, with room for the list's closing NUL
        buffer[written++] = (char)('A' + drive);
        buffer[written++] = ':';
        buffer[written++] = '\\';
        buffer[written++] = '\0';
    }
    buffer[written] = '\0';
    return written;
}

int findDrive(const char *roots, int count, size_t rootSize, char letter) {
    char wanted = upperAscii(letter);
    for (int i = 0; i < count; i++) {
        if (upperAscii(roots[(size_t)i * rootSize]) == wanted)
            return i;
    }
    return -1;
}

unsigned int freeKilobytes(unsigned long sectorsPerCluster, unsigned long bytesPerSector,
                           unsigned long freeClusters) {
    const uint64_t largest = 0xFFFFFFFFu;
    uint64_t clusterBytes = (uint64_t)sectorsPerCluster * (uint64_t)bytesPerSector;
    if (freeClusters != 0 && clusterBytes > UINT64_MAX / freeClusters)
        return (unsigned int)largest;
    uint64_t kilobytes = clusterBytes * (uint64_t)freeClusters / 1000;
    return (unsigned int)(kilobytes > largest ? largest : kilobytes);
}

int programFilesOn(char *out, size_t outSize, const char *windowsDir) {
    if (outSize > 0)
        out[0] = '\0';
    if (windowsDir[0] == '\0' || outSize < sizeof(PROGRAM_FILES_SUFFIX) + 1)
        return 1;
    out[0] = windowsDir[0];
    memcpy(out + 1, PROGRAM_FILES_SUFFIX, sizeof(PROGRAM_FILES_SUFFIX));
    return 0;
}
