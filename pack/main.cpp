// vtlpack: the packing tool's entry point. Arguments travel as UTF-8, so on
// Windows they are taken from the wide command line.
#include <iostream>
#include <string>
#include <vector>

#include "pack/commands.h"
#include "pack/text_codec.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(utf16ToUtf8(wideToUtf16(argv[i])));
    std::string self = argc > 0 ? utf16ToUtf8(wideToUtf16(argv[0])) : std::string();
    return runVtlpack(args, self.c_str(), std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return runVtlpack(args, argc > 0 ? argv[0] : nullptr, std::cout, std::cerr);
}
#endif
