// The product programs' portable parts: the viewer's command line and bitmap checks, and the
// uninstaller's closing message.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>

#include "bitmap_file.h"
#include "command_line.h"
#include "common/paths.h"
#include "entry_folders.h"
#include "removal_report.h"

namespace {

TEST(CommandLineDocument, FindsTheDocumentHoweverTheLineIsQuoted) {
    const char *module = "C:\\Program Files\\Quillary\\Quillary.exe";
    struct {
        const char *line, *expected;
    } cases[] = {
        {"Quillary.exe", ""},
        {"\"C:\\Program Files\\Quillary\\Quillary.exe\"", ""},
        {"\"C:\\Program Files\\Quillary\\Quillary.exe\"   ", ""},
        {"Quillary.exe C:\\pic.bmp", "C:\\pic.bmp"},
        {"\"C:\\Program Files\\Quillary\\Quillary.exe\" \"C:\\My Pictures\\a b.bmp\"",
         "C:\\My Pictures\\a b.bmp"},
        // The open command without quotes: program path and document both hold blanks.
        {"C:\\Program Files\\Quillary\\Quillary.exe C:\\My Pictures\\a b.bmp",
         "C:\\My Pictures\\a b.bmp"},
        {"c:\\program files\\quillary\\QUILLARY.EXE  C:\\x y.bmp  ", "C:\\x y.bmp"},
        {"\"Quillary.exe\"\"C:\\a.bmp\"", "C:\\a.bmp"},
        {"Quillary.exe \"C:\\unclosed name.bmp", "C:\\unclosed name.bmp"},
        {"Quillary.exe \"C:\\a.bmp\" extra words", "C:\\a.bmp"},
        // A longer program name that merely starts like the module is not the module.
        {"C:\\Program Files\\Quillary\\Quillary.exe2 doc.bmp",
         "Files\\Quillary\\Quillary.exe2 doc.bmp"},
        {"", ""},
    };
    for (const auto &c : cases) {
        char out[260] = "garbage";
        EXPECT_EQ(commandLineDocument(c.line, module, out, sizeof(out)), 0) << c.line;
        EXPECT_STREQ(out, c.expected) << c.line;
    }
}

TEST(UninstallSwitches, FindSilentWhereverItStandsAndRefuseALineTheyCannotRead) {
    const char *module = "C:\\Program Files\\Quillary\\uninstall.exe";
    struct {
        std::string line;
        int read, silent, isCopy;
        unsigned long long original, result;
        const char *originalPath;
    } cases[] = {
        {"uninstall.exe", 0, 0, 0, 0, 0, ""},
        {"uninstall.exe /S", 0, 1, 0, 0, 0, ""},
        {"\"C:\\Program Files\\Quillary\\uninstall.exe\" \"x\" /s", 0, 1, 0, 0, 0, ""},
        {"uninstall.exe " + std::string(3000, 'x') + " /S", 0, 1, 0, 0, 0, ""},
        {"uninstall.exe /Silent /SS", 0, 0, 0, 0, 0, ""},
        {"c.exe /S /copy-of=12:345 /original=C:\\Apps\\Q T\\uninstall.exe ", 0, 1, 1, 12, 345,
         "C:\\Apps\\Q T\\uninstall.exe"},
        {"c.exe /copy-of=18446744073709551615:0 /original=C:\\a", 0, 0, 1, 18446744073709551615ull,
         0, "C:\\a"},
        {"c.exe /copy-of=18446744073709551616:0", 1, 0, 0, 0, 0, ""},
        {"c.exe /copy-of=12 /S", 1, 0, 0, 0, 0, ""},
        {"c.exe /original=C:\\" + std::string(256, 'z'), 0, 0, 0, 0, 0, nullptr},
        {"c.exe /original=C:\\" + std::string(257, 'z'), 1, 0, 0, 0, 0, ""},
    };
    for (const auto &c : cases) {
        UninstallSwitches switches;
        EXPECT_EQ(readUninstallSwitches(c.line.c_str(), module, &switches), c.read) << c.line;
        if (c.read != 0)
            continue;
        EXPECT_EQ(switches.silent, c.silent) << c.line;
        EXPECT_EQ(switches.isCopy, c.isCopy) << c.line;
        EXPECT_EQ(switches.original, c.original) << c.line;
        EXPECT_EQ(switches.result, c.result) << c.line;
        if (c.originalPath != nullptr)
            EXPECT_STREQ(switches.originalPath, c.originalPath) << c.line;
        else
            EXPECT_EQ(strlen(switches.originalPath), 259u) << "259 characters fill the buffer";
    }
    UninstallSwitches switches;
    EXPECT_EQ(readUninstallSwitches(nullptr, module, &switches), 1);
}

TEST(CommandLineDocument, RefusesADocumentThatDoesNotFit) {
    char out[8] = "garbage";
    EXPECT_EQ(commandLineDocument("a.exe 1234567", NULL, out, sizeof(out)), 0);
    EXPECT_STREQ(out, "1234567");
    EXPECT_EQ(commandLineDocument("a.exe 12345678", NULL, out, sizeof(out)), 1);
    EXPECT_STREQ(out, "") << "never a cut name";
}

// A bitmap file made field by field, so each case can spoil one of them.
struct BitmapBytes {
    int32_t width = 3, height = 2;
    uint16_t planes = 1, bitCount = 24;
    uint32_t infoSize = 40, compression = 0, coloursUsed = 0;
    int64_t bitsOffset = -1; // -1: right after the headers
    int64_t cutTo = -1;      // -1: the whole file
    int extraColours = -1;   // -1: as the format says

