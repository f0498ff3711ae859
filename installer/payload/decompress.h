// Gzip file decompression of the payload, with zlib's gzip file interface.
#pragma once

enum {
    DECOMPRESS_CHUNK = 16384, // bytes per gzread
};

// Results of DecompressFile. Every failure has also been reported in a message box.
enum DecompressResult {
    DECOMPRESS_OK = 0,             // all data written, gzip CRC-32 and length matched
    DECOMPRESS_OPEN_FAILED = 1,    // "Can't open file %s\n": the source cannot be opened
    DECOMPRESS_CREATE_FAILED = 2,  // "Can't create file %s\n": the destination cannot be made
    DECOMPRESS_STREAM_ERROR = 3,   // gzread failed: damaged stream, CRC or length mismatch
    DECOMPRESS_WRITE_FAILED = 4,   // "failed fwrite"
    DECOMPRESS_CLOSE_FAILED = 5,   // "failed fclose"
    DECOMPRESS_GZCLOSE_FAILED = 6, // "failed gzclose"
};

// Decompresses the gzip file source into destination (destination first). Both files are
// closed on every path. Returns DECOMPRESS_OK only when the output is complete and verified.
int DecompressFile(const char *destination, const char *source);
