#pragma once
// The console, for the two stubs built from these sources: the console
// program, and the windowed one (Windows subsystem, like javaw.exe), which
// Windows starts without a console window, from Explorer or from a prompt.
#include <windows.h>

#include <cstdio>

// Whether this executable is the windowed stub. Its own PE header says so,
// so both stubs share every object file.
bool runsWindowed();

// Creation flags for the console programs the launcher starts (java.exe
// -version, unpack200.exe). A launcher without a console would have
// Windows open a console window for each of them; the windowed stub asks
// for none.
DWORD consoleChildFlags();

// Makes standard output and error reach the user before a command prints
// its lines (service commands, the usage text, errors on standard error).
// The console stub has them already. The windowed stub keeps a stream that
// its caller redirected to a file or pipe, and otherwise writes to the
// console of the process that started it, where the command was typed;
// without one (started from Explorer, or by the SCM) nothing is written
// anywhere. Exit codes do not depend on it.
void attachOutputToParentConsole();

// Where those lines go: the parent's console once attached, else the
// process's own standard output and error.
FILE* standardOutput();
FILE* standardError();
