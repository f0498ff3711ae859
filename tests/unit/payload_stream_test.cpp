// The payload stream: the archive's records handed over as zlib inflates them, in pieces no
// larger than the one buffer, and every way a payload can be damaged found by its end.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "archive_bytes.h"
#include "payload/payload_stream.h"

namespace {

// One gzip member of data, made by zlib itself (windowBits 15 + 16).
std::string gzip(const std::string &data) {
    z_stream stream = {};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, data.size()) + 32, '\0');
    stream.next_in = (Bytef *)data.data();
    stream.avail_in = (uInt)data.size();
    stream.next_out = (Bytef *)&out[0];
    stream.avail_out = (uInt)out.size();
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Bytes that deflate poorly, so a large record spans many inflate pieces and gzip members.
std::string noise(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; i++) {
        seed = seed * 1103515245u + 12345u;
        out[i] = (char)(seed >> 16);
    }
    return out;
}

// What the sink saw: each record's name and bytes, the largest piece, and where it stops.
struct Seen {
    std::vector<std::string> names, contents;
    size_t ended = 0, largestPiece = 0;
    size_t stopAtRecord = (size_t)-1; // begin of this record (from 0) asks to stop
};

int seenBegin(void *context, const char *name, uint32_t) {
    Seen *seen = (Seen *)context;
    if (seen->names.size() == seen->stopAtRecord)
        return 1;
    seen->names.push_back(name);
    seen->contents.emplace_back();
    return 0;
}

int seenData(void *context, const void *bytes, size_t count) {
    Seen *seen = (Seen *)context;
    seen->contents.back().append((const char *)bytes, count);
    seen->largestPiece = std::max(seen->largestPiece, count);
    return 0;
}

int seenEnd(void *context) {
    ((Seen *)context)->ended++;
    return 0;
}

int unpack(const std::string &payload, uint32_t expected, Seen *seen,
           const char **problem = nullptr) {
    static PayloadStream stream;
    const ArchiveSink sink = {seenBegin, seenData, seenEnd, seen};
    int result = payloadUnpack(&stream, payload.data(), payload.size(), expected, &sink);
    if (problem)
        *problem = stream.problem;
    return result;
}

// Three records: an empty one, one in a folder, and one of 300,000 bytes of noise.
const std::string BIG = noise(300000, 7);
const std::string ARCHIVE =
    record("empty.txt", "") + record("Brush\\round.brs", "round brush") + record("big.bin", BIG);

} // namespace

TEST(PayloadStream, WholePayloadsGiveEveryRecordInBoundedPieces) {
    size_t half = ARCHIVE.size() / 2;
    struct {
        const char *label;
        std::string payload;
    } cases[] = {{"one member", gzip(ARCHIVE)},
                 {"two members", gzip(ARCHIVE.substr(0, half)) + gzip(ARCHIVE.substr(half))},
                 {"plain archive", ARCHIVE}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        Seen seen;
        EXPECT_EQ(unpack(c.payload, 3, &seen), PAYLOAD_OK);
        EXPECT_EQ(seen.names,
                  (std::vector<std::string>{"empty.txt", "Brush\\round.brs", "big.bin"}));
        ASSERT_EQ(seen.contents.size(), 3u);
        EXPECT_EQ(seen.contents[0], "");
        EXPECT_EQ(seen.contents[1], "round brush");
        EXPECT_TRUE(seen.contents[2] == BIG) << seen.contents[2].size() << " bytes";
        EXPECT_EQ(seen.ended, 3u);
        EXPECT_GT(seen.largestPiece, 0u);
        EXPECT_LE(seen.largestPiece, (size_t)PAYLOAD_CHUNK) << "a piece beyond the one buffer";
    }
}

