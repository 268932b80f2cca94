// Registrations that current Java distributions write instead of (or
// beside) the JavaSoft keys. The layouts and the ranking are portable; the
// scan itself is in registrations_win.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "jvm/version.h"

// One registry layout. Segments of the key path that are "*" are
// enumerated (a version, a VM name such as hotspot or openj9, a product
// name such as zulu-17); the home is the string value homeValue of each
// key the pattern reaches.
struct RegistrationLayout {
    const char* keyPattern;
    const char* homeValue;
    bool perUser;  // per-user installs write the same under HKEY_CURRENT_USER
};

// The layouts in the order they are scanned.
extern const RegistrationLayout registrationLayouts[];
extern const size_t registrationLayoutCount;

// Every layout is scanned under HKEY_LOCAL_MACHINE; under
// HKEY_CURRENT_USER only those that per-user installs write.
bool layoutScannedInHive(const RegistrationLayout& layout, bool machineHive);

// A registered home without its trailing backslashes (installers write
// "Path" with one). False when nothing is left.
bool registeredHome(const char* value, char* home, size_t cap);

// Of the accepted candidates' versions, in scan order (machine before
// user, then enumeration order), the index of the newest; the first of
// equal versions wins. versions.size() when there is none.
size_t newestCandidate(const std::vector<std::string>& versions);

// Scans every layout (machine, then user) when the JavaSoft registration
// gave nothing; each home is judged with checkJavaExe and the bounds, the
// newest accepted one is delivered.
bool scanCurrentRegistrations(char* javaExe, size_t exeCap, char* version, size_t versionCap,
                              const VersionComponents& minimum, const VersionComponents& maximum);
