// The declarations of files/extract.h that take Windows types.
#pragma once

#include <windows.h>

#include "files/extract.h"

int extractOneFile(HANDLE executable, const char* target);
int copyUnmasked(HANDLE source, HANDLE target, int64_t length);
