// Judging a candidate java executable: location in a home, version from the
// registry cache or a "-version" run, and the configured bounds.
#pragma once

#include <cstddef>

#include "jvm/version.h"

bool javaExeInHome(const char* home, char* javaExe, size_t cap);
// Rewrites javaExe in place (absolute, lower-cased; javaw.exe for type 1).
bool checkJavaExe(char* javaExe, size_t exeCap, char* version, size_t versionCap,
                  const VersionComponents& minimum, const VersionComponents& maximum, bool allowPreRelease);
// The version the cache holds for an executable as it is now, without
// running it; empty and false when there is none.
bool cachedVersionOf(const char* javaExe, char* version, size_t cap);
