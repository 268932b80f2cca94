// Conversions between wide text and a Windows code page, into fixed
// buffers. Each takes the buffer and its capacity in elements (terminator
// included), always leaves it terminated, and returns true only when the
// whole text converted and fitted. What a failed conversion leaves in the
// buffer differs by function and is part of its contract: callers that
// show text want something readable, callers that name files want either
// the exact text or a visibly cut one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The code page the narrow file functions (CreateFileA, fopen) use.
UINT fileApiCodePage();

// Narrow text in codePage as wide text. When it does not convert whole
// (too long for the buffer, or not valid in the code page) the buffer holds
// the text widened byte by byte instead, cut to fit (see widenText).
bool widenFrom(UINT codePage, wchar_t* dst, size_t cap, const char* src);

// The whole of a narrow text in codePage as wide text, no limit; empty
// when it does not convert.
std::wstring widenWhole(UINT codePage, const char* src);

// Wide text in codePage. Units the code page cannot represent become '?'
// and, when lossy is not null, *lossy says whether there were any (CP_UTF8
// represents them all and is converted without a default character). When
// the result does not fit, the buffer holds it cut to cap - 1 bytes; when
// the text does not convert at all, "".
bool narrowTo(UINT codePage, char* dst, size_t cap, const wchar_t* src, bool* lossy);

// Wide text in codePage, units it cannot represent becoming the code
// page's own default character. On any failure the buffer holds the text
// narrowed unit by unit instead, cut to fit (see narrowText).
bool narrowToOrUnits(UINT codePage, char* dst, size_t cap, const wchar_t* src);

// The whole of a wide text in codePage, no limit, units the code page
// cannot represent becoming its default character; empty when it does not
// convert.
std::string narrowWhole(UINT codePage, const std::wstring& src);
