#include "base/bounded.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <type_traits>

namespace {

// One writer for both widths: it appends elements while room remains and
// remembers whether anything was cut.
template <typename Ch>
struct Sink {
    Ch* dst;
    size_t cap;
    size_t len;
    bool cut;

    Sink(Ch* d, size_t c, size_t start) : dst(d), cap(c), len(start), cut(false) {}

    void put(Ch c) {
        if (cap == 0 || len + 1 >= cap) {
            cut = true;
            return;
        }
        dst[len++] = c;
    }
    void finish() {
        if (cap > 0) dst[len < cap ? len : cap - 1] = 0;
    }
};

template <typename Ch>
size_t lengthOf(const Ch* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

template <typename Ch>
bool copyImpl(Ch* dst, size_t cap, const Ch* src, size_t count, size_t start) {
    if (cap == 0) return false;
    if (start >= cap) start = cap - 1;
    Sink<Ch> sink(dst, cap, start);
    for (size_t i = 0; i < count && src[i]; ++i) sink.put(src[i]);
    sink.finish();
    return !sink.cut;
}

template <typename Ch>
size_t boundedLength(const Ch* s, size_t cap) {
    size_t n = 0;
    while (n < cap && s[n]) ++n;
    return n;
}

// Emits a number with the usual printf flags.
template <typename Ch>
void putNumber(Sink<Ch>& sink, uint64_t magnitude, bool negative, unsigned base, bool upper,
               bool leftAlign, bool zeroPad, int width, int precision, const char* prefix) {
    char digits[72];
    int n = 0;
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    do {
        digits[n++] = set[magnitude % base];
        magnitude /= base;
    } while (magnitude != 0 && n < 70);
    if (precision == 0 && n == 1 && digits[0] == '0') n = 0;
    int zeros = precision > n ? precision - n : 0;
    int prefixLen = static_cast<int>(strlen(prefix)) + (negative ? 1 : 0);
    int body = n + zeros + prefixLen;
    if (zeroPad && !leftAlign && precision < 0 && width > body) {
        zeros += width - body;
        body = width;
    }
    int pad = width > body ? width - body : 0;
    if (!leftAlign)
        for (int i = 0; i < pad; ++i) sink.put(' ');
    if (negative) sink.put('-');
    for (const char* p = prefix; *p; ++p) sink.put(static_cast<Ch>(*p));
    for (int i = 0; i < zeros; ++i) sink.put('0');
    while (n > 0) sink.put(static_cast<Ch>(digits[--n]));
    if (leftAlign)
        for (int i = 0; i < pad; ++i) sink.put(' ');
}

template <typename Ch, typename Src>
void putString(Sink<Ch>& sink, const Src* s, bool leftAlign, int width, int precision) {
    static const char nullText[] = "(null)";
    size_t n = 0;
    if (s) {
        while (s[n] && (precision < 0 || n < static_cast<size_t>(precision))) ++n;
    } else {
        n = strlen(nullText);
        if (precision >= 0 && n > static_cast<size_t>(precision)) n = static_cast<size_t>(precision);
    }
    int pad = width > static_cast<int>(n) ? width - static_cast<int>(n) : 0;
    if (!leftAlign)
        for (int i = 0; i < pad; ++i) sink.put(' ');
    for (size_t i = 0; i < n; ++i) {
        uint32_t unit = s ? static_cast<uint32_t>(
                                static_cast<typename std::make_unsigned<Src>::type>(s[i]))
                          : static_cast<uint32_t>(nullText[i]);
        if (sizeof(Ch) == 1 && unit > 0xFF) unit = '?';
        sink.put(static_cast<Ch>(unit));
    }
    if (leftAlign)
        for (int i = 0; i < pad; ++i) sink.put(' ');
}

// The formatter shared by both widths. `narrowIsLower` tells what plain
// "%s" means: true in narrow formats, false in wide formats.
template <typename Ch>
bool formatImpl(Ch* dst, size_t cap, size_t start, const Ch* fmt, va_list args) {
    if (cap == 0) return false;
    if (start >= cap) start = cap - 1;
    Sink<Ch> sink(dst, cap, start);
    const bool wideFormat = sizeof(Ch) != 1;
    for (const Ch* p = fmt; *p; ++p) {
        if (*p != '%') {
            sink.put(*p);
            continue;
        }
        const Ch* specStart = p;
        ++p;
        if (*p == '%') {
            sink.put('%');
            continue;
        }
        bool leftAlign = false, zeroPad = false, plus = false, space = false, alt = false;
        for (;; ++p) {
            if (*p == '-') leftAlign = true;
            else if (*p == '0') zeroPad = true;
            else if (*p == '+') plus = true;
            else if (*p == ' ') space = true;
            else if (*p == '#') alt = true;
            else break;
        }
        int width = -1;
        if (*p == '*') {
            width = va_arg(args, int);
            if (width < 0) {
                leftAlign = true;
                width = -width;
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') width = (width < 0 ? 0 : width) * 10 + (*p++ - '0');
        }
        int precision = -1;
        if (*p == '.') {
            ++p;
            precision = 0;
            if (*p == '*') {
                precision = va_arg(args, int);
                if (precision < 0) precision = -1;
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
            }
        }
        enum { SizeDefault, SizeShort, SizeLong, Size64, SizeSize } size = SizeDefault;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            size = Size64;
            p += 3;
        } else if (p[0] == 'l' && p[1] == 'l') {
            size = Size64;
            p += 2;
        } else if (*p == 'l') {
            size = SizeLong;
            ++p;
        } else if (*p == 'h') {
            size = SizeShort;
            ++p;
        } else if (*p == 'z' || *p == 'I') {
            size = SizeSize;
            ++p;
        }
        Ch conv = *p;
        if (conv == 0) {
            // A lone '%' at the end: show what was written.
            for (const Ch* q = specStart; *q; ++q) sink.put(*q);
            break;
        }
        switch (conv) {
        case 'd':
        case 'i': {
            int64_t v;
            if (size == Size64) v = va_arg(args, long long);
            else if (size == SizeLong) v = va_arg(args, long);
            else if (size == SizeSize) v = static_cast<int64_t>(va_arg(args, ptrdiff_t));
            else v = va_arg(args, int);
            uint64_t mag = v < 0 ? (~static_cast<uint64_t>(v) + 1) : static_cast<uint64_t>(v);
            const char* prefix = v >= 0 && plus ? "+" : (v >= 0 && space ? " " : "");
            putNumber(sink, mag, v < 0, 10, false, leftAlign, zeroPad, width, precision, prefix);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            uint64_t v;
            if (size == Size64) v = va_arg(args, unsigned long long);
            else if (size == SizeLong) v = va_arg(args, unsigned long);
            else if (size == SizeSize) v = va_arg(args, size_t);
            else v = va_arg(args, unsigned int);
            unsigned base = conv == 'u' ? 10 : 16;
            const char* prefix = (alt && base == 16 && v != 0) ? (conv == 'X' ? "0X" : "0x") : "";
            putNumber(sink, v, false, base, conv == 'X', leftAlign, zeroPad, width, precision, prefix);
            break;
        }
        case 'p': {
            // Windows prints pointers as upper-case hex, zero-padded to the
            // pointer width, without a prefix.
            uintptr_t v = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            putNumber(sink, v, false, 16, true, leftAlign, true, static_cast<int>(sizeof(void*) * 2),
                      -1, "");
            break;
        }
        case 'c':
        case 'C': {
            int v = va_arg(args, int);
            int pad = width > 1 ? width - 1 : 0;
            if (!leftAlign)
                for (int i = 0; i < pad; ++i) sink.put(' ');
            uint32_t unit = static_cast<uint32_t>(v);
            if (sizeof(Ch) == 1) unit &= 0xFF;
            sink.put(static_cast<Ch>(unit));
            if (leftAlign)
                for (int i = 0; i < pad; ++i) sink.put(' ');
            break;
        }
        case 's':
        case 'S': {
            bool argIsWide;
            if (size == SizeShort) argIsWide = false;
            else if (size == SizeLong) argIsWide = true;
            else if (conv == 's') argIsWide = wideFormat;
            else argIsWide = !wideFormat;
            if (argIsWide)
                putString(sink, va_arg(args, const wchar_t*), leftAlign, width, precision);
            else
                putString(sink, va_arg(args, const char*), leftAlign, width, precision);
            break;
        }
        default:
            // Unknown conversion: copy it literally rather than guess at
            // the argument list.
            for (const Ch* q = specStart; q <= p; ++q) sink.put(*q);
            break;
        }
    }
    sink.finish();
    return !sink.cut;
}

}  // namespace

bool copyText(char* dst, size_t cap, const char* src) {
    return copyImpl(dst, cap, src ? src : "", SIZE_MAX, 0);
}
bool copyTextN(char* dst, size_t cap, const char* src, size_t count) {
    return copyImpl(dst, cap, src ? src : "", count, 0);
}
bool appendText(char* dst, size_t cap, const char* src) {
    if (cap == 0) return false;
    return copyImpl(dst, cap, src ? src : "", SIZE_MAX, boundedLength(dst, cap));
}
bool appendChar(char* dst, size_t cap, char c) {
    char s[2] = {c, 0};
    return appendText(dst, cap, s);
}
bool vformatText(char* dst, size_t cap, const char* format, va_list args) {
    return formatImpl(dst, cap, 0, format, args);
}
bool formatText(char* dst, size_t cap, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = formatImpl(dst, cap, 0, format, args);
    va_end(args);
    return ok;
}
bool appendFormat(char* dst, size_t cap, const char* format, ...) {
    if (cap == 0) return false;
    va_list args;
    va_start(args, format);
    bool ok = formatImpl(dst, cap, boundedLength(dst, cap), format, args);
    va_end(args);
    return ok;
}

bool copyTextW(wchar_t* dst, size_t cap, const wchar_t* src) {
    return copyImpl(dst, cap, src ? src : L"", SIZE_MAX, 0);
}
bool copyTextNW(wchar_t* dst, size_t cap, const wchar_t* src, size_t count) {
    return copyImpl(dst, cap, src ? src : L"", count, 0);
}
bool appendTextW(wchar_t* dst, size_t cap, const wchar_t* src) {
    if (cap == 0) return false;
    return copyImpl(dst, cap, src ? src : L"", SIZE_MAX, boundedLength(dst, cap));
}
bool appendCharW(wchar_t* dst, size_t cap, wchar_t c) {
    wchar_t s[2] = {c, 0};
    return appendTextW(dst, cap, s);
}
bool vformatTextW(wchar_t* dst, size_t cap, const wchar_t* format, va_list args) {
    return formatImpl(dst, cap, 0, format, args);
}
bool formatTextW(wchar_t* dst, size_t cap, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = formatImpl(dst, cap, 0, format, args);
    va_end(args);
    return ok;
}

bool widenText(wchar_t* dst, size_t cap, const char* src) {
    if (cap == 0) return false;
    Sink<wchar_t> sink(dst, cap, 0);
    for (const char* p = src ? src : ""; *p; ++p)
        sink.put(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    sink.finish();
    return !sink.cut;
}

bool narrowText(char* dst, size_t cap, const wchar_t* src) {
    if (cap == 0) return false;
    Sink<char> sink(dst, cap, 0);
    for (const wchar_t* p = src ? src : L""; *p; ++p) {
        uint32_t unit = static_cast<uint32_t>(*p);
        sink.put(static_cast<char>(unit > 0xFF ? '?' : unit));
    }
    sink.finish();
    return !sink.cut;
}

size_t textLength(const char* s, size_t cap) { return boundedLength(s, cap); }
size_t textLengthW(const wchar_t* s, size_t cap) { return boundedLength(s, cap); }

bool endsWithChar(const char* s, char c) {
    size_t n = lengthOf(s);
    return n > 0 && s[n - 1] == c;
}
bool endsWithCharW(const wchar_t* s, wchar_t c) {
    size_t n = lengthOf(s);
    return n > 0 && s[n - 1] == c;
}
bool startsWith(const char* s, const char* prefix) {
    return strncmp(s, prefix, strlen(prefix)) == 0;
}
