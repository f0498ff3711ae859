// The entry-name rule: one row per kind of name, with the reason it is refused or "OK".
#include <gtest/gtest.h>

#include "common/entry_names.h"

TEST(EntryNames, EachKindOfNameIsRefusedForItsOwnReason) {
    struct {
        const char *name;
        EntryNameProblem expected;
    } rows[] = {
        // Names a file below the installation folder.
        {"Quillary.exe", ENTRY_NAME_OK},
        {"Brush\\chalk.qbr", ENTRY_NAME_OK},
        {"a\\b\\c", ENTRY_NAME_OK},
        {"..a", ENTRY_NAME_OK},           // dots only at the start of a part
        {"...x\\.hidden", ENTRY_NAME_OK}, // a dot at the start is kept by the system
        {"console.txt", ENTRY_NAME_OK},   // a device name must be the whole base name
        {"nul1", ENTRY_NAME_OK},
        {"COM10", ENTRY_NAME_OK},
        {"lpt", ENTRY_NAME_OK},
        {"COM\xB4", ENTRY_NAME_OK}, // an acute accent, not a superscript digit
        {"caf\xE9.txt", ENTRY_NAME_OK},
        // Empty, rooted, empty parts.
        {"", ENTRY_NAME_EMPTY},
        {"\\x", ENTRY_NAME_ROOTED},
        {"\\\\server\\share\\x", ENTRY_NAME_ROOTED},
        {"a\\\\b", ENTRY_NAME_EMPTY_COMPONENT},
        {"a\\", ENTRY_NAME_EMPTY_COMPONENT},
        // Characters: '/' is not a separator here, ':' is a drive or a data stream.
        {"a/b", ENTRY_NAME_BAD_CHARACTER},
        {"/x", ENTRY_NAME_BAD_CHARACTER},
        {"../x", ENTRY_NAME_BAD_CHARACTER},
        {"C:x", ENTRY_NAME_BAD_CHARACTER},
        {"C:\\x", ENTRY_NAME_BAD_CHARACTER},
        {"readme.wri:hidden", ENTRY_NAME_BAD_CHARACTER},
        {"a<b", ENTRY_NAME_BAD_CHARACTER},
        {"a>b", ENTRY_NAME_BAD_CHARACTER},
        {"a\"b", ENTRY_NAME_BAD_CHARACTER},
        {"a|b", ENTRY_NAME_BAD_CHARACTER},
        {"a?b", ENTRY_NAME_BAD_CHARACTER},
        {"a*b", ENTRY_NAME_BAD_CHARACTER},
        {"a\x01"
         "b",
         ENTRY_NAME_BAD_CHARACTER},
        {"a\x1F"
         "b",
         ENTRY_NAME_BAD_CHARACTER},
        // Parts the system trims: they climb or land on another record's file.
        {"..", ENTRY_NAME_TRAILING_DOT_BLANK},
        {"..\\x", ENTRY_NAME_TRAILING_DOT_BLANK},
        {"a\\..\\b", ENTRY_NAME_TRAILING_DOT_BLANK},
        {"x\\.\\y", ENTRY_NAME_TRAILING_DOT_BLANK},
        {"...", ENTRY_NAME_TRAILING_DOT_BLANK},
        {".. ", ENTRY_NAME_TRAILING_DOT_BLANK},
        {"readme.wri.", ENTRY_NAME_TRAILING_DOT_BLANK},
        {"readme.wri ", ENTRY_NAME_TRAILING_DOT_BLANK},
        {"Brush.\\chalk.qbr", ENTRY_NAME_TRAILING_DOT_BLANK},
        // Devices, any case, with or without an extension, in any part.
        {"NUL", ENTRY_NAME_DEVICE},
        {"nul.txt", ENTRY_NAME_DEVICE},
        {"Con", ENTRY_NAME_DEVICE},
        {"prn.log", ENTRY_NAME_DEVICE},
        {"aux.tar.gz", ENTRY_NAME_DEVICE},
        {"CONIN$", ENTRY_NAME_DEVICE},
        {"conout$.txt", ENTRY_NAME_DEVICE},
        {"COM1", ENTRY_NAME_DEVICE},
        {"com9.dat", ENTRY_NAME_DEVICE},
        {"LPT1", ENTRY_NAME_DEVICE},
        {"COM0", ENTRY_NAME_DEVICE}, // port 0 is reserved as well
        {"lpt0.txt", ENTRY_NAME_DEVICE},
        {"lpt9.x", ENTRY_NAME_DEVICE},
        {"COM\xB9", ENTRY_NAME_DEVICE}, // superscript one
        {"LPT\xB2.txt", ENTRY_NAME_DEVICE},
        {"com\xB3", ENTRY_NAME_DEVICE},
        {"NUL .txt", ENTRY_NAME_DEVICE}, // blanks before the dot are dropped
        {"Brush\\NUL", ENTRY_NAME_DEVICE},
        {"aux\\file.txt", ENTRY_NAME_DEVICE},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(entryNameProblem(row.name), row.expected) << "\"" << row.name << "\"";
        EXPECT_EQ(isSafeEntryName(row.name) != 0, row.expected == ENTRY_NAME_OK) << row.name;
    }
    EXPECT_EQ(entryNameProblem(nullptr), ENTRY_NAME_EMPTY);
}
