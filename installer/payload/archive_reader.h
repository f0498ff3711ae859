// Payload archive reader: walks the PayloadEntry records of the decompressed archive one at a
// time from the open file. Portable: no <windows.h>, so native tests and the fuzzer reach it.
//
// Record layout: u8 nameLength, nameLength name bytes (no terminator; the name ends at its first
// zero byte, but the position always advances by the full nameLength), u32 little-endian
// dataSize, then dataSize bytes of data.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "common/entry_names.h"

enum {
    ARCHIVE_NAME_BUFFER = 260, // the name buffer, cleared before each record
};

// Results of the reader's functions. Each failure has its own code.
enum ArchiveResult {
    ARCHIVE_OK = 0,
    ARCHIVE_END = 1,             // no byte left where a record's nameLength should be
    ARCHIVE_NAME_CUT_SHORT = 2,  // the archive ends inside the name
    ARCHIVE_EMPTY_NAME = 3,      // nameLength 0, or the name's first byte is zero
    ARCHIVE_UNSAFE_NAME = 4,     // a name the entry-name rule refuses (common/entry_names.h)
    ARCHIVE_SIZE_CUT_SHORT = 5,  // the archive ends inside dataSize
    ARCHIVE_SIZE_BEYOND_END = 6, // dataSize is larger than what remains of the archive
    ARCHIVE_DATA_CUT_SHORT = 7,  // fewer than dataSize bytes could be read
    ARCHIVE_OPEN_FAILED = 8,     // archiveOpen: the file cannot be opened or measured
};

struct ArchiveReader {
    FILE *file;
    uint64_t size;     // length of the archive file in bytes
    uint64_t position; // offset of the next unread byte
};

// Opens path for binary reading and measures it. ARCHIVE_OK or ARCHIVE_OPEN_FAILED (the file, if
// opened, is closed again and reader->file is NULL).
int archiveOpen(ArchiveReader *reader, const char *path);

// Takes an already open file (for example one made by fmemopen), measures it and rewinds it.
// ARCHIVE_OK or ARCHIVE_OPEN_FAILED; the file stays the caller's to close either way.
int archiveAttach(ArchiveReader *reader, FILE *file);

// Closes the file if one is open; safe to call twice.
void archiveClose(ArchiveReader *reader);

// Reads nameLength and the name into name (cleared to ARCHIVE_NAME_BUFFER zero bytes first) and
// checks it with the entry-name rule (isSafeEntryName). ARCHIVE_OK, ARCHIVE_END,
// ARCHIVE_NAME_CUT_SHORT, ARCHIVE_EMPTY_NAME or ARCHIVE_UNSAFE_NAME.
int archiveReadName(ArchiveReader *reader, char name[ARCHIVE_NAME_BUFFER]);

// Reads dataSize and checks it against the rest of the archive, before any memory is asked for.
// ARCHIVE_OK, ARCHIVE_SIZE_CUT_SHORT or ARCHIVE_SIZE_BEYOND_END.
int archiveReadSize(ArchiveReader *reader, uint32_t *dataSize);

// Reads exactly dataSize bytes into data (data may be NULL when dataSize is 0: an empty file is a
// valid record). ARCHIVE_OK or ARCHIVE_DATA_CUT_SHORT.
int archiveReadData(ArchiveReader *reader, void *data, uint32_t dataSize);

// The same records taken as the bytes arrive, in pieces of any size (the copy inflates the
// payload straight into the files, so no whole archive is ever at hand). The same name rule and
// the same result codes; a walk also fails on a byte after the last expected record.
enum {
    ARCHIVE_TRAILING = 9, // archiveStreamFeed: bytes follow the last expected record
    ARCHIVE_STOPPED = 10, // archiveStreamFeed: the sink asked to stop
};

// Where the records go. Each function returns 0 to go on, nonzero to stop the walk.
struct ArchiveSink {
    int (*begin)(void *context, const char *name, uint32_t dataSize); // name checked
    int (*data)(void *context, const void *bytes, size_t count);      // the next data bytes
    int (*end)(void *context);                                        // the record is whole
    void *context;
};

struct ArchiveStream {
    uint32_t expected; // records the archive holds
    uint32_t records;  // records whose data has begun
    int field;         // the part of a record the next byte belongs to
    uint32_t got;      // bytes of that part taken so far
    unsigned char nameLength;
    char name[ARCHIVE_NAME_BUFFER];
    unsigned char sizeBytes[4];
    uint32_t dataLeft;
    int result; // ARCHIVE_OK until the walk fails or is stopped; then what stopped it
};

// Starts a walk over an archive of expected records.
void archiveStreamBegin(ArchiveStream *stream, uint32_t expected);

// Takes the next count bytes: each record's begin, data and end go to sink as they complete.
// ARCHIVE_OK, or the failure that ended the walk (then every later call returns it too):
// ARCHIVE_EMPTY_NAME, ARCHIVE_UNSAFE_NAME, ARCHIVE_TRAILING or ARCHIVE_STOPPED.
int archiveStreamFeed(ArchiveStream *stream, const void *bytes, size_t count,
                      const ArchiveSink *sink);

// At the end of the input: ARCHIVE_OK when exactly the expected records are whole; otherwise
// where the bytes ran out: ARCHIVE_END (between records), ARCHIVE_NAME_CUT_SHORT,
// ARCHIVE_SIZE_CUT_SHORT or ARCHIVE_DATA_CUT_SHORT; or the failure that ended the walk.
int archiveStreamEnd(ArchiveStream *stream);
