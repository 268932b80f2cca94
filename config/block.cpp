#include "config/block.h"

#include <cstring>

#include "config/store.h"
#include "core/log.h"

MemoryByteSource::MemoryByteSource(const void* data, size_t size)
    : data_(static_cast<const unsigned char*>(data)), size_(size) {}

bool MemoryByteSource::read(void* dst, size_t n, size_t* got) {
    size_t avail = pos_ < size_ ? size_ - static_cast<size_t>(pos_) : 0;
    size_t take = n < avail ? n : avail;
    if (take) memcpy(dst, data_ + pos_, take);
    pos_ += take;
    *got = take;
    return true;
}

bool MemoryByteSource::seek(uint64_t offset) {
    pos_ = offset;
    return true;
}

bool BufferedByteSource::read(void* dst, size_t n, size_t* got) {
    unsigned char* out = static_cast<unsigned char*>(dst);
    *got = 0;
    while (*got < n) {
        if (begin_ < end_) {
            size_t take = end_ - begin_ < n - *got ? end_ - begin_ : n - *got;
            memcpy(out + *got, buffer_ + begin_, take);
            begin_ += take;
            *got += take;
            pos_ += take;
            continue;
        }
        size_t step = 0;
        if (n - *got >= kCapacity) {
            // Large reads go straight through.
            bool ok = inner_.read(out + *got, n - *got, &step);
            *got += step;
            pos_ += step;
            return ok;
        }
        bool ok = inner_.read(buffer_, kCapacity, &step);
        begin_ = 0;
        end_ = step;
        if (!ok || step == 0) {
            // Hand out what did arrive, then report as the inner source did.
            size_t take = step < n - *got ? step : n - *got;
            memcpy(out + *got, buffer_, take);
            begin_ = take;
            *got += take;
            pos_ += take;
            return ok;
        }
    }
    return true;
}

bool BufferedByteSource::seek(uint64_t offset) {
    begin_ = end_ = 0;
    if (!inner_.seek(offset)) return false;
    pos_ = offset;
    return true;
}

uint64_t BufferedByteSource::size() {
    // The launcher's own file does not change while it is read.
    if (!sized_) {
        size_ = inner_.size();
        sized_ = true;
    }
    return size_;
}

const wchar_t* blockErrorText(BlockError error) {
    switch (error) {
    case BlockError::Magic: return L"Internal Error: magic";
    case BlockError::ReadInt: return L"Internal Error: readInt";
    case BlockError::ReadShort: return L"Internal Error: readShort";
    case BlockError::ReadLong: return L"Internal Error: readLong";
    case BlockError::ReadString: return L"Internal Error: readString";
    case BlockError::ReadWString: return L"Internal Error: readWString";
    case BlockError::None: break;
    }
    return L"";
}

namespace {

bool readExact(ByteSource& src, void* dst, size_t n, size_t* got) {
    *got = 0;
    unsigned char* p = static_cast<unsigned char*>(dst);
    while (*got < n) {
        size_t step = 0;
        if (!src.read(p + *got, n - *got, &step)) return false;
        if (step == 0) return false;
        *got += step;
    }
    return true;
}

uint64_t remaining(ByteSource& src) {
    uint64_t size = src.size(), pos = src.position();
    return pos < size ? size - pos : 0;
}

}  // namespace

