// Checks bitmap files before the viewer hands them to the system.
#include "bitmap_file.h"

// File header: "BM", file size, two reserved words, offset of the pixel rows.
static const size_t FILE_HEADER_SIZE = 14;
// Info header: the first version; 52, 56, 108 and 124 bytes are its later versions.
static const uint32_t INFO_HEADER_SIZE = 40;
static const uint32_t COMPRESSION_NONE = 0;      // BI_RGB
static const uint32_t COMPRESSION_BITFIELDS = 3; // BI_BITFIELDS: three masks after the header

static uint32_t readU32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static uint16_t readU16(const unsigned char *p) { return (uint16_t)(p[0] | p[1] << 8); }

static int supportedBitCount(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int checkBitmapFile(const unsigned char *data, size_t size, BitmapLayout *layout) {
    if (data == NULL || size < FILE_HEADER_SIZE + 4 || data[0] != 'B' || data[1] != 'M')
        return BITMAP_NOT_A_BITMAP;
    const unsigned char *info = data + FILE_HEADER_SIZE;
    uint32_t infoSize = readU32(info);
    if (infoSize < INFO_HEADER_SIZE)
        return infoSize == 12 ? BITMAP_UNSUPPORTED : BITMAP_DAMAGED;
    if (infoSize > size - FILE_HEADER_SIZE)
        return BITMAP_DAMAGED;

    int32_t width = (int32_t)readU32(info + 4);
    int32_t height = (int32_t)readU32(info + 8);
    int planes = readU16(info + 12);
    int bitCount = readU16(info + 14);
    uint32_t compression = readU32(info + 16);
    uint32_t coloursUsed = readU32(info + 32);
    if (planes != 1 || width <= 0 || height == 0 || height == INT32_MIN)
        return BITMAP_DAMAGED;
    int32_t rows = height < 0 ? -height : height;
    if (width > BITMAP_MAX_SIDE || rows > BITMAP_MAX_SIDE)
        return BITMAP_UNSUPPORTED;
    if (!supportedBitCount(bitCount))
        return bitCount == 0 ? BITMAP_UNSUPPORTED : BITMAP_DAMAGED;
    int masked = compression == COMPRESSION_BITFIELDS;
    if (compression != COMPRESSION_NONE && !masked)
        return BITMAP_UNSUPPORTED;
    if (masked && bitCount != 16 && bitCount != 32)
        return BITMAP_DAMAGED;

    // The system reads the masks (after a 40-byte header) and the colour table right after the
    // header, so they must lie in the file before the pixel rows end up being read.
    uint64_t tableEnd = FILE_HEADER_SIZE + (uint64_t)infoSize;
    if (masked && infoSize == INFO_HEADER_SIZE)
        tableEnd += 12;
    // Deeper bitmaps may carry an optional table of coloursUsed entries.
    uint64_t colours = coloursUsed;
    if (bitCount <= 8) {
        uint64_t most = (uint64_t)1 << bitCount;
        if (coloursUsed > most)
            return BITMAP_DAMAGED;
        colours = coloursUsed != 0 ? coloursUsed : most;
    }
    tableEnd += colours * 4;

    uint64_t stride = ((uint64_t)width * (uint64_t)bitCount + 31) / 32 * 4;
    uint64_t bitsOffset = readU32(data + 10);
    if (tableEnd > size || bitsOffset < tableEnd || bitsOffset + stride * (uint64_t)rows > size)
        return BITMAP_DAMAGED;

    layout->infoOffset = FILE_HEADER_SIZE;
    layout->bitsOffset = (size_t)bitsOffset;
    layout->width = width;
    layout->height = height;
    layout->bitCount = bitCount;
    return BITMAP_OK;
}
