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

// The checks every complete name passes, whichever way it was read.
static int checkName(const char name[ARCHIVE_NAME_BUFFER]) {
    if (name[0] == '\0')
        return ARCHIVE_EMPTY_NAME;
    if (!isSafeEntryName(name))
        return ARCHIVE_UNSAFE_NAME;
    return ARCHIVE_OK;
}

static uint32_t littleEndian32(const unsigned char bytes[4]) {
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
           (uint32_t)bytes[3] << 24;
}

int archiveReadName(ArchiveReader *reader, char name[ARCHIVE_NAME_BUFFER]) {
    memset(name, 0, ARCHIVE_NAME_BUFFER);
    unsigned char nameLength;
    if (readBytes(reader, &nameLength, 1) != 1)
        return ARCHIVE_END;
    // nameLength is at most 255, so the name always keeps a terminating zero in the buffer.
    if (readBytes(reader, name, nameLength) != nameLength)
        return ARCHIVE_NAME_CUT_SHORT;
    return checkName(name);
}

int archiveReadSize(ArchiveReader *reader, uint32_t *dataSize) {
    unsigned char bytes[4];
    *dataSize = 0;
    if (readBytes(reader, bytes, 4) != 4)
        return ARCHIVE_SIZE_CUT_SHORT;
    *dataSize = littleEndian32(bytes);
    if (*dataSize > remainingBytes(reader))
        return ARCHIVE_SIZE_BEYOND_END;
    return ARCHIVE_OK;
}

int archiveReadData(ArchiveReader *reader, void *data, uint32_t dataSize) {
    if (readBytes(reader, data, dataSize) != dataSize)
        return ARCHIVE_DATA_CUT_SHORT;
    return ARCHIVE_OK;
}

// The parts of a record, in the order their bytes arrive.
enum StreamField { FIELD_NAME_LENGTH, FIELD_NAME, FIELD_SIZE, FIELD_DATA };

void archiveStreamBegin(ArchiveStream *stream, uint32_t expected) {
    memset(stream, 0, sizeof(*stream));
    stream->expected = expected;
    stream->field = FIELD_NAME_LENGTH;
}

// Ends the walk with result; returns it.
static int stopStream(ArchiveStream *stream, int result) {
    stream->result = result;
    return result;
}

// The record's data is whole: tells the sink and waits for the next record's name length.
static int endRecord(ArchiveStream *stream, const ArchiveSink *sink) {
    stream->field = FIELD_NAME_LENGTH;
    stream->got = 0;
    return sink->end(sink->context) != 0 ? stopStream(stream, ARCHIVE_STOPPED) : ARCHIVE_OK;
}

// The checked name and the size are in: opens the record with the sink.
static int beginRecord(ArchiveStream *stream, const ArchiveSink *sink) {
    stream->dataLeft = littleEndian32(stream->sizeBytes);
    stream->records++;
    stream->field = FIELD_DATA;
    if (sink->begin(sink->context, stream->name, stream->dataLeft) != 0)
        return stopStream(stream, ARCHIVE_STOPPED);
    return stream->dataLeft == 0 ? endRecord(stream, sink) : ARCHIVE_OK;
}

// Takes header bytes (length, name, size) one field at a time; returns how many it used.
static size_t takeHeader(ArchiveStream *stream, const unsigned char *bytes, size_t count) {
    if (stream->field == FIELD_NAME_LENGTH) {
        stream->nameLength = bytes[0];
        memset(stream->name, 0, sizeof(stream->name));
        stream->got = 0;
        stream->field = stream->nameLength > 0 ? FIELD_NAME : FIELD_SIZE;
        return 1;
    }
    unsigned char *into =
        stream->field == FIELD_NAME ? (unsigned char *)stream->name : stream->sizeBytes;
    uint32_t want = stream->field == FIELD_NAME ? stream->nameLength : 4;
    size_t take = want - stream->got < count ? want - stream->got : count;
    memcpy(into + stream->got, bytes, take);
    stream->got += (uint32_t)take;
    if (stream->got == want) {
        stream->got = 0;
        stream->field = stream->field == FIELD_NAME ? FIELD_SIZE : FIELD_DATA;
    }
    return take;
}

int archiveStreamFeed(ArchiveStream *stream, const void *bytes, size_t count,
                      const ArchiveSink *sink) {
    const unsigned char *at = (const unsigned char *)bytes;
    while (stream->result == ARCHIVE_OK && count > 0) {
        if (stream->field == FIELD_DATA) {
            size_t take = stream->dataLeft < count ? stream->dataLeft : count;
            if (sink->data(sink->context, at, take) != 0)
                return stopStream(stream, ARCHIVE_STOPPED);
            stream->dataLeft -= (uint32_t)take;
            at += take;
            count -= take;
            if (stream->dataLeft == 0 && endRecord(stream, sink) != ARCHIVE_OK)
                break;
            continue;
        }
        if (stream->field == FIELD_NAME_LENGTH && stream->records == stream->expected)
            return stopStream(stream, ARCHIVE_TRAILING);
        size_t used = takeHeader(stream, at, count);
        at += used;
        count -= used;
        // A name is checked as soon as it is whole, before its size is read, as the file
        // reader checks it.
        if (stream->field == FIELD_SIZE && stream->got == 0 && checkName(stream->name) != 0)
            return stopStream(stream, checkName(stream->name));
        if (stream->field == FIELD_DATA && beginRecord(stream, sink) != ARCHIVE_OK)
            break;
    }
    return stream->result;
}

int archiveStreamEnd(ArchiveStream *stream) {
    if (stream->result != ARCHIVE_OK)
        return stream->result;
    switch (stream->field) {
    case FIELD_NAME:
        return ARCHIVE_NAME_CUT_SHORT;
    case FIELD_SIZE:
        return ARCHIVE_SIZE_CUT_SHORT;
    case FIELD_DATA:
        return ARCHIVE_DATA_CUT_SHORT;
    default:
        return stream->records == stream->expected ? ARCHIVE_OK : ARCHIVE_END;
    }
}