bool readInt(ByteSource& src, int32_t* value, BlockError* error) {
    unsigned char b[4];
    size_t got = 0;
    if (!readExact(src, b, 4, &got)) {
        logLine(L"error %d %d\n", src.lastError(), static_cast<int>(got));
        *error = BlockError::ReadInt;
        return false;
    }
    *value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                  static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool readShort(ByteSource& src, int16_t* value, BlockError* error) {
    unsigned char b[2];
    size_t got = 0;
    if (!readExact(src, b, 2, &got)) {
        logLine(L"error %d\n", src.lastError());
        *error = BlockError::ReadShort;
        return false;
    }
    *value = static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
    return true;
}

bool readLong(ByteSource& src, int64_t* value, BlockError* error) {
    unsigned char b[8];
    size_t got = 0;
    if (!readExact(src, b, 8, &got)) {
        logLine(L"error %d\n", src.lastError());
        *error = BlockError::ReadLong;
        return false;
    }
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | b[i];
    *value = static_cast<int64_t>(v);
    return true;
}

bool readString(ByteSource& src, std::string* value, BlockError* error) {
    int32_t n = 0;
    if (!readInt(src, &n, error)) return false;
    if (n < 0 || static_cast<uint64_t>(n) > remaining(src)) {
        *error = BlockError::ReadString;
        return false;
    }
    value->assign(static_cast<size_t>(n), '\0');
    size_t got = 0;
    if (n > 0 && !readExact(src, &(*value)[0], static_cast<size_t>(n), &got)) {
        *error = BlockError::ReadString;
        return false;
    }
    return true;
}

bool readWString(ByteSource& src, std::wstring* value, BlockError* error) {
    int32_t n = 0;
    if (!readInt(src, &n, error)) return false;
    if (n < 0 || static_cast<uint64_t>(n) > remaining(src)) {
        *error = BlockError::ReadWString;
        return false;
    }
    std::string bytes(static_cast<size_t>(n), '\0');
    size_t got = 0;
    if (n > 0 && !readExact(src, &bytes[0], static_cast<size_t>(n), &got)) {
        *error = BlockError::ReadWString;
        return false;
    }
    // An odd length leaves its last byte unused, as n/2 code units are kept.
    size_t units = static_cast<size_t>(n) / 2;
    value->resize(units);
    for (size_t i = 0; i < units; ++i) {
        unsigned lo = static_cast<unsigned char>(bytes[2 * i]);
        unsigned hi = static_cast<unsigned char>(bytes[2 * i + 1]);
        (*value)[i] = static_cast<wchar_t>(lo | hi << 8);
    }
    return true;
}

bool locateBlock(ByteSource& src, uint64_t* offset, BlockError* error) {
    int32_t peOffset = 0;
    int16_t sections = 0, optionalSize = 0;
    int32_t rawSize = 0, rawOffset = 0;
    if (!src.seek(60) || !readInt(src, &peOffset, error)) return false;
    if (!src.seek(static_cast<uint32_t>(peOffset) + 6ull) || !readShort(src, &sections, error)) return false;
    logLine(L"number of sections: %d", sections);
    if (!src.seek(static_cast<uint32_t>(peOffset) + 20ull) || !readShort(src, &optionalSize, error))
        return false;
    logLine(L"size of optional headers: %d", optionalSize);
    int64_t table = static_cast<int64_t>(static_cast<uint32_t>(peOffset)) + optionalSize +
                    40LL * sections - 16;
    logLine(L"resSectionTableStart: %d", static_cast<int>(table));
    // A header that points before the file start cannot hold a section table.
    if (table < 0) {
        *error = BlockError::ReadInt;
        return false;
    }
    if (!src.seek(static_cast<uint64_t>(table) + 16) || !readInt(src, &rawSize, error)) return false;
    if (!readInt(src, &rawOffset, error)) return false;
    logLine(L"rawDataSize: %d, rawDataOffset: %d", rawSize, rawOffset);
    *offset = static_cast<uint64_t>(static_cast<uint32_t>(rawOffset)) + static_cast<uint32_t>(rawSize);
    return true;
}

bool sectionMatchesLocale(const std::string& sectionCode, const char* locale) {
    size_t n = strlen(sectionCode.c_str());
    return strncmp(locale, sectionCode.c_str(), n) == 0;
}

bool parseBlock(ByteSource& src, const char* (*detect)(), BlockContents* out, BlockError* error) {
    int32_t magic = 0, ignored = 0;
    int64_t ignoredLong = 0;
    if (!readInt(src, &magic, error)) return false;
    if (static_cast<uint32_t>(magic) != kBlockMagic) {
        *error = BlockError::Magic;
        return false;
    }
    if (!readInt(src, &ignored, error) || !readInt(src, &ignored, error) ||
        !readLong(src, &ignoredLong, error))
        return false;

    int32_t count = 0;
    if (!readInt(src, &count, error)) return false;
    for (int32_t i = 0; i < count; ++i) {
        int32_t key = 0;
        std::string value;
        if (!readInt(src, &key, error) || !readString(src, &value, error)) return false;
        storeConfigValue(key, value);
    }

    if (!readInt(src, &count, error)) return false;
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0;
        std::wstring text;
        if (!readInt(src, &id, error) || !readWString(src, &text, error)) return false;
        storeMessage(id, text);
    }

    const char* locale = detect ? detect() : "en";

    int32_t sections = 0;
    if (!readInt(src, &sections, error)) return false;
    for (int32_t s = 0; s < sections; ++s) {
        std::string code;
        int32_t messages = 0;
        if (!readString(src, &code, error) || !readInt(src, &messages, error)) return false;
        bool matches = sectionMatchesLocale(code, locale);
        for (int32_t i = 0; i < messages; ++i) {
            int32_t id = 0;
            std::wstring text;
            if (!readInt(src, &id, error) || !readWString(src, &text, error)) return false;
            if (matches) storeMessage(id, text);
        }
    }
    out->fileAreaOffset = src.position();
    *error = BlockError::None;
    return true;
}
