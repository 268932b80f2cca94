// The configuration block appended to the launcher executable: locating it
// through the PE headers and reading it into the stores. The parser reads
// from a ByteSource, so it runs the same over a file handle and over memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kBlockMagic = 0xE8E413D5u;
constexpr unsigned char kPayloadMask = 0xA7;
constexpr uint32_t kBlockReserved2 = 0xEAFD0C88u;
// Bytes written after the file area by the packing tool.
constexpr unsigned char kBlockTail[4] = {0xE8, 0xE4, 0x13, 0xD5};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes; false on an error. *got receives the count read.
    virtual bool read(void* dst, size_t n, size_t* got) = 0;
    virtual bool seek(uint64_t offset) = 0;
    virtual uint64_t position() = 0;
    virtual uint64_t size() = 0;
    // The platform error code of the last failed operation (0 if none).
    virtual int lastError() { return 0; }
};

class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, size_t size);
    bool read(void* dst, size_t n, size_t* got) override;
    bool seek(uint64_t offset) override;
    uint64_t position() override { return pos_; }
    uint64_t size() override { return size_; }

private:
    const unsigned char* data_;
    size_t size_;
    uint64_t pos_ = 0;
};

// Reads another source through a buffer and keeps the position and size
// itself. Parsing a block asks for a few bytes at a time and for the bytes
// that remain before every length; over a file each of those would be a
// system call of its own.
class BufferedByteSource : public ByteSource {
public:
    explicit BufferedByteSource(ByteSource& inner) : inner_(inner), pos_(inner.position()) {}
    bool read(void* dst, size_t n, size_t* got) override;
    bool seek(uint64_t offset) override;
    uint64_t position() override { return pos_; }
    uint64_t size() override;
    int lastError() override { return inner_.lastError(); }

private:
    static const size_t kCapacity = 16384;
    ByteSource& inner_;
    unsigned char buffer_[kCapacity];
    size_t begin_ = 0;  // unread buffered bytes are [begin_, end_)
    size_t end_ = 0;
    uint64_t pos_;
    bool sized_ = false;
    uint64_t size_ = 0;
};

enum class BlockError {
    None,
    Magic,
    ReadInt,
    ReadShort,
    ReadLong,
    ReadString,
    ReadWString,
};

// The fatal text the launcher shows for each error.
const wchar_t* blockErrorText(BlockError error);

// Primitive readers. Each fails on a short read; lengths are bounded by the
// bytes that remain, so a lying length fails instead of allocating.
bool readInt(ByteSource& src, int32_t* value, BlockError* error);
bool readShort(ByteSource& src, int16_t* value, BlockError* error);
bool readLong(ByteSource& src, int64_t* value, BlockError* error);
bool readString(ByteSource& src, std::string* value, BlockError* error);
bool readWString(ByteSource& src, std::wstring* value, BlockError* error);

// Finds the block offset from the PE section table (logs each header value).
bool locateBlock(ByteSource& src, uint64_t* offset, BlockError* error);

struct BlockContents {
    uint64_t fileAreaOffset = 0;
};

// Reads the block at the current position into the stores. `locale` is the
// detected locale code that chooses the language sections; detectLocale is
// called between the default messages and the language sections, so the
// caller passes a function that yields it.
bool parseBlock(ByteSource& src, const char* (*detect)(), BlockContents* out, BlockError* error);

// Whether a language section with this code applies to the locale.
bool sectionMatchesLocale(const std::string& sectionCode, const char* locale);
