#include "jvm/sequence.h"

#include <cstring>

#include "config/keys.h"

std::vector<SearchEntry> splitSearchSequence(const char* sequence) {
    std::vector<SearchEntry> entries;
    if (!sequence) return entries;
    const char* p = sequence;
    while (*p) {
        const char* end = strchr(p, ';');
        size_t length = end ? static_cast<size_t>(end - p) : strlen(p);
        if (length > 0) entries.push_back(SearchEntry{p[0], std::string(p + 1, length - 1)});
        p += length;
        if (*p == ';') ++p;
    }
    return entries;
}

namespace {

// More than one character, and either a drive colon in second place or a
// leading pair of backslashes.
bool isAbsoluteLocationText(const char* text) {
    if (!text || strlen(text) < 2) return false;
    return text[1] == ':' || (text[0] == '\\' && text[1] == '\\');
}

}  // namespace

bool visitedInRelativePass(const SearchEntry& entry) {
    switch (entry.letter) {
    case 'B': return true;
    case 'A':
    case 'R': return !isAbsoluteLocationText(entry.text.c_str());
    default: return false;
    }
}

FailureMessage failureMessageFor(int sourceKind, bool sixtyFourBit) {
    const wchar_t* width = sixtyFourBit ? L"64" : L"32";
    switch (sourceKind) {
    case kSourceDirectory:
        return {sixtyFourBit ? msg::DirectoryJvmBroken64 : msg::DirectoryJvmBroken, FailureArgument::Location,
                nullptr};
    case kSourceEnvironment:
        return {sixtyFourBit ? msg::EnvVarJvmBroken64 : msg::EnvVarJvmBroken, FailureArgument::Location, nullptr};
    case kSourceRegistry: return {msg::JvmStartFailed, FailureArgument::None, nullptr};
    default: return {msg::NoJvmFound, FailureArgument::Width, width};
    }
}
