// The launcher's own paths and the path operations every step uses.
// Relative paths are taken against the launcher's directory, never the
// current directory. All buffers are bounded; over-long results are cut.
#pragma once

#include <cstddef>

// Portable path logic.
bool isRelativePath(const char* path);
bool isRelativePathW(const wchar_t* path);
// Drops every backslash that follows a backslash, except that the second
// character is always kept (a leading pair survives).
void collapseBackslashesRawW(wchar_t* path);
void collapseBackslashesRaw(char* path);
// A drive root: the text from the second character on is ":\", ":\." or ":\.\.".
bool isDriveRoot(const char* path);
bool isDriveRootW(const wchar_t* path);
// ASCII-only lower-casing (A-Z).
void lowerAsciiW(wchar_t* text);
void lowerAscii(char* text);

#ifdef _WIN32
const char* getModulePath();
const wchar_t* getModulePathW();
// Launcher directory, ending in a backslash.
const char* launcherDirectory();

void collapseBackslashes(char* path);
void collapseBackslashesW(wchar_t* path);

// Base file: when given, relative paths are taken against its directory.
bool resolveRelativePath(char* output, size_t cap, const char* path, const char* baseFile);
// ansiDirectory selects the launcher directory widened from the narrow form.
bool resolveRelativePathW(wchar_t* output, size_t cap, const wchar_t* path, const wchar_t* baseFile,
                          bool ansiDirectory);
bool absolutePath(char* output, size_t cap, const char* path, bool keepCase);
bool absolutePathW(wchar_t* output, size_t cap, const wchar_t* path, bool keepCase, bool ansiDirectory);

bool pathExists(const char* path);
bool pathExistsW(const wchar_t* path);

// The narrow form of a wide text in the file-API code page.
bool toFileApiNarrow(char* output, size_t cap, const wchar_t* text, bool* lossy);
#endif
