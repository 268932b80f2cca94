// An output file that appears complete or not at all: everything goes to a
// temporary file beside the target, which replaces the target only when
// `commit` succeeds. Destroying an uncommitted file removes the temporary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "pack/block_writer.h"

class OutputFile : public ByteSink {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() override;

    bool open(const std::filesystem::path& target, std::string* error);
    bool write(const void* data, size_t n) override;
    // Overwrites bytes already written (then goes on at the end).
    bool patch(uint64_t offset, const void* data, size_t n);
    bool commit(std::string* error);
    const std::filesystem::path& temporaryPath() const { return temp_; }

private:
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::ofstream out_;
    bool committed_ = false;
};
