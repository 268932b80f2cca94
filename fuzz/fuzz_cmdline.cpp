// Command-line splitting and the command tail parser over arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string narrow(reinterpret_cast<const char*>(data), size);
    std::wstring wide;
    for (size_t i = 0; i + 1 < size; i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (c) wide.push_back(c);
    }
    ArgumentVector arguments;
    splitCommandLine(wide.c_str(), arguments);
    std::string tail = narrow.substr(0, narrow.find('\0'));
    parseCommandTail(tail.c_str());
    skipProgramName(tail.c_str());
    return 0;
}
