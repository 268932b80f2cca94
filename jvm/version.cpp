#include "jvm/version.h"

#include <cstring>
#include <string>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"

namespace {

bool isSeparator(char c) { return c == '.' || c == '_' || c == '-' || c == '+'; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Like atol over one piece: leading blanks, one sign, the leading digits.
// Saturates instead of overflowing, so a runaway component stays ordered.
int32_t pieceValue(const std::string& piece) {
    size_t i = 0;
    while (i < piece.size() && isBlank(piece[i])) ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-')) negative = piece[i++] == '-';
    long long v = 0;
    while (i < piece.size() && piece[i] >= '0' && piece[i] <= '9') {
        v = v * 10 + (piece[i++] - '0');
        if (v > 2147483648LL) v = 2147483648LL;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) v = 2147483647LL;
    return static_cast<int32_t>(v);
}

}  // namespace

VersionComponents parseVersion(const char* text) {
    VersionComponents components;
    if (!text) return components;
    std::string piece;
    for (const char* p = text;; ++p) {
        if (*p == 0 || isSeparator(*p)) {
            if (!piece.empty()) components.push_back(pieceValue(piece));
            piece.clear();
            if (*p == 0) break;
        } else {
            piece += *p;
        }
    }
    return components;
}

bool versionBoundOk(const VersionComponents& bound, const VersionComponents& version, bool isMaximum,
                    bool lenient) {
    for (size_t i = 0; i < bound.size(); ++i) {
        if (i >= version.size()) return lenient;
        if (version[i] == bound[i]) continue;
        bool above = version[i] > bound[i];
        return isMaximum ? !above : above;
    }
    return true;
}

bool isVersionInRange(const char* text, const VersionComponents& minimum, const VersionComponents& maximum) {
    VersionComponents version = parseVersion(text);
    return versionBoundOk(minimum, version, false, true) && versionBoundOk(maximum, version, true, true);
}

bool checkVersion(const char* text, const VersionComponents& minimum, const VersionComponents& maximum,
                  bool allowPreRelease) {
    if (!text) text = "";
    if (!allowPreRelease && getConfigInt(key::AllowPreRelease) == 0) {
        if (strstr(text, "beta") || strstr(text, "ea") || strstr(text, "rc")) {
            logLine(L"beta vm not allowed");
            return false;
        }
    }
    VersionComponents version = parseVersion(text);
    return versionBoundOk(minimum, version, false, false) && versionBoundOk(maximum, version, true, false);
}

bool isNewerVersion(const char* a, const char* b) {
    VersionComponents first = parseVersion(a);
    VersionComponents second = parseVersion(b);
    for (size_t i = 0; i < first.size(); ++i) {
        if (i >= second.size()) return true;
        if (first[i] > second[i]) return true;
        if (first[i] < second[i]) return false;
    }
    return false;
}

bool parseVersionLine(const char* line, char* version, size_t cap) {
    static const char* const prefixes[] = {"java version \"", "openjdk version \""};
    if (cap > 0) version[0] = 0;
    if (!line) return false;
    for (const char* prefix : prefixes) {
        if (!startsWith(line, prefix)) continue;
        const char* rest = line + strlen(prefix);
        size_t length = strcspn(rest, "\"\r\n");
        // Without a closing quote the rest of the line is the version.
        if (length == 0 && rest[0] != '"') return false;
        return copyTextN(version, cap, rest, length);
    }
    return false;
}

namespace {

bool isVersionNotice(const char* line) {
    return startsWith(line, "Picked up ") || startsWith(line, "NOTE: Picked up ");
}

}  // namespace

bool parseVersionOutput(const char* output, char* version, size_t cap) {
    if (cap > 0) version[0] = 0;
    if (!output) return false;
    const char* line = output;
    for (int skipped = 0; isVersionNotice(line); ++skipped) {
        const char* end = strchr(line, '\n');
        if (!end || skipped == kMaxVersionNoticeLines) return false;
        line = end + 1;
    }
    return parseVersionLine(line, version, cap);
}

void mendCachedVersion(char* version) {
    char* quote = strchr(version, '"');
    if (quote) *quote = 0;
}
