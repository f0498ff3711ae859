// Payload archive reader: takes the PayloadEntry records of the decompressed archive one at a
// time from the open file, and refuses records that would install corrupt or unsafe files.
#include "payload/archive_reader.h"

#include <string.h>

// Reads up to count bytes and advances the position by what was read.
static size_t readBytes(ArchiveReader *reader, void *buffer, size_t count) {
    size_t got = count ? fread(buffer, 1, count, reader->file) : 0;
    reader->position += got;
    return got;
}

static uint64_t remainingBytes(const ArchiveReader *reader) {
    return reader->position < reader->size ? reader->size - reader->position : 0;
}

int archiveAttach(ArchiveReader *reader, FILE *file) {
    reader->file = file;
    reader->size = 0;
    reader->position = 0;
    if (file == NULL || fseek(file, 0, SEEK_END) != 0)
        return ARCHIVE_OPEN_FAILED;
    long end = ftell(file);
    if (end < 0 || fseek(file, 0, SEEK_SET) != 0)
        return ARCHIVE_OPEN_FAILED;
    reader->size = (uint64_t)end;
    return ARCHIVE_OK;
}

int archiveOpen(ArchiveReader *reader, const char *path) {
    reader->file = NULL;
    reader->size = 0;
    reader->position = 0;
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return ARCHIVE_OPEN_FAILED;
    if (archiveAttach(reader, file) != ARCHIVE_OK) {
        fclose(file);
        reader->file = NULL;
        return ARCHIVE_OPEN_FAILED;
    }
    return ARCHIVE_OK;
}

void archiveClose(ArchiveReader *reader) {
    if (reader->file != NULL)
        fclose(reader->file);
    reader->file = NULL;
}

int archiveReadName(ArchiveReader *reader, char name[ARCHIVE_NAME_BUFFER]) {
    memset(name, 0, ARCHIVE_NAME_BUFFER);
    unsigned char nameLength;
    if (readBytes(reader, &nameLength, 1) != 1)
        return ARCHIVE_END;
    // nameLength is at most 255, so the name always keeps a terminating zero in the buffer.
    if (readBytes(reader, name, nameLength) != nameLength)
        return ARCHIVE_NAME_CUT_SHORT;
    if (name[0] == '\0')
        return ARCHIVE_EMPTY_NAME;
    if (!isSafeEntryName(name))
        return ARCHIVE_UNSAFE_NAME;
    return ARCHIVE_OK;
}

int archiveReadSize(ArchiveReader *reader, uint32_t *dataSize) {
    unsigned char bytes[4];
    *dataSize = 0;
    if (readBytes(reader, bytes, 4) != 4)
        return ARCHIVE_SIZE_CUT_SHORT;
    *dataSize = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
                (uint32_t)bytes[3] << 24;
    if (*dataSize > remainingBytes(reader))
        return ARCHIVE_SIZE_BEYOND_END;
    return ARCHIVE_OK;
}

int archiveReadData(ArchiveReader *reader, void *data, uint32_t dataSize) {
    if (readBytes(reader, data, dataSize) != dataSize)
        return ARCHIVE_DATA_CUT_SHORT;
    return ARCHIVE_OK;
}
