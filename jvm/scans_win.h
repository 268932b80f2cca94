// The declarations of jvm/scans.h that take Windows types.
#pragma once

#include <windows.h>

#include "jvm/scans.h"

bool findPreviousInstallation(HKEY hive, char* javaExe, size_t exeCap, char* version, size_t versionCap,
                              const VersionComponents& minimum, const VersionComponents& maximum);
