#include "pack/encode.h"

#include "pack/value_limits.h"

#include <algorithm>
#include <cctype>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Names Windows reserves for devices, with or without an extension.
bool isDeviceName(const std::string& part) {
    std::string stem = upper(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : fixed)
        if (stem == name) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

bool checkNamePart(const std::string& part, const std::string& whole, std::string* error) {
    if (part.empty()) {
        *error = "'" + whole + "' has an empty path part; write it as 'name' or 'dir\\name'";
        return false;
    }
    if (part == "." || part == "..") {
        *error = "'" + whole + "' contains '" + part +
                 "'; embedded files stay inside the temporary directory, so name them 'name' or 'dir\\name'";
        return false;
    }
    for (char c : part) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string("<>:\"|?*").find(c) != std::string::npos) {
            *error = "'" + whole + "' contains a character that Windows does not allow in file names";
            if (c == ':') *error += " (a drive or stream name); use a relative name such as 'lib\\x.jar'";
            return false;
        }
    }
    if (part.back() == '.' || part.back() == ' ') {
        *error = "'" + whole + "' has a part ending in a dot or blank, which Windows drops; remove it";
        return false;
    }
    if (isDeviceName(part)) {
        *error = "'" + whole + "' uses the Windows device name '" + part + "'; choose another name";
        return false;
    }
    return true;
}

std::vector<long> versionParts(const std::string& text) {
    std::vector<long> parts;
    std::string piece;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || std::string("._-+").find(text[i]) != std::string::npos) {
            // Like the launcher: the leading digits of each piece, 0 without any.
            long value = 0;
            for (size_t k = 0; k < piece.size() && k < 9 && isDigit(piece[k]); ++k) value = value * 10 + (piece[k] - '0');
            if (!piece.empty()) parts.push_back(value);
            piece.clear();
        } else {
            piece += text[i];
        }
    }
    return parts;
}

}  // namespace

bool joinCommandLine(const std::vector<std::string>& arguments, std::string* out, std::string* error) {
    out->clear();
    for (const std::string& arg : arguments) {
        if (!out->empty()) *out += ' ';
        bool blank = arg.find(' ') != std::string::npos;
        bool dq = arg.find('"') != std::string::npos;
        bool sq = arg.find('\'') != std::string::npos;
        if (!arg.empty() && !blank && !dq && !sq) {
            *out += arg;
        } else if (!dq) {
            *out += '"' + arg + '"';
        } else if (!sq) {
            *out += '\'' + arg + '\'';
        } else {
            *error = "the item '" + arg +
                     "' contains both a single and a double quote, which the launcher cannot pass as one "
                     "argument; drop one kind of quote";
            return false;
        }
    }
    return true;
}

