// The class path option: option-file texts, extracted archives, the
// runtime archive and the configured entries.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "launch/vmoptions.h"

// Room for one resolved path list of a class path entry.
constexpr size_t kResolvedListCapacity = 12000;

// One entry of config key 121: type letter, mandatory mark, name.
struct ClassPathEntry {
    char type = 0;
    bool mandatory = false;  // second character "1"
    std::string name;        // from the third character on, unexpanded
};

// Portable: splits the configured text at ";", skipping empty entries.
std::vector<ClassPathEntry> parseClassPathEntries(const char* text);

// Portable: what an environment value contributes: one surrounding pair of
// double quotes removed, then ";" unless the value ends with one.
std::string environmentContribution(const std::string& value);

// Portable: directory "\*" [.] extension, as the directory scan's pattern.
std::string archivePattern(const char* directory, const char* extension);

// Portable: appends the option-file suffix (";" first unless the text
// already ends with one), then drops one trailing ";".
void finishClassPath(std::string& classPath, const ClassPathTexts& texts);

// Portable core of resolvePathList: resolves every non-empty piece between
// ";" with `resolve` and joins the results with ";". A piece that does not
// fit whole is left out and logged. Returns false when a piece was left out.
using PieceResolver = std::function<bool(char* output, size_t cap, const char* piece)>;
bool joinResolvedPieces(char* output, size_t cap, const char* list, const PieceResolver& resolve);

#ifdef _WIN32
std::string buildClassPathOption(const ClassPathTexts& texts);
void appendConfiguredClassPath(std::string& classPath);
bool appendArchives(std::string& classPath, const char* directory, const char* extension);
std::vector<std::string> listFilesWithExtension(const char* directory, const char* extension);
void appendRuntimeJar(std::string& classPath);
bool resolvePathList(char* output, size_t cap, const char* list);
#endif
