// Java version texts: parsing, bounds and ranking. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using VersionComponents = std::vector<int32_t>;

// Splits at '.', '_', '-' and '+'; each piece converted like atol.
VersionComponents parseVersion(const char* text);
bool versionBoundOk(const VersionComponents& bound, const VersionComponents& version, bool isMaximum,
                    bool lenient);
bool isVersionInRange(const char* text, const VersionComponents& minimum, const VersionComponents& maximum);
// allowPreRelease: the caller's flag; config key 130 also allows them.
bool checkVersion(const char* text, const VersionComponents& minimum, const VersionComponents& maximum,
                  bool allowPreRelease);
bool isNewerVersion(const char* a, const char* b);

// Parses a "-version" version line: the text between the double quotes
// after "java version " or "openjdk version ". The line may end with its
// line end or without one; a line without a closing quote gives the rest
// of the line. False when the line has neither prefix or nothing follows it.
bool parseVersionLine(const char* line, char* version, size_t cap);

// A runtime prints one notice line per JAVA_TOOL_OPTIONS, _JAVA_OPTIONS
// ("Picked up ...") or JDK_JAVA_OPTIONS ("NOTE: Picked up ...") before its
// version line. At most this many of them are skipped.
constexpr int kMaxVersionNoticeLines = 16;

// The version from the whole "-version" error output: the first line that
// is not such a notice must be the version line.
bool parseVersionOutput(const char* output, char* version, size_t cap);

// A cached version written before the closing quote ended the version text
// holds whatever followed it (for example 17.0.15" 2025-04-1): the text
// before the quote is the version.
void mendCachedVersion(char* version);
