#include "pack/block_report.h"

#include <algorithm>
#include <cstdio>

#include "config/keys.h"
#include "pack/pe_stub.h"

namespace {

// Headers of a PE image lie well inside its first megabytes.
constexpr uint64_t kHeaderWindow = 4u << 20;
// Smallest sizes of the records, to bound counts before reading them.
constexpr uint64_t kMinRecord = 8;

std::string hex(uint64_t v) {
    char buffer[24];
    snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(v));
    return buffer;
}

uint64_t remaining(ByteSource& src) {
    uint64_t size = src.size(), pos = src.position();
    return pos < size ? size - pos : 0;
}

bool fail(BlockReport* report, ByteSource& src, const std::string& what) {
    report->status = InspectStatus::Malformed;
    report->problem = what + " (at offset " + hex(src.position()) + ")";
    return false;
}

// A count that the launcher would loop over; negative counts mean none.
bool readCount(ByteSource& src, BlockReport* report, const std::string& what, uint64_t minRecord, int32_t* count) {
    BlockError error = BlockError::None;
    uint64_t at = src.position();
    if (!readInt(src, count, &error)) return fail(report, src, "the block ends before the " + what + " count");
    if (*count < 0) {
        report->notes.push_back("negative " + what + " count " + std::to_string(*count) + " at " + hex(at) +
                                " (read as none)");
        *count = 0;
    }
    if (static_cast<uint64_t>(*count) > remaining(src) / minRecord)
        return fail(report, src, what + " count " + std::to_string(*count) + " cannot fit in the " +
                                     std::to_string(remaining(src)) + " bytes that follow");
    return true;
}

bool readMessageList(ByteSource& src, BlockReport* report, const std::string& where,
                     std::vector<MessageRecord>* out) {
    int32_t count = 0;
    if (!readCount(src, report, where + " message", kMinRecord, &count)) return false;
    for (int32_t i = 0; i < count; ++i) {
        BlockError error = BlockError::None;
        int32_t id = 0;
        std::wstring text;
        if (!readInt(src, &id, &error) || !readWString(src, &text, &error))
            return fail(report, src, where + " message " + std::to_string(i + 1) + " of " + std::to_string(count) +
                                         " is cut off or has a bad length");
        std::u16string units;
        for (wchar_t c : text) units += static_cast<char16_t>(c);
        out->push_back({id, units});
    }
    return true;
}

bool readHeaderAndRecords(ByteSource& src, BlockReport* report) {
    BlockError error = BlockError::None;
    int32_t magic = 0, r1 = 0, r2 = 0;
    if (!readInt(src, &magic, &error) || !readInt(src, &r1, &error) || !readInt(src, &r2, &error) ||
        !readLong(src, &report->reserved3, &error))
        return fail(report, src, "the block header is cut off");
    report->reserved1 = static_cast<uint32_t>(r1);
    report->reserved2 = static_cast<uint32_t>(r2);
    int32_t count = 0;
    if (!readCount(src, report, "configuration record", kMinRecord, &count)) return false;
    for (int32_t i = 0; i < count; ++i) {
        int32_t key = 0;
        std::string value;
        if (!readInt(src, &key, &error) || !readString(src, &value, &error))
            return fail(report, src, "configuration record " + std::to_string(i + 1) + " of " +
                                         std::to_string(count) + " is cut off or has a bad length");
        report->config.emplace_back(key, value);
    }
    if (!readMessageList(src, report, "default", &report->messages)) return false;
    if (!readCount(src, report, "language section", kMinRecord, &count)) return false;
    for (int32_t s = 0; s < count; ++s) {
        LanguageSection section;
        if (!readString(src, &section.code, &error))
            return fail(report, src, "the code of language section " + std::to_string(s + 1) + " is cut off");
        if (!readMessageList(src, report, "language section \"" + section.code + "\"", &section.messages))
            return false;
        report->sections.push_back(section);
    }
    return true;
}

// The value the launcher would see: the last record of a key wins.
const std::string* lastValue(const BlockReport& report, int32_t key) {
    const std::string* found = nullptr;
    for (const auto& record : report.config)
        if (record.first == key) found = &record.second;
    return found;
}

long long leadingInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && v < 1000000000; ++i) v = v * 10 + (text[i] - '0');
    return negative ? -v : v;
}

