// The declarations of jvm/javacheck.h that take Windows types.
#pragma once

#include <windows.h>

#include "jvm/javacheck.h"

bool runJavaVersion(const char* javaExe, const FILETIME& lastWrite, char* version, size_t cap);
bool readVersionCache(const char* javaExe, const FILETIME& lastWrite, char* version, size_t cap);
void writeVersionCache(const char* javaExe, const FILETIME& lastWrite, const char* version);
