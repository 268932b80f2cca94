// The single-instance guard and the per-process semaphore name.
#pragma once

#include <cstddef>

// Returns when this process is to run; a second instance ends inside.
void checkSingleInstance();

// Portable: "Global\" or "Local\", the canonical launcher path with every
// backslash and space turned into an underscore, then the number in
// decimal unless it is negative. False when the name was cut to cap.
bool buildSemaphoreName(char* output, size_t cap, bool global, const char* canonicalPath, int number);

// Numbered names are tried from 0 up to and including this number.
constexpr int kLastSemaphoreNumber = 100000;
