#include "pack/text_codec.h"

#include <cstdio>

namespace {

// Characters 0x80-0x9F of code page 1252. The five undefined positions
// map to the C1 control of the same value, as Windows converts them.
const char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes one UTF-8 sequence at s[*i]; false on malformed input
// (overlong forms, surrogates and values above U+10FFFF included).
bool decodeUtf8(const std::string& s, size_t* i, char32_t* out) {
    unsigned char c = static_cast<unsigned char>(s[*i]);
    int extra = 0;
    char32_t cp = 0, min = 0;
    if (c < 0x80) {
        *out = c;
        ++*i;
        return true;
    } else if ((c & 0xE0) == 0xC0) {
        extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (s.size() - *i <= static_cast<size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
        unsigned char d = static_cast<unsigned char>(s[*i + k]);
        if ((d & 0xC0) != 0x80) return false;
        cp = cp << 6 | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    *out = cp;
    *i += static_cast<size_t>(extra) + 1;
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool ansiByteFor(char32_t cp, unsigned char* byte) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        *byte = static_cast<unsigned char>(cp);
        return true;
    }
    for (int k = 0; k < 32; ++k) {
        if (kHighControls[k] == cp) {
            *byte = static_cast<unsigned char>(0x80 + k);
            return true;
        }
    }
    return false;
}

}  // namespace

bool utf8ToAnsi(const std::string& utf8, std::string* ansi, CodecProblem* problem) {
    ansi->clear();
    size_t i = 0;
    while (i < utf8.size()) {
        size_t start = i;
        char32_t cp = 0;
        if (!decodeUtf8(utf8, &i, &cp)) {
            *problem = CodecProblem{start, 0, true};
            return false;
        }
        unsigned char byte = 0;
        if (!ansiByteFor(cp, &byte)) {
            *problem = CodecProblem{start, cp, false};
            return false;
        }
        *ansi += static_cast<char>(byte);
    }
    return true;
}

std::string ansiToUtf8(const std::string& ansi) {
    std::string out;
    for (char ch : ansi) {
        unsigned char b = static_cast<unsigned char>(ch);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : b);
    }
    return out;
}

bool utf8ToUtf16(const std::string& utf8, std::u16string* out, CodecProblem* problem) {
    out->clear();
    size_t i = 0;
    while (i < utf8.size()) {
        size_t start = i;
        char32_t cp = 0;
        if (!decodeUtf8(utf8, &i, &cp)) {
            *problem = CodecProblem{start, 0, true};
            return false;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *out += static_cast<char16_t>(0xD800 + (cp >> 10));
            *out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *out += static_cast<char16_t>(cp);
        }
    }
    return true;
}

std::string utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        appendUtf8(out, u);
    }
    return out;
}

std::u16string wideToUtf16(const wchar_t* text) {
    std::u16string out;
    for (const wchar_t* p = text; *p; ++p) {
        char32_t cp = static_cast<char32_t>(*p);
        if (sizeof(wchar_t) > 2 && cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string codePointName(char32_t c) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}
