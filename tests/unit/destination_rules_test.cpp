// Destination rules: the joining rule and its length limit, the drive-string walk that must never
// overrun the drive table, and the free-space arithmetic beyond 32 bits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pages/destination_rules.h"

namespace {

const size_t ROOT = 5;
const int TABLE = 20;

// A drive-string list as the system writes it: each root NUL-terminated, an empty one at the end.
std::vector<char> driveList(const std::vector<std::string> &roots, size_t size) {
    std::vector<char> buffer(size, '\0');
    size_t at = 0;
    for (const auto &root : roots) {
        for (char c : root)
            if (at < size)
                buffer[at++] = c;
        if (at < size)
            buffer[at++] = '\0';
    }
    return buffer;
}

struct Walk {
    int count;
    int selected;
    std::vector<std::string> roots;
};

// Runs the walk into a table with guard bytes after it, and checks the guard stayed intact.
Walk walk(const std::vector<char> &buffer, char startDrive, int initialSelected = 0) {
    std::vector<char> table(TABLE * ROOT + 16, '#');
    Walk result{0, initialSelected, {}};
    result.count = readDriveStrings(buffer.data(), buffer.size(), table.data(), TABLE, ROOT,
                                    startDrive, &result.selected);
    for (size_t i = TABLE * ROOT; i < table.size(); i++)
        EXPECT_EQ(table[i], '#') << "drive table overrun at byte " << i;
    for (int i = 0; i < result.count; i++)
        result.roots.push_back(std::string(&table[i * ROOT]));
    return result;
}

} // namespace

TEST(JoinDestination, AddsOneBackslashExceptAfterADriveRoot) {
    struct {
        const char *base, *name, *expected;
    } cases[] = {
        {"C:\\", "Quillary", "C:\\Quillary"},
        {"C:\\Program files", "Quillary", "C:\\Program files\\Quillary"},
        {"D:\\Apps", "Quillary", "D:\\Apps\\Quillary"},
        {"C:\\Program files", "", "C:\\Program files\\"},
        {"C:\\", "", "C:\\"},
        {"", "Quillary", "Quillary"},
        {"C:\\abc", "x", "C:\\abc\\x"},
    };
    for (const auto &c : cases) {
        char out[512];
        ASSERT_EQ(joinDestination(out, sizeof(out), c.base, c.name), 0) << c.base;
        EXPECT_STREQ(out, c.expected) << c.base << " + " << c.name;
    }
}

TEST(JoinDestination, RefusesAJoinLongerThan511CharactersInsteadOfCuttingIt) {
    char out[512];
    std::string name = "Quillary";
    // Exactly 511 characters fit: base + backslash + name.
    std::string base = "C:\\" + std::string(511 - 1 - name.size() - 3, 'd');
    ASSERT_EQ(joinDestination(out, sizeof(out), base.c_str(), name.c_str()), 0);
    EXPECT_EQ(std::string(out), base + "\\" + name);
    EXPECT_EQ(std::string(out).size(), 511u);

    std::string longer = base + "e";
    memset(out, 'x', sizeof(out));
    EXPECT_EQ(joinDestination(out, sizeof(out), longer.c_str(), name.c_str()), 1);
    EXPECT_STREQ(out, "") << "a refused join must not leave a cut path behind";

    // A smaller output buffer is respected as well.
    char small[12];
    EXPECT_EQ(joinDestination(small, sizeof(small), "C:\\Program files", "Quillary"), 1);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(joinDestination(small, sizeof(small), "C:\\", "Quillary"), 0);
    EXPECT_STREQ(small, "C:\\Quillary");
}

TEST(DriveStrings, ReadsRootsInOrderUpperCasedAndSelectsTheStartDrive) {
    Walk w = walk(driveList({"a:\\", "C:\\", "d:\\", "Z:\\"}, 100), 'd');
    EXPECT_EQ(w.count, 4);
    EXPECT_EQ(w.roots, (std::vector<std::string>{"A:\\", "C:\\", "D:\\", "Z:\\"}));
    EXPECT_EQ(w.selected, 2);

    Walk unlisted = walk(driveList({"C:\\", "Z:\\"}, 100), 'Q', 7);
    EXPECT_EQ(unlisted.count, 2);
    EXPECT_EQ(unlisted.selected, 7) << "an unlisted start drive leaves the selection alone";

    Walk empty = walk(driveList({}, 100), 'C');
    EXPECT_EQ(empty.count, 0);
}

