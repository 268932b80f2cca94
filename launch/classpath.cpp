#include "launch/classpath.h"

#include <cstring>

#include "base/bounded.h"
#include "core/log.h"

std::vector<ClassPathEntry> parseClassPathEntries(const char* text) {
    std::vector<ClassPathEntry> entries;
    const char* p = text;
    while (*p) {
        const char* end = strchr(p, ';');
        size_t length = end ? static_cast<size_t>(end - p) : strlen(p);
        if (length > 0) {
            ClassPathEntry entry;
            entry.type = p[0];
            entry.mandatory = length > 1 && p[1] == '1';
            if (length > 2) entry.name.assign(p + 2, length - 2);
            entries.push_back(entry);
        }
        if (!end) break;
        p = end + 1;
    }
    return entries;
}

std::string environmentContribution(const std::string& value) {
    std::string text = value;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (text.empty() || text.back() != ';') text += ';';
    return text;
}

std::string archivePattern(const char* directory, const char* extension) {
    std::string pattern = directory;
    pattern += "\\*";
    if (extension[0] != '.') pattern += '.';
    pattern += extension;
    return pattern;
}

void finishClassPath(std::string& classPath, const ClassPathTexts& texts) {
    if (texts.hasSuffix) {
        if (classPath.empty() || classPath.back() != ';') classPath += ';';
        classPath += texts.suffix;
    }
    if (!classPath.empty() && classPath.back() == ';') classPath.pop_back();
}

bool joinResolvedPieces(char* output, size_t cap, const char* list, const PieceResolver& resolve) {
    if (cap == 0) return false;
    output[0] = 0;
    int leftOut = 0;
    std::string firstLeftOut;
    std::string piece;
    std::vector<char> resolved(cap);
    const char* p = list;
    while (*p) {
        const char* end = strchr(p, ';');
        size_t length = end ? static_cast<size_t>(end - p) : strlen(p);
        if (length > 0) {
            piece.assign(p, length);
            size_t used = strlen(output);
            bool fits = resolve(resolved.data(), resolved.size(), piece.c_str());
            size_t needed = strlen(resolved.data()) + (used > 0 ? 1 : 0);
            if (fits && used + needed < cap) {
                if (used > 0) appendChar(output, cap, ';');
                appendText(output, cap, resolved.data());
            } else if (leftOut++ == 0) {
                // Half a directory name would name some other place.
                firstLeftOut = piece;
            }
        }
        if (!end) break;
        p = end + 1;
    }
    if (leftOut > 0)
        logError(L"path list full: %d pieces left out, the first: %S", leftOut, firstLeftOut.c_str());
    return leftOut == 0;
}
