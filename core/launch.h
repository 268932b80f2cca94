// Start-up, the launch sequence and process exit.
#pragma once

#include "core/cmdline.h"

void initLauncher();

// Runs the application; returns only when it ran to completion.
void runLaunchSequence(ArgumentVector& arguments, bool ignoreConsole);

// Empties and removes the temporary directory, then ends the process.
[[noreturn]] void exitProcessWithCleanup(int code);

// The usage line for the executable's file name (no directory, no extension).
void printUsage();
// The same line on standard error, for a command that was not understood.
void printUsageToStandardError();
