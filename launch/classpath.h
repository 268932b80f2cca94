// The class path option: option-file texts, extracted archives, the
// runtime archive and the configured entries.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "launch/vmoptions.h"

std::string buildClassPathOption(const ClassPathTexts& texts);
void appendConfiguredClassPath(std::string& classPath);
bool appendArchives(std::string& classPath, const char* directory, const char* extension);
std::vector<std::string> listFilesWithExtension(const char* directory, const char* extension);
void appendRuntimeJar(std::string& classPath);
bool resolvePathList(char* output, size_t cap, const char* list);
