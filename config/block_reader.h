// Reading the launcher's own configuration block at start-up.
#pragma once

#include <cstdint>
#include <windows.h>

// Reads the whole block into the stores; ends the process on any error.
// Returns config key 107.
int readConfigBlock();

// File offset where the embedded file records begin.
uint64_t configFileAreaOffset();

// Opens the launcher executable for reading (read and write sharing);
// ends the process with the fatal "Error opening media file." on failure.
HANDLE openLauncherExecutable();