std::string flattenCommandLine(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

bool checkListItem(const std::string& item, char separator, std::string* error) {
    if (item.empty()) {
        *error = "an item is empty; remove it";
        return false;
    }
    if (item.find(separator) != std::string::npos) {
        *error = std::string("the item '") + item + "' contains '" + separator +
                 "', which separates items in the launcher; give each item separately";
        return false;
    }
    return true;
}

bool classPathEntry(const std::string& type, bool mandatory, const std::string& name, std::string* entry,
                    std::string* error) {
    char letter = 0;
    if (type == "archive") letter = 'A';
    else if (type == "directory") letter = 'D';
    else if (type == "env") letter = 'E';
    else if (type == "scan") letter = 'S';
    if (!letter) {
        *error = "unknown class path type '" + type + "'; use \"archive\", \"directory\", \"env\" or \"scan\"";
        return false;
    }
    if (!checkListItem(name, ';', error)) return false;
    if (letter == 'E' && name.find('=') != std::string::npos) {
        *error = "'" + name + "' is not a variable name (it contains '=')";
        return false;
    }
    *entry = std::string(1, letter) + (mandatory ? '1' : '0') + name;
    return true;
}

bool checkRawClassPathEntry(const std::string& entry, std::string* error) {
    if (entry.size() < 3 || std::string("ADES").find(entry[0]) == std::string::npos ||
        (entry[1] != '0' && entry[1] != '1')) {
        *error = "'" + entry +
                 "' is not a class path entry; write a type letter (A archive, D directory, E variable, "
                 "S scan), 0 or 1 (optional or mandatory) and the name, e.g. \"A0lib\\\\app.jar\"";
        return false;
    }
    return checkListItem(entry, ';', error);
}

char searchTypeLetter(const std::string& type) {
    if (type == "bundled") return 'B';
    if (type == "directory") return 'A';
    if (type == "relative") return 'R';
    if (type == "env") return 'E';
    if (type == "path") return 'S';
    if (type == "registry") return 'Y';
    return 0;
}

bool checkRawSearchEntry(const std::string& entry, std::string* error) {
    if (entry.empty() || std::string("ABREYS").find(entry[0]) == std::string::npos) {
        *error = "'" + entry +
                 "' is not a search entry; it must start with one of the upper-case letters A, B, R (directory), "
                 "E (variable), S (PATH) or Y (registry), e.g. \"B.\\\\jre\"";
        return false;
    }
    return checkListItem(entry, ';', error);
}

bool normaliseEmbeddedName(const std::string& name, std::string* normalised, std::string* error) {
    std::string n = name;
    std::replace(n.begin(), n.end(), '/', '\\');
    if (n.empty()) {
        *error = "the name is empty";
        return false;
    }
    if (n[0] == '\\') {
        *error = "'" + name + "' is absolute; embedded names are relative to the temporary directory, e.g. 'lib\\x.jar'";
        return false;
    }
    if (n.find(';') != std::string::npos) {
        *error = "'" + name + "' contains ';', which separates the names in the launcher; rename the file";
        return false;
    }
    size_t slash = n.find('\\');
    if (slash != std::string::npos && n.find('\\', slash + 1) != std::string::npos) {
        *error = "'" + name + "' has more than one directory level; the launcher creates only the first one, "
                 "so use 'dir\\name'";
        return false;
    }
    if (slash == std::string::npos) {
        if (!checkNamePart(n, name, error)) return false;
    } else if (!checkNamePart(n.substr(0, slash), name, error) || !checkNamePart(n.substr(slash + 1), name, error)) {
        return false;
    }
    *normalised = n;
    return true;
}

bool checkLocaleCode(const std::string& code, std::string* error) {
    bool ok = code.size() >= 2 && isLower(code[0]) && isLower(code[1]);
    for (size_t at = 2; ok && at < code.size(); at += 3)
        ok = at + 3 <= code.size() && at <= 5 && code[at] == '_' && isUpper(code[at + 1]) && isUpper(code[at + 2]);
    if (!ok) {
        *error = "'" + code +
                 "' is not a locale code; use a lower-case language with an optional upper-case country, "
                 "such as \"de\" or \"de_CH\" (the launcher compares them case-sensitively)";
    }
    return ok;
}

bool checkVersionText(const std::string& text, std::string* error) {
    bool ok = !text.empty() && isDigit(text.front()) && isDigit(text.back());
    for (size_t i = 0; ok && i < text.size(); ++i) {
        char c = text[i];
        bool separator = std::string("._-+").find(c) != std::string::npos;
        ok = isDigit(c) || (separator && isDigit(text[i + 1]));
    }
    if (!ok) *error = "'" + text + "' is not a version; write numbers separated by dots, e.g. \"1.8\" or \"17.0.2\"";
    return ok;
}

bool versionBoundsCompatible(const std::string& minimum, const std::string& maximum) {
    std::vector<long> lo = versionParts(minimum), hi = versionParts(maximum);
    for (size_t i = 0; i < lo.size() && i < hi.size(); ++i) {
        if (lo[i] != hi[i]) return lo[i] < hi[i];
    }
    return true;
}

bool checkNoControlCharacters(const std::string& text, std::string* error) {
    for (char c : text) {
        unsigned char b = static_cast<unsigned char>(c);
        // Code page 1252 leaves five positions undefined; Windows maps them
        // to C1 controls, which are as unwanted here as C0 ones.
        bool c1 = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        if (b < 0x20 || b == 0x7F || c1) {
            *error = b == 0 ? "the text contains a NUL character, which would end it early in the launcher"
                            : "the text contains a control character (such as a line break or tab), which the "
                              "launcher would take literally; remove it";
            return false;
        }
    }
    return true;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string closestName(const std::string& name, const std::vector<std::string>& candidates) {
    std::string best;
    size_t bestDistance = std::max<size_t>(2, name.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        size_t d = editDistance(name, candidate);
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

namespace {

constexpr unsigned long long kMinLogSize = 1024ull * limit::RollSizeMinKb;
constexpr unsigned long long kMaxLogSize = 1024ull * limit::RollSizeMaxKb;

}  // namespace

bool checkSizeBytes(unsigned long long bytes, std::string* error) {
    if (bytes >= kMinLogSize && bytes <= kMaxLogSize) return true;
    *error = "must lie between 1 KB and 1024 GB, not " + std::to_string(bytes) + " bytes";
    return false;
}

bool parseSizeText(const std::string& text, unsigned long long* bytes, std::string* error) {
    const std::string usage = " is not a size; write a number of bytes or a number and a unit, such as \"10 MB\" "
                              "(units B, KB, MB, GB; 1 KB = 1024 bytes)";
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 13) {
        *error = "\"" + text + "\"" + usage;
        return false;
    }
    unsigned long long number = std::stoull(text.substr(0, digits));
    std::string unit;
    for (size_t i = digits; i < text.size(); ++i)
        if (text[i] != ' ') unit += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    unsigned long long factor = 0;
    if (unit.empty() || unit == "B") factor = 1;
    else if (unit == "KB") factor = 1024;
    else if (unit == "MB") factor = 1024ull * 1024;
    else if (unit == "GB") factor = 1024ull * 1024 * 1024;
    if (!factor) {
        *error = "\"" + text + "\"" + usage;
        return false;
    }
    if (number > kMaxLogSize / factor) {
        *error = "\"" + text + "\" must lie between 1 KB and 1024 GB";
        return false;
    }
    *bytes = number * factor;
    if (!checkSizeBytes(*bytes, error)) {
        *error = "\"" + text + "\" " + *error;
        return false;
    }
    return true;
}
