// Extraction of the files embedded in the launcher executable.
#pragma once

#include <cstddef>
#include <cstdint>

// The copy's results beside 0: a read failed or ended early, a write failed.
constexpr int kExtractReadFailed = 1;
constexpr int kExtractWriteFailed = 2;
// The block named a file that would land outside the temporary directory
// (or whose path does not fit a path buffer); nothing is written for it.
constexpr int kExtractRefused = 3;

// Bytes copied per read: the copy owns exactly one buffer of this size.
constexpr size_t kExtractChunk = 6000;

// 0 on success, else the failed file's result (1 read, 2 write, 3 refused).
int extractEmbeddedFiles(bool mayCreateDirectory);

// File offset just past the last extracted record (0 when nothing was extracted).
uint64_t unextractedPosition();

// Portable: whether an embedded name stays inside the temporary directory
// (relative, no drive or stream colon, no "..", no device name such as
// "nul" or "com1"; at most one directory level is created).
bool isSafeEmbeddedName(const char* name);

// The next name of a ";"-separated list, strtok-style: separators are cut
// into terminators, empty items are skipped, null when the list is used up.
// Unlike strtok it keeps its place in *cursor, not in hidden state.
char* nextEmbeddedName(char** cursor);

// The target "<directory>\<name>" and, when the name holds a backslash, the
// one directory level to create first ("<directory>\<first component>";
// empty otherwise). False when the target does not fit cap.
bool embeddedTargetPaths(const char* directory, const char* name, char* target, char* subdirectory,
                         size_t cap);

// Undoes the payload mask in place.
void unmaskBytes(unsigned char* data, size_t count);
