// Paths derived from an accepted java executable. Pure functions; each
// returns false (and leaves an empty output) when the result does not fit.
#pragma once

#include <cstddef>

constexpr size_t kBinDirectoryCapacity = 2000;
constexpr size_t kVmTypeCapacity = 200;

// The executable path less its file name and the backslash before it.
bool binDirectoryOf(const char* javaExe, char* output, size_t cap);

// The executable path less its file name (backslash kept) followed by
// "..\jre\bin\java.exe": where a JDK keeps its private runtime.
bool alternativeJavaExe(const char* javaExe, char* output, size_t cap);

// The executable path less its file name followed by "..": the home
// recorded for the chosen runtime (not normalised).
bool jvmHomeOf(const char* javaExe, char* output, size_t cap);

// Executable type 1 wants javaw.exe: the last four characters (".exe")
// become "w.exe". False when the path is shorter than four characters or
// the result does not fit.
bool windowedJavaExe(char* javaExe, size_t cap);

// PATH with the bin directory appended after a ";". False, with an empty
// output, when the value would pass limit characters (what an environment
// variable can hold) or does not fit cap.
bool pathWithBinDirectory(const char* path, const char* binDirectory, size_t limit, char* output, size_t cap);
