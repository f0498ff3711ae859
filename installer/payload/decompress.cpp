// Gzip file decompression: turns the payload's gzip file into the plain archive file, reporting
// every problem in a message box and telling the caller whether the output is whole.
#include "payload/decompress.h"

#include <windows.h>

#include <string.h>

#include "common/setup_log.h"
#include "common/setup_state.h"

// One message of this file: the longest holds a 512-character path and zlib's text.
static char gzipMessage[1025];

// Closes the gzip file being read. gzclose_r is what gzclose does for a file opened to read;
// calling it directly keeps zlib's compressor, which gzclose links in for files opened to
// write, out of the installer. Returns zlib's result (Z_OK, or Z_BUF_ERROR for a cut-short file).
static int closeGzipInput(gzFile input) { return gzclose_r(input); }

// Every message goes to the log; a message box only when someone is there to read it.
static void showGzipMessage() {
    SetupLog("%s", gzipMessage);
    if (!setup.unattended)
        MessageBoxA(NULL, gzipMessage, NULL, MB_OK);
}

void ReportGzipError(const char *description) {
    wsprintfA(gzipMessage, "%s: %s\n", GZIP_ERROR_NAME, description);
    showGzipMessage();
}

static int endsWith(const char *text, const char *tail) {
    size_t textLength = strlen(text), tailLength = strlen(tail);
    return textLength >= tailLength && strcmp(text + textLength - tailLength, tail) == 0;
}

// gzread drops the bytes it decoded in a call that ends on a data error, so the last good bytes
// before damage, or the whole last chunk before a bad CRC, never reach the caller. This decodes
// the source once more with inflate, the way gzread walks it (members one after another, anything
// that does not start like a member ends the data), skips the alreadyWritten bytes and writes
// the rest up to the point where decoding fails. Returns 0 when every write succeeded.
static int writeUndeliveredTail(const char *sourcePath, FILE *output, z_off_t alreadyWritten) {
    FILE *source = fopen(sourcePath, "rb");
    if (source == NULL)
        return 0;
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, 15 + 16) != Z_OK) {
        fclose(source);
        return 0;
    }
    static unsigned char input[DECOMPRESS_CHUNK], decoded[DECOMPRESS_CHUNK];
    z_off_t total = 0;
    int failed = 0, done = 0;
    while (!done) {
        if (stream.avail_in == 0) {
            stream.avail_in = (uInt)fread(input, 1, sizeof input, source);
            stream.next_in = input;
            if (stream.avail_in == 0)
                break;
        }
        stream.next_out = decoded;
        stream.avail_out = sizeof decoded;
        int status = inflate(&stream, Z_NO_FLUSH);
        size_t count = sizeof decoded - stream.avail_out;
        size_t skip = 0;
        if (total < alreadyWritten)
            skip =
                (size_t)(alreadyWritten - total) < count ? (size_t)(alreadyWritten - total) : count;
        if (count > skip && fwrite(decoded + skip, 1, count - skip, output) != count - skip)
            failed = 1;
        total += (z_off_t)count;
        if (status == Z_STREAM_END) {
            // Another member follows only if its magic bytes do.
            if (stream.avail_in < 2) {
                memmove(input, stream.next_in, stream.avail_in);
                stream.avail_in +=
                    (uInt)fread(input + stream.avail_in, 1, sizeof input - stream.avail_in, source);
                stream.next_in = input;
            }
            if (stream.avail_in >= 2 && stream.next_in[0] == 0x1f && stream.next_in[1] == 0x8b)
                inflateReset(&stream);
            else
                done = 1;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            done = 1;
        } else if (status == Z_BUF_ERROR && stream.avail_in != 0) {
            done = 1;
        }
    }
    inflateEnd(&stream);
    fclose(source);
    return failed;
}

int DecompressStream(gzFile input, FILE *output, const char *sourcePath) {
    char buffer[DECOMPRESS_CHUNK];
    z_off_t written = 0;
    for (;;) {
        int count = gzread(input, buffer, sizeof buffer);
        if (count < 0) {
            int errorCode = Z_OK;
            const char *text = gzerror(input, &errorCode);
            int result = DECOMPRESS_STREAM_ERROR;
            if (errorCode == Z_DATA_ERROR) {
                if (endsWith(text, "incorrect data check") ||
                    endsWith(text, "incorrect length check"))
                    result = DECOMPRESS_CHECK_FAILED;
                if (writeUndeliveredTail(sourcePath, output, written) != 0)
                    result = DECOMPRESS_WRITE_FAILED;
            }
            // gzerror's text lives in the handle: show it before the handle is closed.
            ReportGzipError(text);
            fclose(output);
            closeGzipInput(input);
            return result;
        }
        if (count == 0)
            break;
        if (fwrite(buffer, 1, (size_t)count, output) != (size_t)count) {
            ReportGzipError("failed fwrite");
            fclose(output);
            closeGzipInput(input);
            return DECOMPRESS_WRITE_FAILED;
        }
        written += count;
    }
    int result = DECOMPRESS_OK;
    int errorCode = Z_OK;
    gzerror(input, &errorCode);
    if (errorCode == Z_BUF_ERROR)
        result = DECOMPRESS_CUT_SHORT; // "unexpected end of file": gzclose reports it below
    if (fclose(output) != 0) {
        ReportGzipError("failed fclose");
        if (result == DECOMPRESS_OK)
            result = DECOMPRESS_CLOSE_FAILED;
    }
    if (closeGzipInput(input) != Z_OK) {
        ReportGzipError("failed gzclose");
        if (result == DECOMPRESS_OK)
            result = DECOMPRESS_GZCLOSE_FAILED;
    }
    return result;
}

int DecompressFile(const char *destination, const char *source) {
    gzFile input = gzopen(source, "rb");
    if (input == NULL) {
        wsprintfA(gzipMessage, "Can't open file %s\n", source);
        showGzipMessage();
        return DECOMPRESS_OPEN_FAILED;
    }
    FILE *output = fopen(destination, "wb");
    if (output == NULL) {
        wsprintfA(gzipMessage, "Can't create file %s\n", destination);
        showGzipMessage();
        closeGzipInput(input);
        return DECOMPRESS_CREATE_FAILED;
    }
    return DecompressStream(input, output, source);
}
