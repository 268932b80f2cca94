// Option-file lines: trimming, directive classification and the include
// chain, over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launch/vmoptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> line(data, data + size);
    line.push_back(0);
    if (trimOptionLine(line.data())) {
        std::wstring wide;
        for (const char* p = line.data(); *p; ++p) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
        std::wstring rest;
        classifyOptionLine(wide, &rest);
        IncludeChain chain;
        for (int i = 0; i < 40; ++i) {
            if (enterInclude(chain, rest + std::to_wstring(i % 7)) != IncludeCheck::Entered) break;
        }
        while (!chain.files.empty()) leaveInclude(chain);
    }
    return 0;
}
