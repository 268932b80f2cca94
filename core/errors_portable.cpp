#include <cstddef>
#include <cwchar>
#include <string>

#include "core/bounded.h"
#include "core/errors.h"

bool substituteArgument(wchar_t* text, size_t capacity, const wchar_t* argument) {
    if (!argument) return true;
    wchar_t* at = wcsstr(text, L"{0}");
    if (!at) return true;
    std::wstring result(text, static_cast<size_t>(at - text));
    result += argument;
    result += at + 3;
    return copyTextW(text, capacity, result.c_str());
}
