#include <windows.h>

#include "config/block.h"
#include "config/block_reader_win.h"
#include "config/keys.h"
#include "config/locale.h"
#include "config/store.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"

namespace {


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
    HandleByteSource file(h);
    BufferedByteSource source(file);
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
    int type = getConfigInt(key::ExecutableType);
    if (type != 1 && type != 5) setMessageBoxMode(false);
    return type;
}
