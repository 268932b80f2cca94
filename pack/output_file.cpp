#include "pack/output_file.h"

#include <chrono>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define currentProcessId _getpid
#else
#include <unistd.h>
#define currentProcessId getpid
#endif

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
    if (out_.is_open()) out_.close();
    if (!committed_ && !temp_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
    }
    temp_.clear();
}

bool OutputFile::open(const std::filesystem::path& target, std::string* error) {
    discard();
    committed_ = false;
    target_ = target;
    std::filesystem::path folder = target.parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        *error = "the folder " + folder.u8string() + " does not exist";
        return false;
    }
    // The process id and a clock tick keep concurrent runs apart.
    auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + target.filename().u8string() + ".vtlpack-" + std::to_string(currentProcessId()) +
                           "-" + std::to_string((tick + attempt) % 1000000) + ".tmp";
        std::filesystem::path candidate = folder / std::filesystem::u8path(name);
        if (std::filesystem::exists(candidate, ec)) continue;
        out_.open(candidate, std::ios::binary | std::ios::trunc);
        if (!out_) break;
        temp_ = candidate;
        return true;
    }
    *error = "cannot create a temporary file in " + (folder.empty() ? std::string(".") : folder.u8string());
    return false;
}

bool OutputFile::write(const void* data, size_t n) {
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
    return static_cast<bool>(out_);
}

bool OutputFile::patch(uint64_t offset, const void* data, size_t n) {
    out_.seekp(static_cast<std::streamoff>(offset));
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
    out_.seekp(0, std::ios::end);
    return static_cast<bool>(out_);
}

bool OutputFile::commit(std::string* error) {
    out_.flush();
    bool ok = static_cast<bool>(out_);
    out_.close();
    if (!ok || out_.fail()) {
        *error = "writing " + temp_.u8string() + " failed (disk full?)";
        discard();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec) {
        *error = "cannot replace " + target_.u8string() + ": " + ec.message();
        discard();
        return false;
    }
    committed_ = true;
    temp_.clear();
    return true;
}
