// Process-wide values fixed during start-up and read by the later steps.
#pragma once

#include <cstddef>

constexpr size_t kPathCapacity = 6000;   // paths, configuration values, command texts
constexpr size_t kLongCapacity = 12000;  // PATH and the service child's command line
// The longest value an environment variable can hold, in characters.
constexpr size_t kEnvironmentValueLimit = 32767;

extern char serviceName[kPathCapacity];
extern bool serviceMode;     // false only for /run and /run-redirect
extern bool noRedirect;      // true only for /run
extern char launcherFamily;  // 'v' or 'm', from config key 2001
