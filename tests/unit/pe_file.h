// Reads a PE file natively: headers, sections, the import table and the resource tree.
#pragma once

#include <stdint.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pe {

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
    size_t sectionTable() const { return optionalHeader() + u16(peOffset() + 20); }
    uint32_t sectionCount() const { return u16(peOffset() + 6); }
    std::string sectionName(uint32_t i) const {
        size_t at = sectionTable() + 40 * i;
        std::string name;
        for (size_t c = at; c < at + 8 && c < bytes.size() && bytes[c]; c++)
            name += (char)bytes[c];
        return name;
    }
    // Data directory entry i of the 32-bit optional header: its address.
    uint32_t directoryRva(int i) const { return u32(optionalHeader() + 96 + 8 * i); }

    // Maps a relative virtual address to its offset in the file through the section table.
    size_t fileOffset(uint32_t rva) const {
        for (uint32_t i = 0; i < sectionCount(); i++) {
            size_t section = sectionTable() + 40 * i;
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
        for (size_t d = fileOffset(directoryRva(1)); d + 20 <= bytes.size() && u32(d + 12); d += 20)
            names.push_back(stringAt(fileOffset(u32(d + 12))));
        return names;
    }

    // The data of the first language of resource type/id; empty when there is none.
    std::vector<unsigned char> resource(uint32_t type, uint32_t id) const {
        size_t root = fileOffset(directoryRva(2));
        size_t level = root;
        for (uint32_t wanted : {type, id, 0u}) {
            uint32_t named = u16(level + 12), numbered = u16(level + 14);
            uint32_t target = 0;
            bool found = false;
            for (uint32_t e = 0; e < named + numbered; e++) {
                size_t entry = level + 16 + 8 * e;
                // The third level (languages) takes whichever comes first.
                if (wanted == 0 || (!(u32(entry) & 0x80000000) && u32(entry) == wanted)) {
                    target = u32(entry + 4);
                    found = true;
                    break;
                }
            }
            if (!found)
                return {};
            level = root + (target & 0x7FFFFFFF);
            if (!(target & 0x80000000)) { // a data entry: address and size
                size_t data = fileOffset(u32(level));
                uint32_t size = u32(level + 4);
                if (data + size > bytes.size())
                    return {};
                return std::vector<unsigned char>(bytes.begin() + data,
                                                  bytes.begin() + data + size);
            }
        }
        return {};
    }
};

inline PeFile readPe(const char *path) {
    std::ifstream in(path, std::ios::binary);
    PeFile file;
    file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return file;
}

} // namespace pe
