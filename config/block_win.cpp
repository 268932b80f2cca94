#include <windows.h>

#include "config/block.h"
#include "config/block_reader.h"
#include "config/locale.h"
#include "config/store.h"
#include "core/errors.h"
#include "core/log.h"
#include "files/paths.h"

namespace {

uint64_t fileAreaOffset = 0;

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

const char* detectForBlock() { return detectLocale(); }

}  // namespace

HANDLE openLauncherExecutable() {
    const wchar_t* path = getModulePathW();
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        logError(L"Could not open %p %d %s", h, static_cast<int>(GetLastError()), path);
        fatalError(L"Error opening media file.");
    }
    return h;
}

uint64_t configFileAreaOffset() { return fileAreaOffset; }

int readConfigBlock() {
    HANDLE h = openLauncherExecutable();
    HandleByteSource source(h);
    BlockError error = BlockError::None;
    uint64_t offset = 0;
    BlockContents contents;
    if (!locateBlock(source, &offset, &error) || !source.seek(offset) ||
        !parseBlock(source, detectForBlock, &contents, &error)) {
        CloseHandle(h);
        if (error == BlockError::None) error = BlockError::ReadInt;
        fatalError(blockErrorText(error));
    }
    fileAreaOffset = contents.fileAreaOffset;
    CloseHandle(h);
    int type = getConfigInt(107);
    if (type != 1 && type != 5) setMessageBoxMode(false);
    return type;
}
