#include "pack/block_writer.h"

#include <fstream>
#include <limits>
#include <system_error>

#include "config/block.h"

namespace {

constexpr size_t kChunk = 64 * 1024;
// Offset of the reserved 64-bit field in the header.
constexpr size_t kDistanceField = 12;

void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

void putI32(std::string& out, int32_t v) { putU32(out, static_cast<uint32_t>(v)); }

void putI64(std::string& out, int64_t v) {
    uint64_t u = static_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) out += static_cast<char>(u >> (8 * i) & 0xFF);
}

bool fitsInt32(size_t n) { return n <= static_cast<size_t>(std::numeric_limits<int32_t>::max()); }

bool putCount(std::string& out, size_t n, const char* what, std::string* error) {
    if (!fitsInt32(n)) {
        *error = std::string("too many ") + what + " for the block format";
        return false;
    }
    putI32(out, static_cast<int32_t>(n));
    return true;
}

bool putNarrow(std::string& out, const std::string& text, std::string* error) {
    if (!fitsInt32(text.size())) {
        *error = "a text is longer than the block format allows";
        return false;
    }
    putI32(out, static_cast<int32_t>(text.size()));
    out += text;
    return true;
}

bool putMessages(std::string& out, const std::vector<MessageRecord>& messages, std::string* error) {
    if (!putCount(out, messages.size(), "messages", error)) return false;
    for (const auto& m : messages) {
        if (!fitsInt32(m.text.size() * 2)) {
            *error = "message " + std::to_string(m.id) + " is longer than the block format allows";
            return false;
        }
        putI32(out, m.id);
        putI32(out, static_cast<int32_t>(m.text.size() * 2));
        for (char16_t u : m.text) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        }
    }
    return true;
}

bool streamFile(const EmbeddedFile& file, ByteSink& sink, uint64_t* written, std::string* error) {
    std::error_code ec;
    uint64_t length = std::filesystem::file_size(file.source, ec);
    if (ec) {
        *error = "cannot read " + file.source.u8string() + ": " + ec.message();
        return false;
    }
    std::ifstream in(file.source, std::ios::binary);
    if (!in) {
        *error = "cannot open " + file.source.u8string();
        return false;
    }
    std::string lengthField;
    putI64(lengthField, static_cast<int64_t>(length));
    if (!sink.write(lengthField.data(), lengthField.size())) {
        *error = "write failed";
        return false;
    }
    if (!copyMasked(in, length, sink, error)) {
        *error = file.source.u8string() + ": " + *error;
        return false;
    }
    // A file that grew while it was copied would no longer match its length.
    if (in.peek() != std::char_traits<char>::eof()) {
        *error = file.source.u8string() + " changed while it was being packed";
        return false;
    }
    *written += 8 + length;
    return true;
}

}  // namespace

bool copyMasked(std::istream& in, uint64_t length, ByteSink& sink, std::string* error) {
    std::string buffer(kChunk, '\0');
    uint64_t done = 0;
    while (done < length) {
        size_t want = length - done < kChunk ? static_cast<size_t>(length - done) : kChunk;
        in.read(&buffer[0], static_cast<std::streamsize>(want));
        size_t got = static_cast<size_t>(in.gcount());
        if (got == 0) {
            *error = "the file ended after " + std::to_string(done) + " of " + std::to_string(length) + " bytes";
            return false;
        }
        for (size_t i = 0; i < got; ++i) buffer[i] = static_cast<char>(buffer[i] ^ kPayloadMask);
        if (!sink.write(buffer.data(), got)) {
            *error = "write failed";
            return false;
        }
        done += got;
    }
    return true;
}

bool encodeBlockHead(const BlockPlan& input, std::string* out, std::string* error) {
    std::string& b = *out;
    b.clear();
    putU32(b, kBlockMagic);
    putU32(b, 0);
    putU32(b, kBlockReserved2);
    putI64(b, 0);  // patched below, once the file area's offset is known
    if (!putCount(b, input.config.size(), "configuration records", error)) return false;
    for (const auto& record : input.config) {
        putI32(b, record.first);
        if (!putNarrow(b, record.second, error)) return false;
    }
    if (!putMessages(b, input.messages, error)) return false;
    if (!putCount(b, input.sections.size(), "language sections", error)) return false;
    for (const auto& section : input.sections) {
        if (!putNarrow(b, section.code, error) || !putMessages(b, section.messages, error)) return false;
    }
    std::string distance;
    putI64(distance, static_cast<int64_t>(b.size() - kDistanceField));
    b.replace(kDistanceField, 8, distance);
    return true;
}

bool writeBlock(const BlockPlan& input, ByteSink& sink, BlockWriteResult* result, std::string* error) {
    *result = BlockWriteResult();
    std::string head;
    if (!encodeBlockHead(input, &head, error)) return false;
    if (!sink.write(head.data(), head.size())) {
        *error = "write failed";
        return false;
    }
    result->headBytes = head.size();
    for (const auto& file : input.files) {
        if (!streamFile(file, sink, &result->fileAreaBytes, error)) return false;
    }
    std::string tail(reinterpret_cast<const char*>(kBlockTail), sizeof kBlockTail);
    tail.append(kTailZeroBytes, '\0');
    if (!sink.write(tail.data(), tail.size())) {
        *error = "write failed";
        return false;
    }
    result->totalBytes = result->headBytes + result->fileAreaBytes + tail.size();
    return true;
}
