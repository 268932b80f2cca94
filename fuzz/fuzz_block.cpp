// The configuration block reader over arbitrary bytes: locating the block
// in a PE image and parsing it must end in an error or a result, never in
// a crash, a hang or a huge allocation. The buffered reader the launcher
// uses over its file must reach the same outcome as reading from memory.
#include <cstddef>
#include <cstdint>

#include "config/block.h"
#include "config/store.h"
#include "tests/support/log_capture.h"

static const char* detect() { return "de_CH"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    clearStores();
    clearCapturedLog();
    MemoryByteSource image(data, size);
    uint64_t offset = 0;
    BlockError error = BlockError::None;
    if (locateBlock(image, &offset, &error) && offset < size) image.seek(offset);
    MemoryByteSource block(data, size);
    BlockContents contents;
    BlockError plainError = BlockError::None;
    bool plain = parseBlock(block, detect, &contents, &plainError);
    size_t values = configValueCount(), messages = messageCount();

    clearStores();
    MemoryByteSource inner(data, size);
    BufferedByteSource buffered(inner);
    BlockContents bufferedContents;
    BlockError bufferedError = BlockError::None;
    bool viaBuffer = parseBlock(buffered, detect, &bufferedContents, &bufferedError);
    if (viaBuffer != plain || bufferedError != plainError || configValueCount() != values ||
        messageCount() != messages || (plain && bufferedContents.fileAreaOffset != contents.fileAreaOffset))
        __builtin_trap();
    char buffer[16];
    getConfigString(101, buffer, sizeof buffer);
    getConfigInt(107);
    return 0;
}
