#include <cstddef>
#include <cwchar>
#include <string>

#include "base/bounded.h"
#include "core/errors.h"

const wchar_t* internalErrorCode(InternalError error) {
    switch (error) {
    case InternalError::TempDirectoryNotCreated: return L"7";
    case InternalError::ExtractedFileNotCreated: return L"11";
    case InternalError::FirstRunClassMissing: return L"14";
    case InternalError::FirstRunMethodMissing: return L"15";
    case InternalError::EmbeddedFilesNotExtracted: return L"16";
    case InternalError::UnpackNotStarted: return L"20";
    case InternalError::ArgumentArrayNotBuilt: return L"21";
    }
    return L"";
}

bool substituteArgument(wchar_t* text, size_t capacity, const wchar_t* argument) {
    if (!argument) return true;
    wchar_t* at = wcsstr(text, L"{0}");
    if (!at) return true;
    std::wstring result(text, static_cast<size_t>(at - text));
    result += argument;
    result += at + 3;
    return copyTextW(text, capacity, result.c_str());
}