TEST(DriveStrings, TakesAtMostTwentyWholeEntriesAndNeverOverrunsTheTable) {
    std::vector<std::string> many;
    for (char letter = 'A'; letter <= 'X'; letter++) // 24 drives: 97 characters, fits in 100
        many.push_back(std::string(1, letter) + ":\\");
    Walk w = walk(driveList(many, 100), 'X');
    EXPECT_EQ(w.count, 20);
    EXPECT_EQ(w.roots.back(), "T:\\");
    EXPECT_EQ(w.selected, 0) << "the start drive beyond the twentieth entry is not selectable";

    // A list cut off by the end of the buffer: the partial last entry is not taken.
    std::vector<char> cut = driveList({"C:\\", "D:\\"}, 7); // "C:\\\0D:\\" without its NUL
    Walk partial = walk(cut, 'D');
    EXPECT_EQ(partial.count, 1);
    EXPECT_EQ(partial.selected, 0);

    // Entries too long for a table slot are passed over, not copied into the next slot.
    Walk odd = walk(driveList({"C:\\", "\\\\server\\share\\", "E:\\"}, 100), 'E');
    EXPECT_EQ(odd.roots, (std::vector<std::string>{"C:\\", "E:\\"}));
    EXPECT_EQ(odd.selected, 1);

    // A buffer with no terminator anywhere (garbage) ends the walk at its end.
    std::vector<char> garbage(100, 'Q');
    EXPECT_EQ(walk(garbage, 'Q').count, 0);
}

TEST(DriveStrings, BuildsTheListFromTheDriveMaskWhenTheSystemListDoesNotFit) {
    char buffer[100];
    // All 26 drives: only 24 whole entries and the closing NUL fit into 100 characters.
    size_t written = driveStringsFromMask(0x3FFFFFF, buffer, sizeof(buffer));
    EXPECT_EQ(written, 96u);
    EXPECT_EQ(buffer[96], '\0');
    Walk w = walk(std::vector<char>(buffer, buffer + sizeof(buffer)), 'C');
    EXPECT_EQ(w.count, 20);
    EXPECT_EQ(w.roots.front(), "A:\\");
    EXPECT_EQ(w.selected, 2);

    written = driveStringsFromMask((1 << 2) | (1 << 25), buffer, sizeof(buffer));
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(std::string(buffer, 9), std::string("C:\\\0Z:\\\0\0", 9));
}

TEST(FindDrive, FindsTheFirstEntryWithTheLetterInEitherCase) {
    char roots[3][5] = {"A:\\", "C:\\", "Z:\\"};
    EXPECT_EQ(findDrive(&roots[0][0], 3, 5, 'C'), 1);
    EXPECT_EQ(findDrive(&roots[0][0], 3, 5, 'z'), 2);
    EXPECT_EQ(findDrive(&roots[0][0], 3, 5, 'D'), -1);
    EXPECT_EQ(findDrive(&roots[0][0], 0, 5, 'A'), -1);
}

TEST(FreeKilobytes, UsesSixtyFourBitsDividesByThousandAndClamps) {
    struct {
        unsigned long sectors, bytes, clusters;
        unsigned int expected;
    } cases[] = {
        {8, 512, 903, 3698},              // the 3698000-byte tmpfs
        {8, 512, 902, 3694},              // one 4096-byte page less
        {1, 512, 1, 0},                   // remainder dropped
        {8, 512, 1048577, 4294971},       // 4 GiB + 4 KiB: would wrap to 4 KB in 32 bits
        {8, 512, 0xFFFFFFFF, 4294967295}, // 17.6 TB free: the largest 32-bit count
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 4294967295}, // product beyond 64 bits
        {8, 512, 0, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(freeKilobytes(c.sectors, c.bytes, c.clusters), c.expected)
            << c.sectors << " x " << c.bytes << " x " << c.clusters;
}

TEST(ProgramFilesOn, KeepsOnlyTheWindowsDriveLetter) {
    char out[512];
    ASSERT_EQ(programFilesOn(out, sizeof(out), "C:\\windows"), 0);
    EXPECT_STREQ(out, "C:\\Program files");
    ASSERT_EQ(programFilesOn(out, sizeof(out), "E:\\WINNT\\system"), 0);
    EXPECT_STREQ(out, "E:\\Program files");
    EXPECT_EQ(programFilesOn(out, sizeof(out), ""), 1);
    EXPECT_STREQ(out, "");
    char tiny[8];
    EXPECT_EQ(programFilesOn(tiny, sizeof(tiny), "C:\\windows"), 1);
}

TEST(FolderName, TakesOneFolderNameAndRefusesWhatTheSystemWouldReadOtherwise) {
    for (const char *name : {"Quillary", "My Apps", "Quillary 2.1", ".config", "caf\xE9"})
        EXPECT_TRUE(isFolderName(name)) << "\"" << name << "\"";
    for (const char *name :
         {"", ".", "..", "CON", "aux.txt", "lpt0", "a:b", "Quillary ", "Quillary.", "a\\b", "\\x",
          "a/b", "a*b", "a?b", "a\"b", "a<b", "a|b", "a\tb"})
        EXPECT_FALSE(isFolderName(name)) << "\"" << name << "\"";
}
