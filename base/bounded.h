// Bounded text helpers. Every write into a fixed buffer in the launcher goes
// through this family, so nothing is ever written past a buffer.
//
// Each function takes the buffer and its capacity in elements (terminator
// included) and returns true when the whole result fitted. On false the
// buffer holds the result cut to capacity - 1 elements, still terminated.
// A capacity of 0 writes nothing and returns false.
//
// The format functions follow the Windows printf conventions on every
// platform: in a narrow format "%s" takes a narrow string and "%S" a wide
// one; in a wide format "%s" takes a wide string and "%S" a narrow one.
// "%hs" is always narrow and "%ls" always wide. Narrow text is widened byte
// by byte (each byte becomes the code unit of the same value) and wide text
// is narrowed unit by unit ('?' for units above 255), as the C runtime does
// in its default locale. Supported conversions: d i u x X c s S p %, the
// size prefixes I64, ll, l, h, z, and flags '-', '0', width and precision
// (including '*').
#pragma once

#include <cstdarg>
#include <cstddef>

bool copyText(char* dst, size_t cap, const char* src);
bool copyTextN(char* dst, size_t cap, const char* src, size_t count);
bool appendText(char* dst, size_t cap, const char* src);
bool appendChar(char* dst, size_t cap, char c);
bool formatText(char* dst, size_t cap, const char* format, ...);
bool vformatText(char* dst, size_t cap, const char* format, va_list args);
bool appendFormat(char* dst, size_t cap, const char* format, ...);

bool copyTextW(wchar_t* dst, size_t cap, const wchar_t* src);
bool copyTextNW(wchar_t* dst, size_t cap, const wchar_t* src, size_t count);
bool appendTextW(wchar_t* dst, size_t cap, const wchar_t* src);
bool appendCharW(wchar_t* dst, size_t cap, wchar_t c);
bool formatTextW(wchar_t* dst, size_t cap, const wchar_t* format, ...);
bool vformatTextW(wchar_t* dst, size_t cap, const wchar_t* format, va_list args);

// Byte-by-byte widening and unit-by-unit narrowing (see above).
bool widenText(wchar_t* dst, size_t cap, const char* src);
bool narrowText(char* dst, size_t cap, const wchar_t* src);

// Length of a terminated text, never reading past cap elements.
size_t textLength(const char* s, size_t cap);
size_t textLengthW(const wchar_t* s, size_t cap);

bool endsWithChar(const char* s, char c);
bool endsWithCharW(const wchar_t* s, wchar_t c);
bool startsWith(const char* s, const char* prefix);
