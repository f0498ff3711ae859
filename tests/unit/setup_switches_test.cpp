// The installer's switches as administrators' scripts pass them, and the /D= path check.
#include <gtest/gtest.h>

#include <string>

#include "common/setup_switches.h"

TEST(SetupSwitches, ReadsTheSwitchesInAnyCaseAndIgnoresEverythingElse) {
    struct Row {
        const char *line;
        int unattended, help, hasDestination;
        const char *destination, *log;
    } rows[] = {
        {"", 0, 0, 0, "", ""},
        {"/S", 1, 0, 0, "", ""},
        {"  /s\t", 1, 0, 0, "", ""},
        {"/Silent /SS -S S", 0, 0, 0, "", ""},
        {"/?", 0, 1, 0, "", ""},
        {"/S /D=C:\\Apps\\Quillary Test", 1, 0, 1, "C:\\Apps\\Quillary Test", ""},
        {"/S /d=C:\\Apps\\Two  Blanks  ", 1, 0, 1, "C:\\Apps\\Two  Blanks", ""},
        {"/D=C:\\x /S", 0, 0, 1, "C:\\x /S", ""}, // /D= is the last switch
        {"/LOG=C:\\setup.log /S", 1, 0, 0, "", "C:\\setup.log"},
        {"/log=\"C:\\My Logs\\setup.log\" /S", 1, 0, 0, "", "C:\\My Logs\\setup.log"},
        {"\"/LOG=C:\\My Logs\\a.log\" /S", 1, 0, 0, "", "C:\\My Logs\\a.log"},
        {"/S /LOG=", 1, 0, 0, "", ""},
        {"unrelated words /S", 1, 0, 0, "", ""},
    };
    for (const Row &row : rows) {
        SetupSwitches switches;
        parseSetupSwitches(row.line, &switches);
        EXPECT_EQ(switches.unattended, row.unattended) << row.line;
        EXPECT_EQ(switches.help, row.help) << row.line;
        EXPECT_EQ(switches.hasDestination, row.hasDestination) << row.line;
        EXPECT_STREQ(switches.destination, row.destination) << row.line;
        EXPECT_STREQ(switches.logPath, row.log) << row.line;
    }
}

TEST(SetupSwitches, LeavesAValueThatDoesNotFitEmptyInsteadOfCuttingIt) {
    std::string longPath = "C:\\" + std::string(600, 'a');
    SetupSwitches switches;
    parseSetupSwitches(("/S /LOG=" + longPath + " /D=" + longPath).c_str(), &switches);
    EXPECT_EQ(switches.unattended, 1);
    EXPECT_STREQ(switches.logPath, "");
    EXPECT_EQ(switches.hasDestination, 1);
    EXPECT_STREQ(switches.destination, "");
    EXPECT_EQ(destinationProblem(switches.destination, PATH_MAX_LENGTH), DESTINATION_EMPTY);
}

// 511 characters fill the 512-byte buffers exactly; one more is refused whole, not cut.
TEST(SetupSwitches, TakesValuesOfUpTo511CharactersWholeAndLeavesLongerOnesEmpty) {
    for (size_t length : {510u, 511u, 512u}) {
        std::string path = "C:\\" + std::string(length - 3, 'q');
        SetupSwitches switches;
        parseSetupSwitches(("/S /LOG=" + path + " /D=" + path).c_str(), &switches);
        std::string expected = length <= 511 ? path : "";
        EXPECT_EQ(std::string(switches.logPath), expected) << length;
        EXPECT_EQ(std::string(switches.destination), expected) << length;
        EXPECT_EQ(switches.hasDestination, 1);
    }
}

TEST(DestinationSwitch, TakesOnlyAFullLocalPathOfFolderNames) {
    struct Row {
        std::string path;
        DestinationProblem expected;
    } rows[] = {
        {"C:\\Apps\\Quillary Test", DESTINATION_OK},
        {"d:\\Quillary", DESTINATION_OK},
        {"", DESTINATION_EMPTY},
        {"Apps\\Quillary", DESTINATION_NOT_FULL_LOCAL},
        {"C:Quillary", DESTINATION_NOT_FULL_LOCAL},
        {"\\\\server\\share\\Quillary", DESTINATION_NOT_FULL_LOCAL},
        {"1:\\Quillary", DESTINATION_NOT_FULL_LOCAL},
        {"C:\\", DESTINATION_DRIVE_ROOT},
        {"C:\\Apps\\", DESTINATION_BAD_NAME},
        {"C:\\Apps\\\\Quillary", DESTINATION_BAD_NAME},
        {"C:\\Apps\\..\\Windows", DESTINATION_BAD_NAME},
        {"C:\\Apps\\.", DESTINATION_BAD_NAME},
        {"C:\\Apps\\CON", DESTINATION_BAD_NAME},
        {"C:\\Apps\\Quillary ", DESTINATION_BAD_NAME},
        {"C:\\Apps\\a:b", DESTINATION_BAD_NAME},
        {"C:\\Apps/Quillary", DESTINATION_BAD_NAME},
        {"C:\\" + std::string(40, 'q'), DESTINATION_OK},
        {"C:\\" + std::string(41, 'q'), DESTINATION_TOO_LONG},
    };
    for (const Row &row : rows)
        EXPECT_EQ(destinationProblem(row.path.c_str(), 43), row.expected) << row.path;
}
