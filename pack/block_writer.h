// Writing the configuration block: header, configuration records, default
// messages, language sections, the masked file area and the tail. The file
// area is streamed from the source files, so large files never sit in
// memory whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <utility>
#include <vector>

struct MessageRecord {
    int32_t id;
    std::u16string text;
};

struct LanguageSection {
    std::string code;  // locale code such as "de" or "de_CH"
    std::vector<MessageRecord> messages;
};

struct EmbeddedFile {
    std::string name;  // name inside the temporary directory (for messages)
    std::filesystem::path source;
};

struct BlockPlan {
    std::vector<std::pair<int32_t, std::string>> config;  // narrow values, ANSI code page
    std::vector<MessageRecord> messages;
    std::vector<LanguageSection> sections;
    std::vector<EmbeddedFile> files;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* data, size_t n) = 0;
};

class StringSink : public ByteSink {
public:
    bool write(const void* data, size_t n) override {
        bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    std::string bytes;
};

// Number of zero bytes written after the four tail bytes.
constexpr size_t kTailZeroBytes = 4;

// Everything before the file area, with the reserved 64-bit header field
// holding the distance from itself to the file area.
bool encodeBlockHead(const BlockPlan& input, std::string* out, std::string* error);

struct BlockWriteResult {
    uint64_t headBytes = 0;      // bytes before the file area
    uint64_t fileAreaBytes = 0;  // length fields and content
    uint64_t totalBytes = 0;     // whole block, tail included
};

// Writes the whole block. On false *error says what failed; the sink may
// hold a partial block, so callers write to a temporary file.
bool writeBlock(const BlockPlan& input, ByteSink& sink, BlockWriteResult* result, std::string* error);

// Copies `length` bytes of `in` to the sink, each XOR-ed with the mask.
bool copyMasked(std::istream& in, uint64_t length, ByteSink& sink, std::string* error);
