#include "jvm/ranking.h"

#include <algorithm>
#include <cstring>

#include "base/bounded.h"

const char kJavaSoftJreKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kJavaSoftJdkKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";

Candidate chooseCandidate(bool firstFound, const char* firstVersion, bool secondFound, const char* secondVersion) {
    if (firstFound && secondFound) return isNewerVersion(firstVersion, secondVersion) ? Candidate::First
                                                                                      : Candidate::Second;
    if (firstFound) return Candidate::First;
    if (secondFound) return Candidate::Second;
    return Candidate::None;
}

std::vector<std::string> orderVersionNames(const std::vector<std::string>& names, const VersionComponents& minimum,
                                           const VersionComponents& maximum) {
    std::vector<std::string> kept;
    for (const std::string& name : names)
        if (isVersionInRange(name.c_str(), minimum, maximum)) kept.push_back(name);
    // strcmp compares bytes as unsigned char, and a prefix sorts first.
    std::sort(kept.begin(), kept.end(),
              [](const std::string& a, const std::string& b) { return strcmp(a.c_str(), b.c_str()) > 0; });
    return kept;
}

std::vector<std::string> splitList(const char* text, char separator) {
    std::vector<std::string> pieces;
    if (!text) return pieces;
    std::string piece;
    for (const char* p = text;; ++p) {
        if (*p == 0 || *p == separator) {
            if (!piece.empty()) pieces.push_back(piece);
            piece.clear();
            if (*p == 0) break;
        } else {
            piece += *p;
        }
    }
    return pieces;
}

bool currentVersionKeyPath(const char* jdkVersion, const char* jreVersion, bool requireJdk,
                           const VersionComponents& minimum, const VersionComponents& maximum, char* keyPath,
                           size_t cap) {
    const char* jdk = jdkVersion && isVersionInRange(jdkVersion, minimum, maximum) ? jdkVersion : "";
    const char* jre = !requireJdk && jreVersion && isVersionInRange(jreVersion, minimum, maximum) ? jreVersion : "";
    bool useJdk = isNewerVersion(jdk, jre);
    return formatText(keyPath, cap, "%s\\%s", useJdk ? kJavaSoftJdkKey : kJavaSoftJreKey, useJdk ? jdk : jre);
}

size_t javaSoftScanKeys(bool requireJdk, const char* keys[2]) {
    keys[0] = requireJdk ? kJavaSoftJdkKey : kJavaSoftJreKey;
    keys[1] = kJavaSoftJdkKey;
    return requireJdk ? 1 : 2;
}

bool locatedJavaExe(const std::string& name, bool ownRuntimesOnly, char* javaExe, size_t cap) {
    copyText(javaExe, cap, name.c_str());
    for (char* p = javaExe; *p; ++p)
        if (*p == '/') *p = '\\';
    return !ownRuntimesOnly || strstr(javaExe, "vtl_jres");
}

std::vector<std::string> installationHomes(const char* list) {
    std::vector<std::string> homes = splitList(list, ';');
    for (std::string& home : homes) home += "\\jre";
    return homes;
}
