// Capacities shared by every subsystem.
#pragma once

#include <cstddef>

constexpr size_t kPathCapacity = 6000;   // paths, configuration values, command texts
constexpr size_t kLongCapacity = 12000;  // PATH and the service child's command line
// The longest value an environment variable can hold, in characters.
constexpr size_t kEnvironmentValueLimit = 32767;
