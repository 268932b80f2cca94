// Reading the launcher's own configuration block at start-up.
#pragma once

#include <cstdint>
#include <windows.h>

#include "config/block.h"

// Reads the whole block into the stores; ends the process on any error.
// Returns the executable type (key::ExecutableType).
int readConfigBlock();

// File offset where the embedded file records begin.
uint64_t configFileAreaOffset();

// Opens the launcher executable for reading (read and write sharing);
// ends the process with the fatal "Error opening media file." on failure.
HANDLE openLauncherExecutable();

// An open file as a byte source for the block's primitive readers, so the
// file area fails on a short read exactly as the block does.
class HandleByteSource : public ByteSource {
public:
    explicit HandleByteSource(HANDLE h) : handle_(h) {}
    bool read(void* dst, size_t n, size_t* got) override {
        DWORD step = 0;
        DWORD ask = n > 0x10000000 ? 0x10000000 : static_cast<DWORD>(n);
        BOOL ok = ReadFile(handle_, dst, ask, &step, nullptr);
        *got = step;
        if (!ok) error_ = static_cast<int>(GetLastError());
        return ok != FALSE;
    }
    bool seek(uint64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) {
            error_ = static_cast<int>(GetLastError());
            return false;
        }
        return true;
    }
    uint64_t position() override {
        LARGE_INTEGER zero, now;
        zero.QuadPart = 0;
        if (!SetFilePointerEx(handle_, zero, &now, FILE_CURRENT)) return 0;
        return static_cast<uint64_t>(now.QuadPart);
    }
    uint64_t size() override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) return 0;
        return static_cast<uint64_t>(size.QuadPart);
    }
    int lastError() override { return error_; }

private:
    HANDLE handle_;
    int error_ = 0;
};
