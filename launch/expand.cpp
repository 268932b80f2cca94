#include "launch/expand.h"

#include <cstring>
#include <cwchar>

#include "base/bounded.h"
#include "core/log.h"

namespace {

size_t lengthOf(const char* s) { return strlen(s); }
size_t lengthOf(const wchar_t* s) { return wcslen(s); }
const char* find(const char* text, const char* pattern) { return strstr(text, pattern); }
const wchar_t* find(const wchar_t* text, const wchar_t* pattern) { return wcsstr(text, pattern); }

void logReplacement(const char* pattern, const char* value, const char* text) {
    logLine(L"expanding2 %S to %S in %S.", pattern, value, text);
}
void logReplacement(const wchar_t* pattern, const wchar_t* value, const wchar_t* text) {
    logLine(L"expanding2 %s to %s in %s.", pattern, value, text);
}
void logCut(const char* pattern, size_t cap) {
    logError(L"expansion of %S cut to %d characters", pattern, static_cast<int>(cap - 1));
}
void logCut(const wchar_t* pattern, size_t cap) {
    logError(L"expansion of %s cut to %d characters", pattern, static_cast<int>(cap - 1));
}

template <typename Ch>
bool replaceAllImpl(Ch* text, size_t cap, const Ch* pattern, const Ch* value) {
    if (cap == 0) return false;
    size_t patternLength = lengthOf(pattern);
    if (patternLength == 0) return true;
    // A text that fills its whole buffer without a terminator is cut first.
    bool complete = true;
    size_t used = 0;
    while (used < cap && text[used]) ++used;
    if (used == cap) {
        text[cap - 1] = 0;
        complete = false;
    }
    const size_t valueLength = lengthOf(value);
    size_t from = 0;
    while (const Ch* found = find(text + from, pattern)) {
        size_t at = static_cast<size_t>(found - text);
        std::basic_string<Ch> tail(found + patternLength);
        size_t room = cap - 1 - at;
        size_t valueCopied = valueLength < room ? valueLength : room;
        memcpy(text + at, value, valueCopied * sizeof(Ch));
        size_t end = at + valueCopied;
        size_t tailRoom = cap - 1 - end;
        size_t tailCopied = tail.size() < tailRoom ? tail.size() : tailRoom;
        memcpy(text + end, tail.data(), tailCopied * sizeof(Ch));
        text[end + tailCopied] = 0;
        logReplacement(pattern, value, text);
        if (valueCopied < valueLength || tailCopied < tail.size()) {
            logCut(pattern, cap);
            complete = false;
        }
        // Never search the inserted value again for the same pattern.
        from = end;
    }
    return complete;
}

template <typename Ch>
std::basic_string<Ch> literal(const char* ascii) {
    return std::basic_string<Ch>(ascii, ascii + strlen(ascii));
}

template <typename Ch>
void upperAscii(std::basic_string<Ch>& text) {
    for (Ch& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<Ch>(c - 'a' + 'A');
}

// The pattern buffer is reused from row to row and entry to entry: one
// expansion tries over a hundred patterns, and fresh strings for each cost
// more than the searches themselves.
template <typename Ch>
bool replaceRow(Ch* text, size_t cap, const char* pattern, const std::basic_string<Ch>& value,
                std::basic_string<Ch>& buffer) {
    buffer.assign(pattern, pattern + strlen(pattern));
    return replaceAllImpl(text, cap, buffer.c_str(), value.c_str());
}

template <typename Ch>
bool hasVariableSyntaxImpl(const Ch* text, size_t cap) {
    for (size_t i = 0; i < cap; ++i) {
        if (text[i] == 0) return false;
        if (text[i] == '%' || (text[i] == '$' && i + 1 < cap && text[i + 1] == '{')) return true;
    }
    // No terminator: the full expansion decides how the text is cut.
    return true;
}

template <typename Ch>
const std::basic_string<Ch>& valueOf(const BasicExpansionValues<Ch>& v, LauncherValue which,
                                     const std::basic_string<Ch>& separator) {
    switch (which) {
    case LauncherValue::LauncherDirectory: return v.launcherDirectory;
    case LauncherValue::TempDirectory: return v.tempDirectory;
    case LauncherValue::PathListSeparator: return separator;
    case LauncherValue::JvmHome: return v.jvmHome;
    case LauncherValue::TempBase: return v.tempBase;
    }
    return separator;
}

template <typename Ch>
bool expandImpl(Ch* text, size_t cap, const BasicExpansionValues<Ch>& v) {
    const std::basic_string<Ch> separator = literal<Ch>(";");
    bool complete = true;
    std::basic_string<Ch> pattern;
    for (size_t i = 0; i < kLauncherVariableCount; ++i) {
        const LauncherVariable& row = kLauncherVariables[i];
        complete = replaceRow(text, cap, row.pattern, valueOf(v, row.value, separator), pattern) && complete;
    }

    std::basic_string<Ch> upper;
    for (const std::basic_string<Ch>& entry : v.environment) {
        size_t equals = entry.find(static_cast<Ch>('='));
        if (equals == std::basic_string<Ch>::npos) continue;
        // Per-drive entries ("=C:=C:\work") have an empty name: ${}.
        pattern.assign(1, static_cast<Ch>('$'));
        pattern.push_back(static_cast<Ch>('{'));
        pattern.append(entry, 0, equals);
        pattern.push_back(static_cast<Ch>('}'));
        const Ch* value = entry.c_str() + equals + 1;
        complete = replaceAllImpl(text, cap, pattern.c_str(), value) && complete;
        upper.assign(pattern);
        upperAscii(upper);
        // A name stored in upper case already had its turn; a second pass
        // would expand the pattern inside the value just inserted.
        if (upper != pattern) complete = replaceAllImpl(text, cap, upper.c_str(), value) && complete;
    }
    return complete;
}

}  // namespace

// Both the old and the current names are understood, in each of the two
// syntaxes; the launcher: names follow.
const LauncherVariable kLauncherVariables[] = {
    {"%MORLIN_EXEDIR%", LauncherValue::LauncherDirectory},
    {"%VANTREL_EXEDIR%", LauncherValue::LauncherDirectory},
    {"%MORLIN_TEMPDIR%", LauncherValue::TempDirectory},
    {"%VANTREL_TEMPDIR%", LauncherValue::TempDirectory},
    {"%MORLIN_PATHLIST_SEPARATOR%", LauncherValue::PathListSeparator},
    {"%VANTREL_PATHLIST_SEPARATOR%", LauncherValue::PathListSeparator},
    {"%MORLIN_JVM_HOME%", LauncherValue::JvmHome},
    {"%VANTREL_JVM_HOME%", LauncherValue::JvmHome},
    {"${MORLIN_EXEDIR}", LauncherValue::LauncherDirectory},
    {"${VANTREL_EXEDIR}", LauncherValue::LauncherDirectory},
    {"${MORLIN_TEMPDIR}", LauncherValue::TempDirectory},
    {"${VANTREL_TEMPDIR}", LauncherValue::TempDirectory},
    {"${MORLIN_PATHLIST_SEPARATOR}", LauncherValue::PathListSeparator},
    {"${VANTREL_PATHLIST_SEPARATOR}", LauncherValue::PathListSeparator},
    {"${MORLIN_JVM_HOME}", LauncherValue::JvmHome},
    {"${VANTREL_JVM_HOME}", LauncherValue::JvmHome},
    {"${launcher:sys.launcherDirectory}", LauncherValue::LauncherDirectory},
    {"${launcher:sys.launcherTempDirectory}", LauncherValue::TempDirectory},
    {"${launcher:sys.pathlistSeparator}", LauncherValue::PathListSeparator},
    {"${launcher:sys.jvmHome}", LauncherValue::JvmHome},
    {"${launcher:sys.tempDir}", LauncherValue::TempBase},
};
const size_t kLauncherVariableCount = sizeof kLauncherVariables / sizeof kLauncherVariables[0];

bool replaceAll(char* text, size_t cap, const char* pattern, const char* value) {
    return replaceAllImpl(text, cap, pattern, value);
}

bool replaceAllW(wchar_t* text, size_t cap, const wchar_t* pattern, const wchar_t* value) {
    return replaceAllImpl(text, cap, pattern, value);
}

bool replaceAllW(wchar_t* text, size_t cap, const wchar_t* pattern, const char* value) {
    std::wstring wide(value, value + strlen(value));
    for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<unsigned char>(value[i]);
    return replaceAllImpl(text, cap, pattern, wide.c_str());
}

bool hasVariableSyntax(const char* text, size_t cap) { return hasVariableSyntaxImpl(text, cap); }
bool hasVariableSyntaxW(const wchar_t* text, size_t cap) { return hasVariableSyntaxImpl(text, cap); }

bool expandWithValues(char* text, size_t cap, const ExpansionValuesA& values) { return expandImpl(text, cap, values); }

bool expandWithValuesW(wchar_t* text, size_t cap, const ExpansionValues& values) {
    return expandImpl(text, cap, values);
}
