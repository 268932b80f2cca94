// VM option files: the ".vmoptions" file beside the executable, its
// includes and its class path directives.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ClassPathTexts {
    bool hasPrefix = false, hasReplacement = false, hasSuffix = false;
    std::string prefix, replacement, suffix;
};

using OptionList = std::vector<std::string>;

// Portable: trims a raw line (trailing CR/LF, then leading and trailing
// spaces). Returns false for lines to skip (empty or comment).
bool trimOptionLine(char* line);

enum class OptionLineKind { Include, ClassPath, ClassPathPrefix, ClassPathSuffix, Option };
// Classifies a line; `rest` receives the text after the directive.
OptionLineKind classifyOptionLine(const std::wstring& line, std::wstring* rest);

#ifdef _WIN32
FILE* openDefaultVmOptionsFile();
void readVmOptionsFile(const wchar_t* baseFile, FILE* file, OptionList& options, ClassPathTexts& texts);
void applyVmOptionLine(const wchar_t* baseFile, const wchar_t* line, OptionList& options, ClassPathTexts& texts);
#endif
