// Text conversions of the packing tool. Project files are UTF-8; the block
// holds narrow values in the Windows ANSI code page 1252 and messages in
// UTF-16LE.
#pragma once

#include <cstddef>
#include <string>

// One decoding problem: the byte offset in the input where it starts and,
// for unrepresentable characters, the code point.
struct CodecProblem {
    size_t offset = 0;
    char32_t codePoint = 0;
    bool invalidUtf8 = false;
};

// UTF-8 to Windows-1252. False when the input is not UTF-8 or holds a
// character that the code page cannot represent; *problem says where.
bool utf8ToAnsi(const std::string& utf8, std::string* ansi, CodecProblem* problem);
std::string ansiToUtf8(const std::string& ansi);

// UTF-8 to UTF-16 and back (code points above U+FFFF as surrogate pairs;
// lone surrogates read back as U+FFFD).
bool utf8ToUtf16(const std::string& utf8, std::u16string* out, CodecProblem* problem);
std::string utf16ToUtf8(const std::u16string& text);

// The platform's wide literals (UTF-16 on Windows, UTF-32 elsewhere).
std::u16string wideToUtf16(const wchar_t* text);

// "U+00E9" style name of a code point, for error messages.
std::string codePointName(char32_t c);
