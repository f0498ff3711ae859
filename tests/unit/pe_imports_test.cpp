// The shipped installer is a PE32 i386 GUI program that imports known DLLs only: those Windows
// always takes from its system folder, never from the folder the installer was started from.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "pe_file.h"

namespace {

const char SHIPPED[] = QUILLARY_BINARY_DIR "/win32/installer/Quillary-Setup.exe";

pe::PeFile readShipped() { return pe::readPe(SHIPPED); }

} // namespace

TEST(ShippedInstaller, IsA32BitGuiProgram) {
    pe::PeFile pe = readShipped();
    ASSERT_GT(pe.bytes.size(), 4096u) << "missing or empty: " << SHIPPED;
    ASSERT_EQ(pe.u16(0), 0x5A4Du) << "no MZ header";
    ASSERT_EQ(pe.u32(pe.peOffset()), 0x00004550u) << "no PE signature";
    EXPECT_EQ(pe.u16(pe.peOffset() + 4), 0x014Cu) << "machine is not i386";
    EXPECT_EQ(pe.u16(pe.optionalHeader()), 0x010Bu) << "optional header is not PE32";
    EXPECT_EQ(pe.u16(pe.optionalHeader() + 68), 2u) << "subsystem is not Windows GUI";
}

TEST(ShippedInstaller, ImportsOnlyKnownDlls) {
    pe::PeFile pe = readShipped();
    ASSERT_GT(pe.bytes.size(), 4096u) << "missing or empty: " << SHIPPED;
    // Windows' KnownDLLs list. comctl32 is not on it: imported, it would be searched for in the
    // installer's own folder first.
    const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                           "advapi32.dll", "ole32.dll",  "shell32.dll",
                                           "msvcrt.dll"};
    std::vector<std::string> dlls = pe.importedDlls();
    ASSERT_FALSE(dlls.empty()) << "no import table found";
    for (const std::string &dll : dlls)
        EXPECT_TRUE(allowed.count(dll)) << "imports " << dll;
    EXPECT_TRUE(std::find(dlls.begin(), dlls.end(), "kernel32.dll") != dlls.end());
    EXPECT_TRUE(std::find(dlls.begin(), dlls.end(), "user32.dll") != dlls.end());
}
