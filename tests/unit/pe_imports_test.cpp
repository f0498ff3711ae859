// The shipped installer is a PE32 i386 GUI program that imports system DLLs only.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

const char SHIPPED[] = QUILLARY_BINARY_DIR "/win32/installer/Quillary-Setup.exe";

struct PeFile {
    std::vector<unsigned char> bytes;
    uint32_t u16(size_t at) const {
        return at + 2 <= bytes.size() ? bytes[at] | bytes[at + 1] << 8 : 0;
    }
    uint32_t u32(size_t at) const {
        return at + 4 <= bytes.size() ? u16(at) | (uint32_t)u16(at + 2) << 16 : 0;
    }
    size_t peOffset() const { return u32(0x3C); }
    size_t optionalHeader() const { return peOffset() + 24; }

    // Maps a relative virtual address to its offset in the file through the section table.
    size_t fileOffset(uint32_t rva) const {
        size_t sections = optionalHeader() + u16(peOffset() + 20);
        for (uint32_t i = 0; i < u16(peOffset() + 6); i++) {
            size_t section = sections + 40 * i;
            uint32_t virtualAddress = u32(section + 12), size = u32(section + 16);
            uint32_t virtualSize = std::max(u32(section + 8), size);
            if (rva >= virtualAddress && rva < virtualAddress + virtualSize)
                return rva - virtualAddress + u32(section + 20);
        }
        return bytes.size();
    }

    std::string stringAt(size_t at) const {
        std::string text;
        while (at < bytes.size() && bytes[at])
            text += (char)tolower(bytes[at++]);
        return text;
    }

    std::vector<std::string> importedDlls() const {
        std::vector<std::string> names;
        uint32_t importRva = u32(optionalHeader() + 96 + 8); // data directory 1, 32-bit layout
        for (size_t d = fileOffset(importRva); d + 20 <= bytes.size() && u32(d + 12); d += 20)
            names.push_back(stringAt(fileOffset(u32(d + 12))));
        return names;
    }
};

PeFile readShipped() {
    std::ifstream in(SHIPPED, std::ios::binary);
    PeFile pe;
    pe.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return pe;
}

} // namespace

TEST(ShippedInstaller, IsA32BitGuiProgram) {
    PeFile pe = readShipped();
    ASSERT_GT(pe.bytes.size(), 4096u) << "missing or empty: " << SHIPPED;
    ASSERT_EQ(pe.u16(0), 0x5A4Du) << "no MZ header";
    ASSERT_EQ(pe.u32(pe.peOffset()), 0x00004550u) << "no PE signature";
    EXPECT_EQ(pe.u16(pe.peOffset() + 4), 0x014Cu) << "machine is not i386";
    EXPECT_EQ(pe.u16(pe.optionalHeader()), 0x010Bu) << "optional header is not PE32";
    EXPECT_EQ(pe.u16(pe.optionalHeader() + 68), 2u) << "subsystem is not Windows GUI";
}

TEST(ShippedInstaller, ImportsOnlySystemDlls) {
    PeFile pe = readShipped();
    ASSERT_GT(pe.bytes.size(), 4096u) << "missing or empty: " << SHIPPED;
    const std::set<std::string> allowed = {"kernel32.dll", "user32.dll",   "gdi32.dll",
                                           "comctl32.dll", "advapi32.dll", "ole32.dll",
                                           "shell32.dll",  "msvcrt.dll"};
    std::vector<std::string> dlls = pe.importedDlls();
    ASSERT_FALSE(dlls.empty()) << "no import table found";
    for (const std::string &dll : dlls)
        EXPECT_TRUE(allowed.count(dll)) << "imports " << dll;
    EXPECT_TRUE(std::find(dlls.begin(), dlls.end(), "kernel32.dll") != dlls.end());
    EXPECT_TRUE(std::find(dlls.begin(), dlls.end(), "user32.dll") != dlls.end());
}
