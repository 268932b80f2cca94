// The trace file: one line per event, each written through at once so that
// a test can read it even when the process ends abruptly. Texts appear as
// JSON strings in pure ASCII (everything else as \uXXXX).
#include <cstdio>

#include "testrt/jvm/testrt_jvm.h"
#include "testrt/support/settings.h"

namespace {

HANDLE traceFile = INVALID_HANDLE_VALUE;
CRITICAL_SECTION traceLock;
bool lockReady = false;

void appendUnit(std::string& out, unsigned unit) {
    switch (unit) {
        case '"': out += "\\\""; return;
        case '\\': out += "\\\\"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
    }
    if (unit >= 0x20 && unit < 0x7f) {
        out += static_cast<char>(unit);
        return;
    }
    char escape[8];
    snprintf(escape, sizeof escape, "\\u%04x", unit & 0xffff);
    out += escape;
}

}  // namespace

void openTrace(const std::wstring& path) {
    if (!lockReady) {
        InitializeCriticalSection(&traceLock);
        lockReady = true;
    }
    traceFile = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (traceFile == INVALID_HANDLE_VALUE) failTestRuntime("cannot open the trace file " + toUtf8(path), kExitBadScript);
}

void traceLine(const std::string& line) {
    if (traceFile == INVALID_HANDLE_VALUE) script();
    std::string bytes = line + "\n";
    EnterCriticalSection(&traceLock);
    DWORD written = 0;
    WriteFile(traceFile, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    LeaveCriticalSection(&traceLock);
}

std::string quoteBytes(const char* text) {
    if (!text) return "null";
    std::string out = "\"";
    for (const char* p = text; *p; ++p) appendUnit(out, static_cast<unsigned char>(*p));
    return out + "\"";
}

std::string quoteUtf16(const std::u16string& text) {
    std::string out = "\"";
    for (char16_t unit : text) appendUnit(out, unit);
    return out + "\"";
}

std::string quoteUtf8(const std::string& text) {
    return quoteUtf16(utf8ToUtf16(text));
}

// Standard and modified UTF-8 differ only in NUL and supplementary
// characters; both decoders accept both forms. A byte that does not start
// a valid sequence becomes U+FFFD, so wrongly encoded input shows.
std::u16string decodeModifiedUtf8(const char* text) {
    std::u16string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned c = *p;
        int extra = c < 0x80 ? 0 : (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
        bool valid = extra >= 0;
        for (int i = 1; valid && i <= extra; ++i) valid = (p[i] & 0xc0) == 0x80;
        if (!valid) {
            out += u'\ufffd';
            ++p;
            continue;
        }
        unsigned code = extra == 0 ? c : extra == 1 ? (c & 0x1f) : extra == 2 ? (c & 0x0f) : (c & 0x07);
        for (int i = 1; i <= extra; ++i) code = (code << 6) | (p[i] & 0x3f);
        p += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xd800 + (code >> 10));
            out += static_cast<char16_t>(0xdc00 + (code & 0x3ff));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::u16string utf8ToUtf16(const std::string& text) {
    return decodeModifiedUtf8(text.c_str());
}

std::string encodeModifiedUtf8(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        unsigned c = unit;
        if (c != 0 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

void failMisuse(const std::string& text) {
    traceLine("misuse " + quoteBytes(text.c_str()));
    failTestRuntime(text, kExitMisuse);
}
