// Service control commands against the Service Control Manager.
#pragma once

#include <string>

// startType is the SCM's start type: SERVICE_AUTO_START or
// SERVICE_DEMAND_START.
int installService(int startType, bool interactive);
int uninstallService(bool print);
int stopService(bool print);
int startService();
int printServiceStatus();

// Portable: the dependency list from config key 149, as NUL-separated names
// ending with an extra NUL (strtok semantics). Empty for no list.
std::string buildDependencyList(const char* commaList);
