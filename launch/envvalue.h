// Reading a whole environment variable of the process (narrow, ANSI).
#pragma once

#ifdef _WIN32
#include <string>

// False when the variable is not defined. No fixed buffer: the caller
// decides what an over-long value means for it.
bool readEnvironmentA(const char* name, std::string& value);
#endif