    std::string make() const {
        std::string info(infoSize < 40 ? 40 : infoSize, '\0');
        put(&info, 0, infoSize);
        put(&info, 4, (uint32_t)width);
        put(&info, 8, (uint32_t)height);
        put(&info, 12, planes | (uint32_t)bitCount << 16);
        put(&info, 16, compression);
        put(&info, 32, coloursUsed);
        size_t colours = bitCount <= 8 ? (coloursUsed ? coloursUsed : 1u << bitCount) : 0;
        if (extraColours >= 0)
            colours = extraColours;
        std::string table(colours * 4 + (compression == 3 ? 12 : 0), '\x11');
        uint64_t stride = ((uint64_t)(uint32_t)width * bitCount + 31) / 32 * 4;
        uint64_t rowBytes = stride * (uint64_t)(height < 0 ? -(int64_t)height : height);
        if (cutTo >= 0 && rowBytes > (uint64_t)cutTo)
            rowBytes = cutTo; // never more than the cut file keeps
        std::string rows((size_t)rowBytes, '\x22');
        std::string file = "BM" + std::string(12, '\0') + info + table;
        uint32_t offset = bitsOffset >= 0 ? (uint32_t)bitsOffset : (uint32_t)file.size();
        file += rows;
        put(&file, 10, offset);
        if (cutTo >= 0)
            file.resize(cutTo);
        return file;
    }
    static void put(std::string *s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            (*s)[at + i] = (char)(v >> (8 * i));
    }
};

int check(const std::string &file, BitmapLayout *layout = nullptr) {
    BitmapLayout scratch;
    return checkBitmapFile((const unsigned char *)file.data(), file.size(),
                           layout ? layout : &scratch);
}

TEST(CheckBitmapFile, AcceptsThePaintableFormsAndLocatesTheirParts) {
    BitmapBytes plain;
    BitmapLayout layout;
    ASSERT_EQ(check(plain.make(), &layout), BITMAP_OK);
    EXPECT_EQ(layout.infoOffset, 14u);
    EXPECT_EQ(layout.bitsOffset, 54u);
    EXPECT_EQ(layout.width, 3);
    EXPECT_EQ(layout.height, 2);

    BitmapBytes paletted;
    paletted.bitCount = 8;
    ASSERT_EQ(check(paletted.make(), &layout), BITMAP_OK);
    EXPECT_EQ(layout.bitsOffset, 54u + 1024u);
    paletted.bitCount = 1;
    EXPECT_EQ(check(paletted.make()), BITMAP_OK);
    paletted.bitCount = 4;
    paletted.coloursUsed = 3;
    EXPECT_EQ(check(paletted.make()), BITMAP_OK);

    BitmapBytes topDown;
    topDown.height = -5;
    ASSERT_EQ(check(topDown.make(), &layout), BITMAP_OK);
    EXPECT_EQ(layout.height, -5);

    BitmapBytes masked;
    masked.bitCount = 32;
    masked.compression = 3;
    EXPECT_EQ(check(masked.make()), BITMAP_OK);
    BitmapBytes version5;
    version5.infoSize = 124;
    EXPECT_EQ(check(version5.make()), BITMAP_OK);
}

TEST(CheckBitmapFile, RefusesWhatCannotBePaintedSafely) {
    struct Case {
        const char *what;
        std::string bytes;
        int expected;
    };
    auto spoil = [](void (*change)(BitmapBytes *)) {
        BitmapBytes b;
        change(&b);
        return b.make();
    };
    std::string wrongMagic = BitmapBytes().make();
    wrongMagic[0] = 'P';
    Case cases[] = {
        {"empty", "", BITMAP_NOT_A_BITMAP},
        {"text", "just some text, long enough to hold a header", BITMAP_NOT_A_BITMAP},
        {"wrong magic", wrongMagic, BITMAP_NOT_A_BITMAP},
        {"only the file header", BitmapBytes().make().substr(0, 14), BITMAP_NOT_A_BITMAP},
        {"cut in the info header", BitmapBytes().make().substr(0, 30), BITMAP_DAMAGED},
        {"last row cut short", spoil([](BitmapBytes *b) { b->cutTo = 54 + 12 + 11; }),
         BITMAP_DAMAGED},
        {"pixels said to lie past the end", spoil([](BitmapBytes *b) { b->bitsOffset = 60; }),
         BITMAP_DAMAGED},
        {"pixel offset inside the headers", spoil([](BitmapBytes *b) { b->bitsOffset = 20; }),
         BITMAP_DAMAGED},
        {"offset near 4 GiB", spoil([](BitmapBytes *b) { b->bitsOffset = 0xFFFFFFF0; }),
         BITMAP_DAMAGED},
        {"colour table cut", spoil([](BitmapBytes *b) {
             b->bitCount = 8;
             b->extraColours = 16;
             b->bitsOffset = 54 + 1024;
         }),
         BITMAP_DAMAGED},
        {"more colours than the depth allows", spoil([](BitmapBytes *b) {
             b->bitCount = 4;
             b->coloursUsed = 17;
             b->extraColours = 17;
         }),
         BITMAP_DAMAGED},
        {"huge optional table", spoil([](BitmapBytes *b) { b->coloursUsed = 0x40000000; }),
         BITMAP_DAMAGED},
        {"zero width", spoil([](BitmapBytes *b) { b->width = 0; }), BITMAP_DAMAGED},
        {"negative width", spoil([](BitmapBytes *b) {
             b->width = -3;
             b->cutTo = 200;
         }),
         BITMAP_DAMAGED},
        {"zero height", spoil([](BitmapBytes *b) { b->height = 0; }), BITMAP_DAMAGED},
        {"most negative height", spoil([](BitmapBytes *b) {
             b->height = INT32_MIN;
             b->cutTo = 200;
         }),
         BITMAP_DAMAGED},
        {"two planes", spoil([](BitmapBytes *b) { b->planes = 2; }), BITMAP_DAMAGED},
        {"7 bits per pixel", spoil([](BitmapBytes *b) { b->bitCount = 7; }), BITMAP_DAMAGED},
        {"info size larger than the file", spoil([](BitmapBytes *b) {
             b->infoSize = 4000;
             b->cutTo = 200;
         }),
         BITMAP_DAMAGED},
        {"info size below the first version", spoil([](BitmapBytes *b) { b->infoSize = 20; }),
         BITMAP_DAMAGED},
        {"masks on 24 bits", spoil([](BitmapBytes *b) { b->compression = 3; }), BITMAP_DAMAGED},
        {"run-length compressed", spoil([](BitmapBytes *b) {
             b->bitCount = 8;
             b->compression = 1;
         }),
         BITMAP_UNSUPPORTED},
        {"old core header", spoil([](BitmapBytes *b) { b->infoSize = 12; }), BITMAP_UNSUPPORTED},
        {"wider than the largest side", spoil([](BitmapBytes *b) {
             b->width = BITMAP_MAX_SIDE + 1;
             b->height = 1;
         }),
         BITMAP_UNSUPPORTED},
        {"width times depth past 32 bits", spoil([](BitmapBytes *b) {
             b->width = 0x7FFFFFFF;
             b->height = 1;
             b->cutTo = 200;
         }),
         BITMAP_UNSUPPORTED},
    };
    for (const Case &c : cases)
        EXPECT_EQ(check(c.bytes), c.expected) << c.what;
}

TEST(RemovalReport, SaysSuccessNamesWhatStaysAndNeverOverflows) {
    RemovalReport report;
    char text[REPORT_TEXT_BUFFER];
    reportClear(&report);
    reportText(&report, text, sizeof(text));
    EXPECT_STREQ(text, "Quillary was successfully removed from your computer.");

    reportKept(&report, "C:\\Apps\\Quillary");
    reportText(&report, text, sizeof(text));
    EXPECT_EQ(std::string(text).find("Quillary was successfully removed from your computer.\n\n"),
              0u);
    EXPECT_NE(strstr(text, "\nC:\\Apps\\Quillary"), nullptr) << text;

    reportFailed(&report, "C:\\Apps\\Quillary\\qfx.dll");
    reportFailed(&report, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\QLRDOC1.Image");
    reportText(&report, text, sizeof(text));
    EXPECT_EQ(strstr(text, "successfully"), nullptr) << "a failure is never called a success";
    EXPECT_NE(strstr(text, "C:\\Apps\\Quillary\\qfx.dll\nHKEY_LOCAL_MACHINE"), nullptr) << text;

    // Far more failures than the list holds: the text stays whole and counts the rest.
    std::string longItem(300, 'x');
    for (int i = 0; i < 40; i++)
        reportFailed(&report, longItem.c_str());
    EXPECT_EQ(report.failedCount + report.failedUnlisted, 42);
    EXPECT_GT(report.failedUnlisted, 0);
    reportText(&report, text, sizeof(text));
    EXPECT_LT(strlen(text), sizeof(text));
    char more[32];
    snprintf(more, sizeof(more), "(and %d more)", report.failedUnlisted);
    EXPECT_NE(strstr(text, more), nullptr) << text;
}

TEST(RemovalReport, ListTakesAnItemThatEndsAtItsLastByteAndNoLonger) {
    RemovalReport report;
    reportClear(&report);
    reportFailed(&report, "a"); // "a\n": two bytes used
    // With its line feed and the terminator, this item fills the list to its very last byte.
    std::string fits(sizeof(report.failed) - 4, 'x');
    reportFailed(&report, fits.c_str());
    EXPECT_EQ(report.failedCount, 2);
    EXPECT_EQ(report.failedUnlisted, 0);
    EXPECT_EQ(strlen(report.failed), sizeof(report.failed) - 1);
    EXPECT_EQ(report.failed[sizeof(report.failed) - 2], '\n');

    RemovalReport other;
    reportClear(&other);
    reportFailed(&other, "a");
    reportFailed(&other, (fits + "x").c_str()); // one byte more than the list holds
    EXPECT_EQ(other.failedCount, 1);
    EXPECT_EQ(other.failedUnlisted, 1);
    EXPECT_STREQ(other.failed, "a\n");
    EXPECT_EQ(other.keptCount, 0) << "written past the list";
}

TEST(EntryFolders, AcceptsOnlyPlainFullLocalFoldersOutsideTheSystemsOwn) {
    const char *const protectedFolders[] = {"C:\\windows", "C:\\windows\\system32",
                                            "C:\\Program Files\\"};
    struct {
        const char *path;
        int allowed;
    } cases[] = {
        {"C:\\Program Files\\Quillary", 1},
        {"d:\\Apps\\Quillary Test", 1},
        {"C:\\a", 1},
        {"C:\\.hidden\\x", 1},
        {"", 0},
        {"C:", 0},
        {"C:\\", 0},       // a drive root
        {"C:Quillary", 0}, // relative to the drive's current folder
        {"Quillary", 0},
        {"\\\\server\\share\\Quillary", 0},
        {"\\Program Files\\Quillary", 0},
        {"1:\\Quillary", 0},
        {"C:\\Apps\\", 0}, // not the normal form (the caller drops one trailing backslash)
        {"C:\\Apps\\\\Quillary", 0},
        {"C:\\Apps\\.\\Quillary", 0},
        {"C:\\Apps\\..", 0},
        {"C:\\Apps\\..\\windows", 0},
        {"C:\\Apps\\Quillary ", 0},
        {"C:\\Apps\\Quillary.", 0},
        {"C:\\Apps/Quillary", 0},
        {"C:\\Apps\\a:b", 0},
        {"C:\\Apps\\Quill?ry", 0},
        {"C:\\Apps\\Quill\tary", 0},
        {"C:\\WINDOWS", 0},
        {"c:\\Windows\\System32", 0},
        {"C:\\Program files", 0},
        {"C:\\windows\\Temp", 1}, // below the Windows folder is not the folder itself
        {"C:\\Program Files (x86)", 1},
        {"C:\\Caf\xE9", 1}, // the installer takes it: its uninstaller must too
    };
    for (const auto &c : cases)
        EXPECT_EQ(isProductFolderAllowed(c.path, protectedFolders, 3), c.allowed) << c.path;
    EXPECT_EQ(isProductFolderAllowed("C:\\windows", protectedFolders, 0), 1)
        << "only the folders passed in are protected";

    EXPECT_EQ(lastNameIs("C:\\Start Menu\\Programs\\quillary", "Quillary"), 1);
    EXPECT_EQ(lastNameIs("C:\\Start Menu\\Programs\\Quillary2", "Quillary"), 0);
    EXPECT_EQ(lastNameIs("C:\\Start Menu\\Programs", "Quillary"), 0);

    const char *folder = "C:\\Program Files\\Quillary";
    EXPECT_EQ(
        isProgramInFolder("c:\\program files\\QUILLARY\\Uninstall.EXE", folder, "uninstall.exe"),
        1);
    for (const char *other :
         {"C:\\Program Files\\Quillary2\\uninstall.exe",
          "C:\\Program Files\\Quillary\\x\\uninstall.exe",
          "C:\\Program Files\\Quillaryuninstall.exe", "C:\\Program Files\\QuillaryXuninstall.exe",
          "C:\\Program Files\\Quillary\\uninstall.exe2", "C:\\Users\\me\\Downloads\\uninstall.exe",
          ""})
        EXPECT_EQ(isProgramInFolder(other, folder, "uninstall.exe"), 0) << other;
}

} // namespace
