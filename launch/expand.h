// Expansion of launcher variables and ${NAME} environment references in
// configured texts, in place and bounded by the caller's buffer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The values the expansion inserts, gathered by the Windows layer (or a
// test) and applied by the portable core.
template <typename Ch>
struct BasicExpansionValues {
    std::basic_string<Ch> launcherDirectory;
    std::basic_string<Ch> tempDirectory;
    std::basic_string<Ch> jvmHome;
    std::basic_string<Ch> tempBase;
    // "NAME=value" entries in block order, per-drive "=C:=..." entries included.
    std::vector<std::basic_string<Ch>> environment;
};
using ExpansionValues = BasicExpansionValues<wchar_t>;
using ExpansionValuesA = BasicExpansionValues<char>;

// What a launcher variable stands for.
enum class LauncherValue { LauncherDirectory, TempDirectory, PathListSeparator, JvmHome, TempBase };
struct LauncherVariable {
    const char* pattern;
    LauncherValue value;
};
// The launcher variables in the order they are expanded, before the
// environment entries.
extern const LauncherVariable kLauncherVariables[];
extern const size_t kLauncherVariableCount;

// Replaces every occurrence of pattern with value. The search resumes
// right after each inserted value, so a value holding its own pattern
// cannot loop. A result longer than cap - 1 is cut (and logged as an
// error); the return value is false then.
bool replaceAll(char* text, size_t cap, const char* pattern, const char* value);
bool replaceAllW(wchar_t* text, size_t cap, const wchar_t* pattern, const wchar_t* value);
// A narrow value is widened byte by byte.
bool replaceAllW(wchar_t* text, size_t cap, const wchar_t* pattern, const char* value);

// The launcher rows in their fixed order, then every environment entry as
// ${NAME} and its upper-case form. False when something was cut.
bool expandWithValues(char* text, size_t cap, const ExpansionValuesA& values);
bool expandWithValuesW(wchar_t* text, size_t cap, const ExpansionValues& values);

// False when no pattern can match: the text (terminated within cap) holds
// neither '%' nor "${". Expanding such a text changes nothing, so callers
// may skip gathering the values.
bool hasVariableSyntax(const char* text, size_t cap);
bool hasVariableSyntaxW(const wchar_t* text, size_t cap);

#ifdef _WIN32
// The values are taken from the process: launcher directory, tempDirectory,
// the chosen runtime's home, the temporary base, the environment block.
bool expandVariables(char* text, size_t cap);
// ansiPaths: the launcher directory and temporary base in their narrow
// forms widened byte by byte, for texts later handed to the VM as narrow.
bool expandVariablesW(wchar_t* text, size_t cap, bool ansiPaths);
#endif
