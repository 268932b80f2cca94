// Reading the block of any packed executable back into a report: keys,
// messages per language section, embedded files and the offset past the
// file area. Every count and length is checked against the bytes that
// remain, so a damaged block gives a report with a problem, never a crash.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "config/block.h"
#include "pack/block_writer.h"
#include "pack/resource_report.h"

enum class InspectStatus {
    Ok,
    NotExecutable,  // no PE headers
    NoBlock,        // no magic number where the block belongs
    Malformed,      // the block breaks off or lies about a length
};

struct FileRecord {
    std::string name;  // from key::EmbeddedFileNames, ANSI
    int64_t length = 0;
    uint64_t offset = 0;  // of the length field
};

struct BlockReport {
    InspectStatus status = InspectStatus::Ok;
    std::string problem;  // what went wrong, for the statuses other than Ok
    uint64_t fileSize = 0;
    uint64_t blockOffset = 0;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    int64_t reserved3 = 0;
    std::vector<std::pair<int32_t, std::string>> config;  // in file order, duplicates kept
    std::vector<MessageRecord> messages;
    std::vector<LanguageSection> sections;
    uint64_t fileAreaOffset = 0;
    std::vector<FileRecord> files;
    uint64_t endOffset = 0;  // offset past the file area: the unextracted position
    bool tailPresent = false;
    uint64_t bytesAfterFileArea = 0;
    std::vector<std::string> notes;  // oddities that the launcher tolerates
    bool resourcesRead = false;      // the PE headers were read (whatever the block)
    ResourceReport resources;
};

// Reads the executable behind `src` (which must be positioned anywhere).
void inspectExecutable(ByteSource& src, BlockReport* report);
void printBlockReport(const BlockReport& report, const std::string& displayName, std::ostream& out);

// A ByteSource over a file on disk.
class FileByteSource : public ByteSource {
public:
    bool open(const std::filesystem::path& path);
    bool read(void* dst, size_t n, size_t* got) override;
    bool seek(uint64_t offset) override;
    uint64_t position() override { return position_; }
    uint64_t size() override { return size_; }

private:
    std::ifstream in_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
};
