// The payload archive reader: record layout, the name buffer rules, and every refusal.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "archive_bytes.h"
#include "payload/archive_reader.h"

namespace {

// The archive bytes as a file, opened with the reader; the file is removed at the end.
struct OpenArchive {
    ArchiveReader reader = {};
    std::string path;
    explicit OpenArchive(const std::string &bytes) {
        char pattern[] = "/tmp/archive-test-XXXXXX";
        int descriptor = mkstemp(pattern);
        path = pattern;
        EXPECT_EQ(write(descriptor, bytes.data(), bytes.size()), (ssize_t)bytes.size());
        close(descriptor);
        EXPECT_EQ(archiveOpen(&reader, path.c_str()), ARCHIVE_OK);
    }
    ~OpenArchive() {
        archiveClose(&reader);
        unlink(path.c_str());
    }
};

// Reads one whole record; the first failing step's result, or ARCHIVE_OK.
int readRecord(ArchiveReader *reader, std::string *name, std::string *data) {
    char buffer[ARCHIVE_NAME_BUFFER];
    int result = archiveReadName(reader, buffer);
    *name = buffer;
    if (result != ARCHIVE_OK)
        return result;
    uint32_t size;
    if ((result = archiveReadSize(reader, &size)) != ARCHIVE_OK)
        return result;
    data->assign(size, '\0');
    return archiveReadData(reader, size ? &(*data)[0] : NULL, size);
}

} // namespace

TEST(ArchiveReader, ReadsRecordsInOrderThenReportsTheEnd) {
    OpenArchive archive(record("readme.wri", "hello") + record("Brush\\chalk.qbr", "xyz") +
                        record("session.dat", ""));
    std::string name, data;
    ASSERT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_OK);
    EXPECT_EQ(name, "readme.wri");
    EXPECT_EQ(data, "hello");
    ASSERT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_OK);
    EXPECT_EQ(name, "Brush\\chalk.qbr");
    EXPECT_EQ(data, "xyz");
    // dataSize 0 is a valid, empty file, and the next read finds the clean end.
    ASSERT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_OK);
    EXPECT_EQ(name, "session.dat");
    EXPECT_EQ(data, "");
    EXPECT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_END);
    EXPECT_EQ(name, "") << "the name buffer is cleared before every read";
}

TEST(ArchiveReader, NameEndsAtItsFirstZeroButTheWholeNameLengthIsSkipped) {
    OpenArchive archive(record(std::string("abc\0DATA", 8), "payload") + record("next", "n"));
    std::string name, data;
    ASSERT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_OK);
    EXPECT_EQ(name, "abc");
    EXPECT_EQ(data, "payload") << "the bytes after the zero belong to the name, not the data";
    ASSERT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_OK);
    EXPECT_EQ(name, "next");
}

TEST(ArchiveReader, LongestNameFitsTheBufferWithItsTerminator) {
    std::string longName(255, 'n');
    OpenArchive archive(record(longName, "d"));
    std::string name, data;
    ASSERT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_OK);
    EXPECT_EQ(name, longName);
}

TEST(ArchiveReader, EmptyNamesAreRefused) {
    for (const std::string &bytes : {record("", "data"), record(std::string("\0abc", 4), "d")}) {
        OpenArchive archive(bytes);
        std::string name, data;
        EXPECT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_EMPTY_NAME);
    }
}

TEST(ArchiveReader, ArchiveEndingInsideARecordIsRefusedAtEachField) {
    std::string whole = record("file.dat", "0123456789");
    struct {
        size_t keep;
        int expected;
    } cases[] = {
        {0, ARCHIVE_END},                            // nothing where a record should start
        {1, ARCHIVE_NAME_CUT_SHORT},                 // nameLength only
        {5, ARCHIVE_NAME_CUT_SHORT},                 // part of the name
        {9, ARCHIVE_SIZE_CUT_SHORT},                 // name, no dataSize
        {11, ARCHIVE_SIZE_CUT_SHORT},                // half a dataSize
        {13, ARCHIVE_SIZE_BEYOND_END},               // dataSize 10, no data
        {whole.size() - 1, ARCHIVE_SIZE_BEYOND_END}, // data one byte short: never padded
    };
    for (const auto &c : cases) {
        OpenArchive archive(whole.substr(0, c.keep));
        std::string name, data;
        EXPECT_EQ(readRecord(&archive.reader, &name, &data), c.expected) << "kept " << c.keep;
    }
}

TEST(ArchiveReader, HugeDataSizeIsRefusedBeforeAnyMemoryIsNeeded) {
    OpenArchive archive(std::string(1, 4) + "huge" + u32(0xFFFFFFFFu) + "tiny");
    char name[ARCHIVE_NAME_BUFFER];
    ASSERT_EQ(archiveReadName(&archive.reader, name), ARCHIVE_OK);
    uint32_t size = 0;
    EXPECT_EQ(archiveReadSize(&archive.reader, &size), ARCHIVE_SIZE_BEYOND_END);
    EXPECT_EQ(size, 0xFFFFFFFFu) << "the size read is still handed back for the message";
}

TEST(ArchiveReader, DataShorterThanAskedIsAnError) {
    OpenArchive archive(record("a.txt", "abc"));
    char name[ARCHIVE_NAME_BUFFER];
    uint32_t size;
    ASSERT_EQ(archiveReadName(&archive.reader, name), ARCHIVE_OK);
    ASSERT_EQ(archiveReadSize(&archive.reader, &size), ARCHIVE_OK);
    char data[8];
    EXPECT_EQ(archiveReadData(&archive.reader, data, size + 1), ARCHIVE_DATA_CUT_SHORT);
}

TEST(ArchiveReader, FewerRecordsThanExpectedEndsAtTheFirstMissingOne) {
    std::string bytes;
    for (int i = 0; i < 5; i++)
        bytes += record("file" + std::to_string(i), std::string((size_t)i, 'x'));
    OpenArchive archive(bytes);
    std::string name, data;
    int index = 0;
    while (readRecord(&archive.reader, &name, &data) == ARCHIVE_OK)
        index++;
    EXPECT_EQ(index, 5);
}

TEST(ArchiveReader, BytesAfterTheLastWantedRecordAreLeftUnread) {
    std::string bytes = record("one", "1") + record("two", "22");
    OpenArchive archive(bytes + "\x07garbage that is no record");
    std::string name, data;
    for (int i = 0; i < 2; i++)
        ASSERT_EQ(readRecord(&archive.reader, &name, &data), ARCHIVE_OK);
    EXPECT_EQ(archive.reader.position, bytes.size());
    EXPECT_GT(archive.reader.size, archive.reader.position);
}

TEST(ArchiveReader, MissingFileCannotBeOpened) {
    ArchiveReader reader;
    EXPECT_EQ(archiveOpen(&reader, "/nonexistent/filesdata.dat"), ARCHIVE_OPEN_FAILED);
    EXPECT_EQ(reader.file, nullptr);
    archiveClose(&reader);
}

TEST(EntryNames, ReaderRefusesEachKindOfUnsafeName) {
    for (const char *name : {"\\Windows\\evil.dll", "C:\\evil.dll", "D:evil", "..\\evil.dll",
                             "Brush/../../evil.dll", "NUL", "readme.wri.", "a:stream"}) {
        OpenArchive archive(record(name, "x"));
        std::string read, data;
        EXPECT_EQ(readRecord(&archive.reader, &read, &data), ARCHIVE_UNSAFE_NAME) << name;
    }
}
