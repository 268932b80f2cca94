// Service control commands against the Service Control Manager.
#pragma once

#include <string>

#include "core/cmdline.h"
#include "service/install.h"

// Registers the service: the word's start type, and the interactive flag
// and account options of the command line.
int installService(InstallWord word, const CommandRequest& command);
int uninstallService(bool print);
int stopService(bool print);
int startService();
int printServiceStatus();

// Portable: the dependency list from config key 149, as NUL-separated names
// ending with an extra NUL (strtok semantics). Empty for no list.
std::string buildDependencyList(const char* commaList);
