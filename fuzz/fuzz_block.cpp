// The configuration block reader over arbitrary bytes: locating the block
// in a PE image and parsing it must end in an error or a result, never in
// a crash, a hang or a huge allocation.
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
    parseBlock(block, detect, &contents, &error);
    char buffer[16];
    getConfigString(101, buffer, sizeof buffer);
    getConfigInt(107);
    return 0;
}
