// Payload stream: zlib's streaming inflate over the payload in memory, its output fed straight
// to the archive walk in pieces of at most PAYLOAD_CHUNK bytes.
#include "payload/payload_stream.h"

#include <string.h>

static const char PROBLEM_CUT_SHORT[] = "unexpected end of file";
static const char PROBLEM_TRAILING[] = "data after the end of the payload";
static const char PROBLEM_NO_MEMORY[] = "out of memory";
static const char PROBLEM_DAMAGED[] = "damaged data";

// The texts of the archive walk's failures, by ArchiveResult.
static const char *const ARCHIVE_PROBLEMS[] = {
    "",
    "the archive holds fewer files than it should",
    "a file name is cut short",
    "a file has no name",
    "a file name is not allowed",
    "a file size is cut short",
    "a file is larger than the archive",
    "a file's data is cut short",
    "the archive cannot be opened",
    "data after the last file",
    "",
};

static int archiveFailure(PayloadStream *stream, int result) {
    stream->archiveResult = result;
    if (result == ARCHIVE_STOPPED)
        return PAYLOAD_STOPPED;
    stream->problem = ARCHIVE_PROBLEMS[result];
    return PAYLOAD_ARCHIVE;
}

static int failWith(PayloadStream *stream, int result, const char *problem) {
    stream->problem = problem;
    return result;
}

static int startsGzipMember(const unsigned char *bytes, size_t size) {
    return size >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b;
}

// A payload that is not gzip data is the archive itself, fed in the same bounded pieces.
static int unpackPlain(PayloadStream *stream, const unsigned char *bytes, size_t size,
                       const ArchiveSink *sink) {
    while (size > 0) {
        size_t piece = size < (size_t)PAYLOAD_CHUNK ? size : (size_t)PAYLOAD_CHUNK;
        int fed = archiveStreamFeed(&stream->archive, bytes, piece, sink);
        if (fed != ARCHIVE_OK)
            return archiveFailure(stream, fed);
        bytes += piece;
        size -= piece;
    }
    return PAYLOAD_OK;
}

// Inflates every member into the archive walk. The payload is handed to zlib at most 1 GiB at a
// time (avail_in is 32 bits).
static int inflateMembers(PayloadStream *stream, const unsigned char *bytes, size_t size,
                          const ArchiveSink *sink) {
    z_stream *zlib = &stream->zlib;
    size_t fed = 0;
    for (;;) {
        if (zlib->avail_in == 0 && fed < size) {
            size_t piece = size - fed < ((size_t)1 << 30) ? size - fed : ((size_t)1 << 30);
            zlib->next_in = (Bytef *)(bytes + fed);
            zlib->avail_in = (uInt)piece;
            fed += piece;
        }
        zlib->next_out = stream->buffer;
        zlib->avail_out = PAYLOAD_CHUNK;
        int status = inflate(zlib, Z_NO_FLUSH);
        size_t produced = PAYLOAD_CHUNK - zlib->avail_out;
        if (produced > 0) {
            int walked = archiveStreamFeed(&stream->archive, stream->buffer, produced, sink);
            if (walked != ARCHIVE_OK)
                return archiveFailure(stream, walked);
        }
        if (status == Z_STREAM_END) {
            size_t left = zlib->avail_in + (size - fed);
            if (left == 0)
                return PAYLOAD_OK;
            if (zlib->avail_in < 2 || !startsGzipMember(zlib->next_in, zlib->avail_in))
                return failWith(stream, PAYLOAD_TRAILING, PROBLEM_TRAILING);
            inflateReset(zlib);
            continue;
        }
        if (status == Z_MEM_ERROR)
            return failWith(stream, PAYLOAD_NO_MEMORY, PROBLEM_NO_MEMORY);
        if (status == Z_BUF_ERROR ||
            (status == Z_OK && produced == 0 && zlib->avail_in == 0 && fed == size))
            return failWith(stream, PAYLOAD_CUT_SHORT, PROBLEM_CUT_SHORT);
        if (status != Z_OK)
            return failWith(stream, PAYLOAD_DAMAGED,
                            zlib->msg != NULL ? zlib->msg : PROBLEM_DAMAGED);
    }
}

int payloadUnpack(PayloadStream *stream, const void *payload, size_t size, uint32_t expected,
                  const ArchiveSink *sink) {
    const unsigned char *bytes = (const unsigned char *)payload;
    stream->archiveResult = ARCHIVE_OK;
    stream->problem = "";
    archiveStreamBegin(&stream->archive, expected);
    int result;
    if (!startsGzipMember(bytes, size)) {
        result = unpackPlain(stream, bytes, size, sink);
    } else {
        memset(&stream->zlib, 0, sizeof(stream->zlib));
        // 15 + 16: the largest window, and a gzip header and trailer around the deflate data.
        if (inflateInit2(&stream->zlib, 15 + 16) != Z_OK)
            return failWith(stream, PAYLOAD_NO_MEMORY, PROBLEM_NO_MEMORY);
        result = inflateMembers(stream, bytes, size, sink);
        inflateEnd(&stream->zlib);
    }
    if (result != PAYLOAD_OK)
        return result;
    int ended = archiveStreamEnd(&stream->archive);
    return ended == ARCHIVE_OK ? PAYLOAD_OK : archiveFailure(stream, ended);
}
