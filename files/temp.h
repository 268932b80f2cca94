// The temporary base, unique temporary names, the per-run temporary
// directory and its removal.
#pragma once

#include <cstddef>

#include "core/state.h"

#ifdef _WIN32
// Narrow: a missing base is the fatal message 1015.
void getTempBase(char* buffer, size_t cap);
// Wide: a missing base empties the buffer, and is fatal only when asked.
void getTempBaseW(wchar_t* buffer, size_t cap, bool fatal);
void makeTempFileName(char* output, size_t cap);
void createTempDirectory();
void emptyDirectory(const char* directory, bool recurse);
#endif
