// The bounded helpers: copies and appends into small buffers never write
// past them, whatever the text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/bounded.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t cap = data[0] % 40;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.substr(0, text.find('\0'));
    char* buf = new char[cap ? cap : 1];
    if (cap) buf[0] = 0;
    copyText(buf, cap, text.c_str());
    appendText(buf, cap, text.c_str());
    formatText(buf, cap, "%s|%5.3s|%d", text.c_str(), text.c_str(), static_cast<int>(size));
    delete[] buf;
    std::wstring wide(text.begin(), text.end());
    wchar_t* wbuf = new wchar_t[cap ? cap : 1];
    if (cap) wbuf[0] = 0;
    formatTextW(wbuf, cap, L"%s|%S", wide.c_str(), text.c_str());
    appendTextW(wbuf, cap, wide.c_str());
    delete[] wbuf;
    return 0;
}
