#include "launch/sharing.h"

#include <algorithm>
#include <cstring>

#include "base/bounded.h"
#include "jvm/version.h"

namespace {

const char kClassPathOption[] = "-Djava.class.path=";

bool beginsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Options that already say how the VM shares classes: the launcher then
// adds nothing and leaves the decision to them.
const char* const kOwnSharingPrefixes[] = {
    "-XX:SharedArchiveFile=", "-XX:ArchiveClassesAtExit=", "-XX:+AutoCreateSharedArchive",
    "-XX:AOTCache=",          "-XX:AOTCacheOutput=",       "-XX:AOTConfiguration=",
    "-XX:AOTMode=",           "-Xshare:",                  "-XX:-UseSharedSpaces",
    "-XX:SharedClassListFile=",
};

constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t hashBytes(uint64_t hash, const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= p[i];
        hash *= kFnvPrime;
    }
    return hash;
}

// Each text with its terminator, so "ab"+"c" and "a"+"bc" differ.
uint64_t hashText(uint64_t hash, const char* text) { return hashBytes(hash, text, std::strlen(text) + 1); }

uint64_t hashNumber(uint64_t hash, uint64_t value) {
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return hashBytes(hash, bytes, sizeof bytes);
}

std::string lowered(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits only, at most 20 of them; *value gets the number (which fits:
// 20 digits are checked against overflow).
bool parseDecimal(const std::string& text, uint64_t* value) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (!isDigit(c)) return false;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    *value = v;
    return true;
}

std::string decimal(uint64_t value) {
    char text[24];
    formatText(text, sizeof text, "%I64u", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

int javaFeatureVersion(const char* version) {
    if (!version || !isDigit(version[0])) return 0;
    VersionComponents parts = parseVersion(version);
    if (parts.empty()) return 0;
    // "1.8.0_121" and older name the feature in their second component.
    if (parts[0] == 1) return parts.size() > 1 && parts[1] > 0 ? parts[1] : 0;
    return parts[0] > 0 ? parts[0] : 0;
}

SharingKind sharingKindFor(int featureVersion) {
    if (featureVersion >= 25) return SharingKind::AotCache;
    if (featureVersion >= 19) return SharingKind::AutoCreate;
    if (featureVersion >= 13) return SharingKind::ArchiveAtExit;
    return SharingKind::None;
}

const std::string* ownSharingOption(const OptionList& options) {
    for (const std::string& option : options)
        for (const char* prefix : kOwnSharingPrefixes)
            if (beginsWith(option, prefix)) return &option;
    return nullptr;
}

std::vector<std::string> classPathElements(const OptionList& options) {
    std::vector<std::string> elements;
    const std::string* found = nullptr;
    for (const std::string& option : options)
        if (beginsWith(option, kClassPathOption)) found = &option;  // the VM takes the last one
    if (!found) return elements;
    size_t start = std::strlen(kClassPathOption);
    while (start <= found->size()) {
        size_t end = found->find(';', start);
        if (end == std::string::npos) end = found->size();
        if (end > start) elements.push_back(found->substr(start, end - start));
        start = end + 1;
    }
    return elements;
}

uint64_t sharingFingerprint(const char* jvmHome, const char* jvmVersion, const OptionList& options,
                            const std::vector<FileStamp>& stamps) {
    uint64_t hash = kFnvOffset;
    // Windows paths name the same folder in any case.
    hash = hashText(hash, lowered(jvmHome).c_str());
    hash = hashText(hash, jvmVersion ? jvmVersion : "");
    for (const std::string& option : options) {
        if (beginsWith(option, "-D") && !beginsWith(option, kClassPathOption)) continue;
        hash = hashText(hash, option.c_str());
    }
    for (const FileStamp& stamp : stamps) {
        hash = hashNumber(hash, stamp.size);
        hash = hashNumber(hash, stamp.writeTime);
    }
    return hash;
}

std::string sharingStem(int featureVersion, uint64_t fingerprint) {
    char stem[40];
    formatText(stem, sizeof stem, "java%d-%012I64x", featureVersion,
               static_cast<unsigned long long>(fingerprint & 0xFFFFFFFFFFFFull));
    return stem;
}

const char* archiveExtension(SharingKind kind) { return kind == SharingKind::AotCache ? ".aot" : ".jsa"; }

std::string archiveFileName(const std::string& stem, SharingKind kind, uint64_t size) {
    return stem + "." + decimal(size) + archiveExtension(kind);
}

bool parseArchiveFileName(const std::string& name, const std::string& stem, SharingKind kind, uint64_t* size) {
    std::string extension = archiveExtension(kind);
    std::string lower = lowered(name.c_str());
    if (lower.size() <= stem.size() + 1 + extension.size()) return false;
    if (lower.compare(0, stem.size(), stem) != 0 || lower[stem.size()] != '.') return false;
    if (lower.compare(lower.size() - extension.size(), extension.size(), extension) != 0) return false;
    return parseDecimal(lower.substr(stem.size() + 1, lower.size() - stem.size() - 1 - extension.size()), size);
}

std::string scratchFileName(const std::string& stem, unsigned long processId) {
    return stem + "." + decimal(processId) + ".tmp";
}

bool isScratchFileName(const std::string& name, const std::string& stem) {
    std::string lower = lowered(name.c_str());
    const std::string tail = ".tmp";
    if (lower.size() <= stem.size() + 1 + tail.size()) return false;
    if (lower.compare(0, stem.size(), stem) != 0 || lower[stem.size()] != '.') return false;
    if (lower.compare(lower.size() - tail.size(), tail.size(), tail) != 0) return false;
    uint64_t pid;
    return parseDecimal(lower.substr(stem.size() + 1, lower.size() - stem.size() - 1 - tail.size()), &pid);
}

bool isSharingFileName(const std::string& name) {
    std::string lower = lowered(name.c_str());
    if (lower.compare(0, 4, "java") != 0) return false;
    size_t i = 4;
    while (i < lower.size() && isDigit(lower[i])) ++i;
    if (i == 4 || i >= lower.size() || lower[i] != '-') return false;
    ++i;
    for (size_t n = 0; n < 12; ++n, ++i)
        if (i >= lower.size() || !isHexDigit(lower[i])) return false;
    return i < lower.size() && lower[i] == '.';
}

std::string applicationFolderName(const char* applicationId, const char* modulePath) {
    std::string name;
    if (applicationId && applicationId[0]) {
        for (const char* p = applicationId; *p && name.size() < 64; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(static_cast<char>(c)) ||
                        c == '.' || c == '-' || c == '_';
            name.push_back(safe ? static_cast<char>(c) : '_');
        }
        // "." and ".." name other folders; a trailing dot vanishes on Windows.
        if (name.find_first_not_of('.') == std::string::npos || name.back() == '.') name.push_back('_');
        return name;
    }
    const char* path = modulePath ? modulePath : "";
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    std::string stem = base;
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.erase(dot);
    for (char& c : stem) {
        unsigned char u = static_cast<unsigned char>(c);
        bool safe = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || isDigit(c) || c == '-' || c == '_';
        if (!safe) c = '_';
    }
    if (stem.size() > 48) stem.erase(48);
    char hash[20];
    formatText(hash, sizeof hash, "-%08I64x",
               static_cast<unsigned long long>(hashText(kFnvOffset, lowered(path).c_str()) & 0xFFFFFFFFull));
    return (stem.empty() ? std::string("app") : stem) + hash;
}

bool hasArchiveMagic(const unsigned char* head, size_t length) {
    if (length < 4) return false;
    uint32_t magic = static_cast<uint32_t>(head[0]) | (static_cast<uint32_t>(head[1]) << 8) |
                     (static_cast<uint32_t>(head[2]) << 16) | (static_cast<uint32_t>(head[3]) << 24);
    return magic == 0xF00BABA2u || magic == 0xF00BABA8u;  // static (and AOT cache), dynamic
}

OptionList sharingOptions(SharingKind kind, const std::string& archive, const std::string& scratch, bool usable,
                          bool writer) {
    OptionList options;
    switch (kind) {
    case SharingKind::None:
        break;
    case SharingKind::ArchiveAtExit:
        if (usable) options.push_back("-XX:SharedArchiveFile=" + archive);
        else if (writer) options.push_back("-XX:ArchiveClassesAtExit=" + scratch);
        break;
    case SharingKind::AutoCreate:
        // The VM creates the archive at exit when the file it is given is
        // missing; later starts only read the finished one.
        if (usable) {
            options.push_back("-XX:SharedArchiveFile=" + archive);
        } else if (writer) {
            options.push_back("-XX:+AutoCreateSharedArchive");
            options.push_back("-XX:SharedArchiveFile=" + scratch);
        }
        break;
    case SharingKind::AotCache:
        if (usable) {
            options.push_back("-XX:AOTCache=" + archive);
        } else if (writer) {
            // Writing the cache, the VM reports each step on standard
            // output, into the application's own output: silenced.
            options.push_back("-XX:+UnlockDiagnosticVMOptions");
            options.push_back("-XX:-DisplayVMOutput");
            options.push_back("-XX:AOTCacheOutput=" + scratch);
        }
        break;
    }
    return options;
}

std::vector<std::string> staleArchives(std::vector<std::pair<std::string, uint64_t>> others, size_t keep) {
    std::sort(others.begin(), others.end(),
              [](const std::pair<std::string, uint64_t>& a, const std::pair<std::string, uint64_t>& b) {
                  return a.second > b.second || (a.second == b.second && a.first < b.first);
              });
    std::vector<std::string> stale;
    for (size_t i = keep; i < others.size(); ++i) stale.push_back(others[i].first);
    return stale;
}