bool readFileArea(ByteSource& src, BlockReport* report) {
    report->fileAreaOffset = src.position();
    const std::string* countText = lastValue(*report, key::EmbeddedFileCount);
    const std::string* namesText = lastValue(*report, key::EmbeddedFileNames);
    long long count = countText ? leadingInteger(*countText) : 0;
    std::vector<std::string> names;
    if (namesText) {
        std::string piece;
        for (size_t i = 0; i <= namesText->size(); ++i) {
            if (i == namesText->size() || (*namesText)[i] == ';') {
                if (!piece.empty()) names.push_back(piece);
                piece.clear();
            } else {
                piece += (*namesText)[i];
            }
        }
    }
    if (count > static_cast<long long>(names.size()) && count > 0)
        report->notes.push_back("key " + std::to_string(key::EmbeddedFileCount) + " counts " + std::to_string(count) +
                                " files but key " + std::to_string(key::EmbeddedFileNames) + " names " +
                                std::to_string(names.size()) + "; the launcher stops after the last name");
    for (long long i = 0; i < count && i < static_cast<long long>(names.size()); ++i) {
        FileRecord record{names[static_cast<size_t>(i)], 0, src.position()};
        BlockError error = BlockError::None;
        if (!readLong(src, &record.length, &error))
            return fail(report, src, "the length of embedded file '" + record.name + "' is cut off");
        if (record.length > 0) {
            if (static_cast<uint64_t>(record.length) > remaining(src))
                return fail(report, src, "embedded file '" + record.name + "' claims " +
                                             std::to_string(record.length) + " bytes but only " +
                                             std::to_string(remaining(src)) + " remain");
            src.seek(src.position() + static_cast<uint64_t>(record.length));
        }
        report->files.push_back(record);
    }
    report->endOffset = src.position();
    report->bytesAfterFileArea = remaining(src);
    unsigned char tail[4] = {0, 0, 0, 0};
    size_t got = 0;
    if (report->bytesAfterFileArea >= 4 && src.read(tail, 4, &got) && got == 4)
        report->tailPresent = std::equal(tail, tail + 4, kBlockTail);
    return true;
}

bool locate(ByteSource& src, BlockReport* report) {
    report->fileSize = src.size();
    std::string head(static_cast<size_t>(std::min<uint64_t>(report->fileSize, kHeaderWindow)), '\0');
    size_t got = 0, total = 0;
    src.seek(0);
    while (total < head.size() && src.read(&head[total], head.size() - total, &got) && got > 0) total += got;
    head.resize(total);
    StubLayout layout;
    std::string error;
    if (!readStubLayout(head, &layout, &error)) {
        report->status = InspectStatus::NotExecutable;
        report->problem = error;
        return false;
    }
    readResourceReport(src, layout, &report->resources);
    report->resourcesRead = true;
    report->blockOffset = layout.blockOffset;
    unsigned char magic[4] = {0, 0, 0, 0};
    bool found = layout.blockOffset + 4 <= report->fileSize && src.seek(layout.blockOffset) &&
                 src.read(magic, 4, &got) && got == 4 &&
                 (magic[0] | magic[1] << 8 | magic[2] << 16 | static_cast<uint32_t>(magic[3]) << 24) == kBlockMagic;
    if (!found) {
        report->status = InspectStatus::NoBlock;
        report->problem = "no configuration block: the magic number is not at " + hex(layout.blockOffset) +
                          ", the end of the last section";
        return false;
    }
    return src.seek(layout.blockOffset);
}

}  // namespace

void inspectExecutable(ByteSource& src, BlockReport* report) {
    *report = BlockReport();
    if (!locate(src, report) || !readHeaderAndRecords(src, report) || !readFileArea(src, report)) return;
    uint64_t distance = report->fileAreaOffset - report->blockOffset - 12;
    if (report->reserved3 != static_cast<int64_t>(distance))
        report->notes.push_back("the reserved header field holds " + std::to_string(report->reserved3) +
                                ", not the distance to the file area (" + std::to_string(distance) + ")");
}

bool FileByteSource::open(const std::filesystem::path& path) {
    std::error_code ec;
    size_ = std::filesystem::file_size(path, ec);
    if (ec) return false;
    in_.open(path, std::ios::binary);
    position_ = 0;
    return static_cast<bool>(in_);
}

bool FileByteSource::read(void* dst, size_t n, size_t* got) {
    in_.clear();
    in_.read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
    *got = static_cast<size_t>(in_.gcount());
    position_ += *got;
    return !in_.bad();
}

bool FileByteSource::seek(uint64_t offset) {
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    if (!in_) return false;
    position_ = offset;
    return true;
}
