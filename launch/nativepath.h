// Native library directories in front of PATH.
#pragma once

#include <cstddef>

// The new PATH value is built in a buffer of this size.
constexpr size_t kNativePathCapacity = 48000;

// Portable: the resolved directories, ";" unless they are empty or already
// end with one, then the current PATH (null when undefined). Returns false,
// leaving the output empty, when the whole value does not fit: a cut PATH
// would lose or mangle directories the process needs.
bool composeNativePath(char* output, size_t cap, const char* directories, const char* currentPath);

void setNativeLibraryPath();
