// The free space an installation asks for, from the total of its files' sizes: the pack run
// writes it beside the payload. Portable, so the pack tool and the native tests share it.
#pragma once

#include <stdint.h>

// Kilobytes (of 1000 bytes) asked for files of dataBytes in all, rounded up. The figure scales
// with the product from the one the destination page has always shown for the sample product:
// 3698 kilobytes for its 3,941,974 bytes of files. A copy that still meets a full disk is taken
// back whole.
inline uint64_t requiredKilobytes(uint64_t dataBytes) {
    const uint64_t sampleKilobytes = 3698, sampleBytes = 3941974;
    return (dataBytes * sampleKilobytes + sampleBytes - 1) / sampleBytes;
}
