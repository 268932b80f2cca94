#include "jvm/registrations.h"

#include <cstring>

#include "base/bounded.h"

// Oracle JDK 9 and later, Corretto and Red Hat write the JavaSoft JDK/JRE
// keys; Temurin keeps the keys of its earlier names; the MSI keys hold a
// "JavaHome" number beside "Path", never a home. Constant data: no
// run-time initialisation.
const RegistrationLayout registrationLayouts[] = {
    {"SOFTWARE\\JavaSoft\\JDK\\*", "JavaHome", false},
    {"SOFTWARE\\JavaSoft\\JRE\\*", "JavaHome", false},
    {"SOFTWARE\\Eclipse Adoptium\\JDK\\*\\*\\MSI", "Path", true},
    {"SOFTWARE\\Eclipse Adoptium\\JRE\\*\\*\\MSI", "Path", true},
    {"SOFTWARE\\Eclipse Foundation\\JDK\\*\\*\\MSI", "Path", true},
    {"SOFTWARE\\Eclipse Foundation\\JRE\\*\\*\\MSI", "Path", true},
    {"SOFTWARE\\AdoptOpenJDK\\JDK\\*\\*\\MSI", "Path", true},
    {"SOFTWARE\\AdoptOpenJDK\\JRE\\*\\*\\MSI", "Path", true},
    {"SOFTWARE\\Microsoft\\JDK\\*\\*\\MSI", "Path", true},
    {"SOFTWARE\\Semeru\\JDK\\*\\*\\MSI", "Path", false},
    {"SOFTWARE\\Semeru\\JRE\\*\\*\\MSI", "Path", false},
    {"SOFTWARE\\Azul Systems\\Zulu\\*", "InstallationPath", false},
    {"SOFTWARE\\BellSoft\\Liberica\\*", "InstallationPath", false},
    {"SOFTWARE\\SapMachine\\JDK\\*", "JavaHome", false},
    {"SOFTWARE\\SapMachine\\JRE\\*", "JavaHome", false},
};
const size_t registrationLayoutCount = sizeof registrationLayouts / sizeof registrationLayouts[0];

bool layoutScannedInHive(const RegistrationLayout& layout, bool machineHive) { return machineHive || layout.perUser; }

bool registeredHome(const char* value, char* home, size_t cap) {
    size_t length = value ? strlen(value) : 0;
    while (length > 0 && value[length - 1] == '\\') --length;
    if (length == 0 || !copyTextN(home, cap, value, length)) {
        if (cap > 0) home[0] = 0;
        return false;
    }
    return true;
}

size_t newestCandidate(const std::vector<std::string>& versions) {
    size_t best = versions.size();
    for (size_t i = 0; i < versions.size(); ++i)
        if (best == versions.size() || isNewerVersion(versions[i].c_str(), versions[best].c_str())) best = i;
    return best;
}
