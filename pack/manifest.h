// The application manifest every packed executable carries: the Windows
// versions it was made for (7 to 11), common controls version 6 (message
// boxes in the system's look), the DPI awareness the Java runtime's own
// java.exe and javaw.exe declare, long paths, and the execution level.
// The ANSI code page is left as the system sets it: the block's narrow
// texts are read in it.
#pragma once

#include <string>

// The manifest with "{executionLevel}" where the level goes; the catalogue
// export carries it to the Maven plugin.
const char* manifestTemplate();

// asInvoker (the default), highestAvailable or requireAdministrator.
bool isExecutionLevel(const std::string& level);
constexpr const char* kDefaultExecutionLevel = "asInvoker";

std::string applicationManifest(const std::string& executionLevel);
