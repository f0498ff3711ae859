// The payload builder's work, shared by the pack command, its tests and the fuzzer: collect a
// product's files, write the archive and its gzip member, and take a payload apart again by the
// installer's own reading rules.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// One record to pack: its name in the archive ("\" separators, in the target code page) and the
// file that supplies its data.
struct PackEntry {
    std::string name;
    std::string sourcePath;
};

// The product folder's regular files, every level, in byte order of their archive names.
bool collectFromFolder(const std::string &folder, int codePage, std::vector<PackEntry> *entries,
                       std::string *error);

// The files a list names, in the list's order: one path per line relative to folder, "/" or "\"
// as separator; blank lines and lines starting with '#' are skipped.
bool collectFromList(const std::string &folder, const std::string &listPath, int codePage,
                     std::vector<PackEntry> *entries, std::string *error);

// Turns a relative path as found on disk into an archive name, or says why it cannot be one:
// longer than 255 bytes, unsafe, characters Windows refuses in file names, or non-ASCII when no
// code page is given (codePage 0). With a code page, UTF-8 names are converted to it.
bool makeEntryName(const std::string &relativePath, int codePage, std::string *name,
                   std::string *error);

// The archive: the entries' records back to back.
bool buildArchive(const std::vector<PackEntry> &entries, std::string *archive, std::string *error);

// One gzip member of data at the best compression: the fixed ten-byte header
// 1F 8B 08 00 00 00 00 00 00 0B, raw deflate, CRC-32 and length. Same input, same bytes.
std::string gzipMember(const std::string &data);

// A block of bytes in memory of its own, for a whole payload or archive: an anonymous mapping in
// whole large pages (2 MiB), asked for as such (MADV_HUGEPAGE). Fresh memory otherwise costs a
// page fault at each 4 KiB on its first touch, and on a virtual machine those faults took most
// of an unpack's time. Bytes added by resize are zero.
class ByteBlock {
  public:
    ByteBlock() {}
    ~ByteBlock();
    ByteBlock(ByteBlock &&other) noexcept;
    ByteBlock &operator=(ByteBlock &&other) noexcept;
    ByteBlock(const ByteBlock &) = delete;
    ByteBlock &operator=(const ByteBlock &) = delete;

    char *data() { return data_; }
    const char *data() const { return data_; }
    size_t size() const { return size_; }
    // False when the memory cannot be had; the block is then unchanged.
    bool resize(size_t size);

  private:
    char *data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// What taking the gzip layer apart found.
struct GzipLayer {
    bool isGzip = false;        // the data starts with the gzip magic bytes
    int members = 0;            // complete members decoded
    uint64_t trailingBytes = 0; // bytes after the last member that do not start another one
};

// Decodes a payload as the installer's gzip reader does: data that is not gzip passes through
// unchanged, members follow one another, trailing bytes that start no member are ignored. False
// with the reason on a damaged, cut-short or mismatching member, or output above maxOutput.
bool gunzipPayload(const uint8_t *data, size_t size, std::string *archive, GzipLayer *layer,
                   std::string *error, uint64_t maxOutput = (uint64_t)1 << 32);
// The same into a ByteBlock: zlib writes straight into it, sized from the gzip trailer.
bool gunzipPayload(const uint8_t *data, size_t size, ByteBlock *archive, GzipLayer *layer,
                   std::string *error, uint64_t maxOutput = (uint64_t)1 << 32);

struct RecordInfo {
    std::string name;
    uint32_t size;
};

// Walks the archive's records with the installer's reader. count < 0 reads until the archive
// ends cleanly; otherwise exactly count records are read and any bytes after them are left
// (trailingBytes). With unpackDir, each record's directories are made (at every separator after
// the first character, as the installer does) and its file is written below unpackDir.
// Each record's data is taken from where it lies in the archive, never copied.
bool walkArchive(const char *archive, size_t archiveSize, long count, const char *unpackDir,
                 std::vector<RecordInfo> *records, uint64_t *trailingBytes, std::string *error);
inline bool walkArchive(const std::string &archive, long count, const char *unpackDir,
                        std::vector<RecordInfo> *records, uint64_t *trailingBytes,
                        std::string *error) {
    return walkArchive(archive.data(), archive.size(), count, unpackDir, records, trailingBytes,
                       error);
}

// Writes data to path through a temporary file in the same folder and a rename, so a failure
// never leaves a half-written path behind.
bool writeFileAtomically(const std::string &path, const std::string &data, std::string *error);

bool readWholeFile(const std::string &path, std::string *data, std::string *error);
bool readWholeFile(const std::string &path, ByteBlock *data, std::string *error);
