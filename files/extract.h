// Extraction of the files embedded in the launcher executable.
#pragma once

#include <cstdint>

// 0 on success, else the failed copy's result (1 read, 2 write).
int extractEmbeddedFiles(bool mayCreateDirectory);

// File offset just past the last extracted record (0 when nothing was extracted).
uint64_t unextractedPosition();

#ifdef _WIN32
#include <windows.h>
int extractOneFile(HANDLE executable, const char* target);
int copyUnmasked(HANDLE source, HANDLE target, int64_t length);
#endif

// Portable: whether an embedded name stays inside the temporary directory
// (relative, no drive, no "..", at most one directory level is created).
bool isSafeEmbeddedName(const char* name);
