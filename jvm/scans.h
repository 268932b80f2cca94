// Runtimes the machine knows about: the JavaSoft registration, the located
// runtime lists and earlier installations of the application.
#pragma once

#include <cstddef>

#include "jvm/version.h"

bool scanRegisteredJvms(char* javaExe, size_t exeCap, char* version, size_t versionCap,
                        const VersionComponents& minimum, const VersionComponents& maximum);
