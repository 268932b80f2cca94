// Frames exchanged with the Java bridge server over the control connection.
// Every frame is a 32-bit big-endian length and that many bytes; a request
// starts with its operation code, a reply with its flags. The numbers must
// match hostjvm/java/com/vantrel/hostjvm/Wire.java.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum WireOp : uint8_t {
    kOpInit = 1,
    kOpFindClass = 2,
    kOpGetMethod = 3,
    kOpCall = 4,
    kOpGetObjectClass = 5,
    kOpNewStringUtf = 6,
    kOpNewString = 7,
    kOpGetStringChars = 8,
    kOpGetStringLength = 9,
    kOpNewObjectArray = 10,
    kOpSetArrayElement = 11,
    kOpGetArrayElement = 12,
    kOpGetArrayLength = 13,
    kOpDeleteRef = 14,
    kOpExceptionOccurred = 15,
    kOpExceptionDescribe = 16,
    kOpExceptionClear = 17,
    kOpThrow = 18,
    kOpThrowNew = 19,
    kOpDestroy = 20,
    kOpExceptionCheck = 21,
    kOpNewRef = 22,
    kOpIsSameObject = 23,
};

enum WireCallKind : uint8_t { kCallStatic = 0, kCallVirtual = 1, kCallNewObject = 2 };

// Reply flags: an exception is pending after the call; this very call
// raised it; the call misused the interface (the body holds the reason).
enum WireFlag : uint8_t { kFlagPending = 1, kFlagThrew = 2, kFlagFault = 4 };

constexpr uint32_t kMaxFrame = 256u << 20;

// Builds one request body (without its length prefix).
struct FrameWriter {
    std::vector<uint8_t> bytes;

    void u8(uint8_t v);
    void i32(int32_t v);
    void i64(int64_t v);
    void data(const void* p, size_t n);          // 32-bit length, then the bytes
    void text(const std::string& s) { data(s.data(), s.size()); }
    void chars(const uint16_t* p, size_t n);     // 32-bit count, then big-endian units
};

// Reads one reply body field by field. Reading past the end sets ok to
// false and yields zeros, so a short reply can never be read beyond.
struct FrameReader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool ok = true;

    FrameReader() = default;
    FrameReader(const uint8_t* p, size_t n) : data(p), size(n) {}
    uint8_t u8();
    int32_t i32();
    int64_t i64();
    std::string text();
    std::vector<uint16_t> chars();
};

// The 4-byte big-endian length prefix.
void putFrameLength(uint8_t out[4], uint32_t length);
uint32_t getFrameLength(const uint8_t in[4]);

// Modified UTF-8 as GetStringUTFChars returns it: NUL as C0 80, every
// UTF-16 unit (surrogates included) encoded on its own.
std::string modifiedUtf8(const uint16_t* units, size_t count);
