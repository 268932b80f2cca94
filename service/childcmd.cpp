#include "service/childcmd.h"

#include <cwchar>

#include "core/bounded.h"

namespace {

bool hasBlank(const wchar_t* text) { return wcschr(text, L' ') != nullptr; }

bool appendQuotedIfBlank(wchar_t* buffer, size_t capacity, const wchar_t* text) {
    if (!hasBlank(text)) return appendTextW(buffer, capacity, text);
    return appendCharW(buffer, capacity, L'"') && appendTextW(buffer, capacity, text) &&
           appendCharW(buffer, capacity, L'"');
}

}  // namespace

bool appendChildArgument(wchar_t* buffer, size_t capacity, const wchar_t* argument) {
    return appendCharW(buffer, capacity, L' ') && appendQuotedIfBlank(buffer, capacity, argument);
}

bool buildChildCommandLine(wchar_t* buffer, size_t capacity, const ArgumentVector& ownArguments,
                           const std::wstring& serviceName, const std::vector<std::wstring>& startParameters) {
    if (capacity == 0) return false;
    buffer[0] = 0;
    bool fits = appendQuotedIfBlank(buffer, capacity, ownArguments.empty() ? L"" : ownArguments[0].c_str());
    fits = fits && appendChildArgument(buffer, capacity, serviceName.c_str());
    for (size_t i = 1; fits && i < ownArguments.size(); ++i)
        fits = appendChildArgument(buffer, capacity, ownArguments[i].c_str());
    for (size_t i = 0; fits && i < startParameters.size(); ++i)
        fits = appendChildArgument(buffer, capacity, startParameters[i].c_str());
    fits = fits && appendTextW(buffer, capacity, L" __vtl_restart");
    if (!fits) buffer[0] = 0;
    return fits;
}
