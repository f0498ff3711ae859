// The registry entry set: a text that would not fit its buffer is refused instead of cut (the
// texts themselves are read back from the registry by the Win32 layer tests).
#include <gtest/gtest.h>

#include <string>

#include "system/registry_entries.h"

TEST(RegistryEntries, TextsThatWouldNotFitAreRefusedWhole) {
    // installDir\Quillary.exe,0 fills the 512 bytes exactly; the quoted command is 6 longer.
    std::string dir(REGISTRY_BUFFER - 1 - (int)sizeof("\\Quillary.exe,0") + 1, 'd');
    RegistryValue classValue, iconValue, commandValue;
    documentTypeValues(&classValue, &iconValue, &commandValue, dir.c_str());
    EXPECT_EQ(iconValue.refused, 0);
    EXPECT_EQ(std::string(iconValue.data), dir + "\\Quillary.exe,0");
    EXPECT_EQ(commandValue.refused, 1);
    EXPECT_STREQ(commandValue.data, "");

    RegistryValue values[UNINSTALL_VALUE_COUNT];
    std::string longest(REGISTRY_BUFFER - 3, 'u'); // with its two quotes: 511 characters
    uninstallValues(values, longest.c_str(), "", "C:\\Q", "20261209");
    EXPECT_EQ(values[1].refused, 0);
    EXPECT_EQ(values[8].refused, 1) << "the quiet command line is 3 longer: refused, not cut";
    uninstallValues(values, (longest + "u").c_str(), "", "C:\\Q", "20261209");
    EXPECT_EQ(values[1].refused, 1);
    uninstallValues(values, longest.substr(3).c_str(), "", "C:\\Q", "20261209");
    EXPECT_EQ(values[8].refused, 0);
    EXPECT_EQ(std::string(values[8].data), "\"" + longest.substr(3) + "\" /S");
    uninstallValues(values, "", "", "C:\\Q", "20261209");
    EXPECT_EQ(values[1].refused, 1) << "no uninstaller, no command line";
    EXPECT_EQ(values[8].refused, 1) << "no uninstaller, no quiet command line";
}
