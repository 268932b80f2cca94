// Expansion of launcher variables and ${NAME} environment references.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The values the expansion inserts, computed by the caller (portable core).
struct ExpansionValues {
    std::wstring launcherDirectory;
    std::wstring tempDirectory;
    std::wstring jvmHome;
    std::wstring tempBase;
    // "NAME=value" entries in block order (per-drive entries included).
    std::vector<std::wstring> environment;
};

// Replaces every occurrence of pattern, never searching an inserted value
// again. Results that do not fit the capacity are cut (and logged).
// Returns false when something was cut.
bool replaceAllW(wchar_t* text, size_t cap, const wchar_t* pattern, const wchar_t* value, bool narrowValueLog);
bool replaceAll(char* text, size_t cap, const char* pattern, const char* value);

// The 22 rows in order over a wide text (portable core of expandVariablesW).
bool expandWithValuesW(wchar_t* text, size_t cap, const ExpansionValues& values);
bool expandWithValues(char* text, size_t cap, const ExpansionValues& values);

#ifdef _WIN32
bool expandVariables(char* text, size_t cap);
bool expandVariablesW(wchar_t* text, size_t cap, bool ansiPaths);
#endif
