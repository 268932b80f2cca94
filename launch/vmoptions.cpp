#include "launch/vmoptions.h"

#include <cstring>
#include <cwchar>

namespace {

const wchar_t kIncludeWord[] = L"-include-options ";
const wchar_t kClassPathWord[] = L"-classpath ";
const wchar_t kClassPathPrefixWord[] = L"-classpath/p ";
const wchar_t kClassPathSuffixWord[] = L"-classpath/a ";

bool takeDirective(const std::wstring& line, const wchar_t* word, std::wstring* rest) {
    size_t n = wcslen(word);
    if (line.compare(0, n, word) != 0) return false;
    if (rest) *rest = line.substr(n);
    return true;
}

wchar_t lowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool samePath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

}  // namespace

bool trimOptionLine(char* line) {
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n')) line[--n] = 0;
    // Only the space character is trimmed: a tab is part of the option.
    while (n > 0 && line[n - 1] == ' ') line[--n] = 0;
    size_t start = 0;
    while (line[start] == ' ') ++start;
    if (start > 0) memmove(line, line + start, n - start + 1);
    return line[0] != 0 && line[0] != '#';
}

OptionLineKind classifyOptionLine(const std::wstring& line, std::wstring* rest) {
    if (takeDirective(line, kIncludeWord, rest)) return OptionLineKind::Include;
    if (takeDirective(line, kClassPathWord, rest)) return OptionLineKind::ClassPath;
    if (takeDirective(line, kClassPathPrefixWord, rest)) return OptionLineKind::ClassPathPrefix;
    if (takeDirective(line, kClassPathSuffixWord, rest)) return OptionLineKind::ClassPathSuffix;
    if (rest) *rest = line;
    return OptionLineKind::Option;
}

void forEachOptionLine(FILE* file, const std::function<void(const char* line)>& apply) {
    if (!file) return;
    // Heap, not stack: included files recurse through here.
    std::vector<char> piece(kOptionLineCapacity);
    while (fgets(piece.data(), static_cast<int>(piece.size()), file)) {
        if (!trimOptionLine(piece.data())) continue;
        apply(piece.data());
    }
}

IncludeCheck enterInclude(IncludeChain& chain, const std::wstring& path) {
    for (const std::wstring& open : chain.files)
        if (samePath(open, path)) return IncludeCheck::Cycle;
    if (chain.files.size() >= kMaxIncludeDepth) return IncludeCheck::TooDeep;
    chain.files.push_back(path);
    return IncludeCheck::Entered;
}

void leaveInclude(IncludeChain& chain) {
    if (!chain.files.empty()) chain.files.pop_back();
}
