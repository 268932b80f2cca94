// Where the running vtlpack executable lives, to find the stubs beside it.
#pragma once

#include <filesystem>

// The full path of the running executable; `argv0` is the fallback when
// the system cannot tell.
std::filesystem::path executablePath(const char* argv0);
