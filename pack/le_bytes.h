// Little-endian numbers in byte strings: the PE, icon and resource formats
// all store theirs so. Reads assume the caller checked the bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline uint16_t le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

inline uint32_t le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(le16(b, at)) | static_cast<uint32_t>(le16(b, at + 2)) << 16;
}

inline void appendLe16(std::string& b, uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
}

inline void appendLe32(std::string& b, uint32_t v) {
    appendLe16(b, static_cast<uint16_t>(v & 0xFFFF));
    appendLe16(b, static_cast<uint16_t>(v >> 16));
}

inline void putLe16(std::string& b, size_t at, uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

inline void putLe32(std::string& b, size_t at, uint32_t v) {
    putLe16(b, at, static_cast<uint16_t>(v & 0xFFFF));
    putLe16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
