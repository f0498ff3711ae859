// The payload archive's bytes, built by hand for the tests that read or write archives: a
// little-endian 32-bit number, and one record (name length byte, name, data size, data).
#pragma once

#include <stdint.h>

#include <string>

inline std::string u32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; i++)
        out.push_back((char)((value >> (8 * i)) & 0xFF));
    return out;
}

// One record; nameLength, when given, is written in place of the name's own length.
inline std::string record(const std::string &name, const std::string &data, int nameLength = -1) {
    size_t length = nameLength < 0 ? name.size() : (size_t)nameLength;
    return std::string(1, (char)length) + name + u32((uint32_t)data.size()) + data;
}
