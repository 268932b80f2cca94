#include "hostjvm/src/wire.h"

void FrameWriter::u8(uint8_t v) { bytes.push_back(v); }

void FrameWriter::i32(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(u >> shift));
}

void FrameWriter::i64(int64_t v) {
    uint64_t u = static_cast<uint64_t>(v);
    for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(u >> shift));
}

void FrameWriter::data(const void* p, size_t n) {
    i32(static_cast<int32_t>(n));
    const uint8_t* b = static_cast<const uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
}

void FrameWriter::chars(const uint16_t* p, size_t n) {
    i32(static_cast<int32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        bytes.push_back(static_cast<uint8_t>(p[i] >> 8));
        bytes.push_back(static_cast<uint8_t>(p[i] & 0xff));
    }
}

uint8_t FrameReader::u8() {
    if (!ok || size - pos < 1) {
        ok = false;
        return 0;
    }
    return data[pos++];
}

int32_t FrameReader::i32() {
    if (!ok || size - pos < 4) {
        ok = false;
        return 0;
    }
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | data[pos++];
    return static_cast<int32_t>(v);
}

int64_t FrameReader::i64() {
    if (!ok || size - pos < 8) {
        ok = false;
        return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | data[pos++];
    return static_cast<int64_t>(v);
}

std::string FrameReader::text() {
    int32_t n = i32();
    if (!ok || n < 0 || size - pos < static_cast<size_t>(n)) {
        ok = false;
        return std::string();
    }
    std::string s(reinterpret_cast<const char*>(data + pos), static_cast<size_t>(n));
    pos += static_cast<size_t>(n);
    return s;
}

std::vector<uint16_t> FrameReader::chars() {
    int32_t n = i32();
    if (!ok || n < 0 || (size - pos) / 2 < static_cast<size_t>(n)) {
        ok = false;
        return std::vector<uint16_t>();
    }
    std::vector<uint16_t> out(static_cast<size_t>(n));
    for (auto& unit : out) {
        unit = static_cast<uint16_t>((data[pos] << 8) | data[pos + 1]);
        pos += 2;
    }
    return out;
}

void putFrameLength(uint8_t out[4], uint32_t length) {
    out[0] = static_cast<uint8_t>(length >> 24);
    out[1] = static_cast<uint8_t>(length >> 16);
    out[2] = static_cast<uint8_t>(length >> 8);
    out[3] = static_cast<uint8_t>(length);
}

uint32_t getFrameLength(const uint8_t in[4]) {
    return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
           (static_cast<uint32_t>(in[2]) << 8) | in[3];
}

std::string modifiedUtf8(const uint16_t* units, size_t count) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        uint16_t c = units[i];
        if (c >= 1 && c <= 0x7f) {
            out.push_back(static_cast<char>(c));
        } else if (c <= 0x7ff) {
            out.push_back(static_cast<char>(0xc0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        } else {
            out.push_back(static_cast<char>(0xe0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        }
    }
    return out;
}
