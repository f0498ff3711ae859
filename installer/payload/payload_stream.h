// Payload stream: inflates the payload from memory in one bounded buffer and hands the archive
// records to a sink as their bytes arrive, so no byte of the payload is written anywhere but
// into its file. Portable: no <windows.h>, so native tests and the fuzzer reach it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <zlib.h>

#include "payload/archive_reader.h"

enum {
    PAYLOAD_CHUNK = 65536, // bytes inflated at a time: the one buffer between payload and files
};

// Results of payloadUnpack.
enum PayloadResult {
    PAYLOAD_OK = 0,        // every expected record whole; each gzip member's CRC-32 and length
                           // matched; nothing follows the last member
    PAYLOAD_DAMAGED = 1,   // zlib refused the data (a bad block, header, CRC-32 or length)
    PAYLOAD_CUT_SHORT = 2, // the payload ends inside a gzip member
    PAYLOAD_TRAILING = 3,  // bytes after the last member that do not start another member
    PAYLOAD_ARCHIVE = 4,   // the archive inside is refused: archiveResult says why
    PAYLOAD_STOPPED = 5,   // the sink asked to stop (a write failed, or a cancel)
    PAYLOAD_NO_MEMORY = 6, // zlib could not get its state
};

struct PayloadStream {
    z_stream zlib;
    ArchiveStream archive;
    int archiveResult;   // the archive walk's result (archive_reader.h)
    const char *problem; // for any failure but PAYLOAD_STOPPED: a short text for the user
    unsigned char buffer[PAYLOAD_CHUNK];
};

// Unpacks payload (size bytes: one or more gzip members, or a plain archive when it does not
// start like gzip data) holding expected records into sink. Every record before a failure has
// gone to the sink whole: a damaged payload is found at the latest at its end, so the caller
// takes back what the sink wrote when the result is not PAYLOAD_OK.
int payloadUnpack(PayloadStream *stream, const void *payload, size_t size, uint32_t expected,
                  const ArchiveSink *sink);
