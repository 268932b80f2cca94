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

// Parses a "-version" first line: the text after "java version \"" or
// "openjdk version \"", less its last two characters. False when the line
// has neither prefix or too little after it.
bool parseVersionLine(const char* line, char* version, size_t cap);
