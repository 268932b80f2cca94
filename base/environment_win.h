// Reading and setting the process's environment variables. A read tells
// an absent variable from one too long for the caller, because callers
// treat them differently (a mandatory class-path variable that is absent
// is fatal; a PATH too long to extend is left alone, never cut).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "base/limits.h"


enum class EnvironmentRead {
    Found,    // the whole value is in the buffer (it may be empty)
    Absent,   // the variable is not defined; the buffer holds ""
    TooLong,  // the value does not fit; the buffer holds "" (never a cut value)
};

// Into a fixed buffer of cap elements. With length, *length receives the
// value's length in characters (terminator excluded), also when TooLong.
EnvironmentRead readEnvironmentA(const char* name, char* value, size_t cap, size_t* length = nullptr);
EnvironmentRead readEnvironmentW(const wchar_t* name, wchar_t* value, size_t cap, size_t* length = nullptr);

// Into a string grown to the value's size, up to kEnvironmentValueLimit
// characters; TooLong (and an empty string) beyond that, or when the value
// keeps changing while it is read.
EnvironmentRead readEnvironmentA(const char* name, std::string& value);

// Sets a variable, or removes it for a null value, in the process
// environment and in the C runtime's own copy of it (which getenv and the
// runtime's spawn functions read), so both agree. Returns ERROR_SUCCESS,
// or the error SetEnvironmentVariableA gave (the runtime's copy is set
// either way).
DWORD setEnvironmentA(const char* name, const char* value);