// Each damage is found, at the latest once the payload has been read to its end; the records
// before it have been handed over whole, for the caller to take back.
TEST(PayloadStream, DamageIsFoundByTheEnd) {
    std::string payload = gzip(ARCHIVE);
    std::string badCrc = payload, badLength = payload;
    badCrc[badCrc.size() - 8] ^= 0x5A;
    badLength[badLength.size() - 4] ^= 0x01;
    struct {
        const char *label;
        std::string payload;
        uint32_t expected;
        int result;
        int archiveResult;
        const char *problem;
    } cases[] = {
        {"crc", badCrc, 3, PAYLOAD_DAMAGED, ARCHIVE_OK, "incorrect data check"},
        {"length", badLength, 3, PAYLOAD_DAMAGED, ARCHIVE_OK, "incorrect length check"},
        {"cut short", payload.substr(0, payload.size() - 3), 3, PAYLOAD_CUT_SHORT, ARCHIVE_OK,
         "unexpected end of file"},
        {"cut in the middle", payload.substr(0, payload.size() / 2), 3, PAYLOAD_CUT_SHORT,
         ARCHIVE_OK, "unexpected end of file"},
        {"bytes after the member", payload + "junk", 3, PAYLOAD_TRAILING, ARCHIVE_OK,
         "data after the end of the payload"},
        {"one byte after the member", payload + "j", 3, PAYLOAD_TRAILING, ARCHIVE_OK,
         "data after the end of the payload"},
        {"a record too many", gzip(ARCHIVE + record("extra.txt", "x")), 3, PAYLOAD_ARCHIVE,
         ARCHIVE_TRAILING, "data after the last file"},
        {"a record too few", gzip(ARCHIVE), 4, PAYLOAD_ARCHIVE, ARCHIVE_END,
         "the archive holds fewer files than it should"},
        {"data cut short", gzip(ARCHIVE.substr(0, ARCHIVE.size() - 10)), 3, PAYLOAD_ARCHIVE,
         ARCHIVE_DATA_CUT_SHORT, "a file's data is cut short"},
        {"climbing name", gzip(record("a.txt", "a") + record("..\\evil.txt", "x")), 2,
         PAYLOAD_ARCHIVE, ARCHIVE_UNSAFE_NAME, "a file name is not allowed"},
        {"empty name", gzip(record("a.txt", "a") + record("", "x")), 2, PAYLOAD_ARCHIVE,
         ARCHIVE_EMPTY_NAME, "a file has no name"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        Seen seen;
        const char *problem = "";
        static PayloadStream stream;
        const ArchiveSink sink = {seenBegin, seenData, seenEnd, &seen};
        int result = payloadUnpack(&stream, c.payload.data(), c.payload.size(), c.expected, &sink);
        problem = stream.problem;
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(stream.archiveResult, c.archiveResult);
        EXPECT_STREQ(problem, c.problem);
        EXPECT_LE(seen.names.size() - seen.ended, 1u) << "at most the record at the damage open";
        for (const std::string &name : seen.names)
            EXPECT_TRUE(name == "a.txt" || name == "empty.txt" || name == "Brush\\round.brs" ||
                        name == "big.bin")
                << "a refused record was handed over: " << name;
    }
}

TEST(PayloadStream, TheSinkStopsTheWalkAtOnce) {
    Seen seen;
    seen.stopAtRecord = 1;
    EXPECT_EQ(unpack(gzip(ARCHIVE), 3, &seen), PAYLOAD_STOPPED);
    EXPECT_EQ(seen.names, std::vector<std::string>{"empty.txt"});
}

// The archive walk gives the same records whichever way the bytes are cut into pieces.
TEST(ArchiveStream, PiecesOfAnySizeGiveTheSameRecords) {
    for (size_t piece : {(size_t)1, (size_t)2, (size_t)5, (size_t)4096, ARCHIVE.size()}) {
        SCOPED_TRACE(piece);
        Seen seen;
        ArchiveStream stream;
        archiveStreamBegin(&stream, 3);
        const ArchiveSink sink = {seenBegin, seenData, seenEnd, &seen};
        for (size_t at = 0; at < ARCHIVE.size(); at += piece)
            ASSERT_EQ(archiveStreamFeed(&stream, ARCHIVE.data() + at,
                                        std::min(piece, ARCHIVE.size() - at), &sink),
                      ARCHIVE_OK);
        EXPECT_EQ(archiveStreamEnd(&stream), ARCHIVE_OK);
        EXPECT_EQ(seen.ended, 3u);
        ASSERT_EQ(seen.contents.size(), 3u);
        EXPECT_TRUE(seen.contents[2] == BIG);
    }
}

// Where the bytes run out tells what is missing.
TEST(ArchiveStream, EndInsideARecordNamesThePartCutShort) {
    std::string one = record("name.txt", "data");
    struct {
        size_t length;
        int result;
    } cases[] = {{0, ARCHIVE_END},
                 {1, ARCHIVE_NAME_CUT_SHORT},
                 {1 + 8, ARCHIVE_SIZE_CUT_SHORT},
                 {1 + 8 + 4, ARCHIVE_DATA_CUT_SHORT},
                 {one.size() - 1, ARCHIVE_DATA_CUT_SHORT},
                 {one.size(), ARCHIVE_OK}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.length);
        Seen seen;
        ArchiveStream stream;
        archiveStreamBegin(&stream, 1);
        const ArchiveSink sink = {seenBegin, seenData, seenEnd, &seen};
        EXPECT_EQ(archiveStreamFeed(&stream, one.data(), c.length, &sink), ARCHIVE_OK);
        EXPECT_EQ(archiveStreamEnd(&stream), c.result);
    }
}
