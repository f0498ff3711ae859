// Gzip file decompression of the payload, with zlib's gzip file interface.
#pragma once

#include <stdio.h>
#include <zlib.h>

#include "common/product.h"

enum {
    DECOMPRESS_CHUNK = 16384, // bytes per gzread
};

// The name before the first colon of every "%s: %s\n" message of ReportGzipError.
#define GZIP_ERROR_NAME PRODUCT_NAME " Setup"

// Results of DecompressFile and DecompressStream. Every failure has also been reported in one
// message box (no owner, the system's default caption, no icon, one OK button).
enum DecompressResult {
    DECOMPRESS_OK = 0,             // all data written, gzip CRC-32 and length matched
    DECOMPRESS_OPEN_FAILED = 1,    // "Can't open file %s\n": the source cannot be opened
    DECOMPRESS_CREATE_FAILED = 2,  // "Can't create file %s\n": the destination cannot be made
    DECOMPRESS_STREAM_ERROR = 3,   // gzread failed on damaged data: "<name>: <path>: <zlib text>"
    DECOMPRESS_WRITE_FAILED = 4,   // "failed fwrite"
    DECOMPRESS_CLOSE_FAILED = 5,   // "failed fclose"
    DECOMPRESS_GZCLOSE_FAILED = 6, // "failed gzclose" for any other reason
    DECOMPRESS_CHECK_FAILED = 7,   // CRC-32 or length in the trailer did not match (zlib's
                                   // "incorrect data check" / "incorrect length check"); every
                                   // decoded byte has been written before the message
    DECOMPRESS_CUT_SHORT = 8,      // the gzip member ends early; zlib reports it only when the
                                   // file is closed, so the message is "failed gzclose"
};

// Decompresses the gzip file source into destination (destination first). A source that is not
// gzip data is copied unchanged; concatenated members give the concatenation of their contents.
// Both files are closed on every path. Returns DECOMPRESS_OK only when the output is complete and
// verified. Neither file is deleted.
int DecompressFile(const char *destination, const char *source);

// The read-write loop over an open gzip input and an open output; closes both. sourcePath is the
// input's path, used only to write out the bytes zlib decoded but did not hand over when it
// stopped on damaged data.
int DecompressStream(gzFile input, FILE *output, const char *sourcePath);

// Shows "%s: %s\n" with GZIP_ERROR_NAME and description.
void ReportGzipError(const char *description);
