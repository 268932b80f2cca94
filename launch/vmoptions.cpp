#include "launch/vmoptions.h"

#include <cstring>
#include <cwchar>

#include "base/bounded.h"
#include "core/log.h"
#include "core/state.h"

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

bool admitInclude(OptionFileHooks& hooks, IncludeChain& chain, const wchar_t* resolved) {
    switch (enterInclude(chain, hooks.chainKey(resolved))) {
    case IncludeCheck::Entered: return true;
    case IncludeCheck::Cycle:
        logError(L"vmoptions include of %s skipped: that file is already being read", resolved);
        return false;
    case IncludeCheck::TooDeep:
        logError(L"vmoptions include of %s skipped: more than %d nested option files", resolved,
                 static_cast<int>(kMaxIncludeDepth));
        return false;
    }
    return false;
}

void includeOptionFile(OptionFileHooks& hooks, OptionFileTarget& target, const wchar_t* baseFile,
                       const std::wstring& rest) {
    // Heap, not stack: included files recurse through here.
    std::vector<wchar_t> name(kPathCapacity);
    if (!copyTextW(name.data(), kPathCapacity, rest.c_str())) {
        logError(L"vmoptions include name too long (%d characters), skipped", static_cast<int>(rest.size()));
        return;
    }
    bool expanded = hooks.expand(name.data(), kPathCapacity, false);
    logLine(L"after exp from %s %s", name.data(), rest.c_str());
    std::vector<wchar_t> resolved(kPathCapacity);
    bool resolvedWhole = hooks.resolve(resolved.data(), kPathCapacity, name.data(), baseFile);
    if (!expanded || !resolvedWhole) {
        // A cut name would open some other file.
        logError(L"vmoptions include name too long after expansion, skipped: %s", name.data());
        return;
    }
    if (!admitInclude(hooks, target.chain, resolved.data())) return;
    FILE* file = hooks.open(resolved.data());
    logLine(L"adding vmoptions from (%p) <%s> (%s)", static_cast<void*>(file), resolved.data(), name.data());
    readVmOptionsFileWith(hooks, target, resolved.data(), file);
    leaveInclude(target.chain);
    logLine(L"adding vmoptions 2");
    logLine(L"adding vmoptions 3");
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

void applyVmOptionLineWith(OptionFileHooks& hooks, OptionFileTarget& target, const wchar_t* baseFile,
                           const wchar_t* line) {
    std::wstring rest;
    ClassPathTexts& texts = target.texts;
    switch (classifyOptionLine(line, &rest)) {
    case OptionLineKind::Include: includeOptionFile(hooks, target, baseFile, rest); break;
    case OptionLineKind::ClassPath:
        texts.hasReplacement = true;
        texts.replacement = hooks.narrow(rest);
        break;
    case OptionLineKind::ClassPathPrefix:
        texts.hasPrefix = true;
        texts.prefix = hooks.narrow(rest);
        break;
    case OptionLineKind::ClassPathSuffix:
        texts.hasSuffix = true;
        texts.suffix = hooks.narrow(rest);
        break;
    case OptionLineKind::Option: target.options.push_back(hooks.narrow(line)); break;
    }
}

void readVmOptionsFileWith(OptionFileHooks& hooks, OptionFileTarget& target, const wchar_t* baseFile,
                           FILE* file) {
    if (!file) return;
    std::vector<wchar_t> wide(kOptionLineCapacity);
    forEachOptionLine(file, [&](const char* line) {
        widenText(wide.data(), wide.size(), line);
        hooks.expand(wide.data(), wide.size(), true);
        applyVmOptionLineWith(hooks, target, baseFile, wide.data());
    });
    fclose(file);
}

void readDefaultVmOptionsFileWith(OptionFileHooks& hooks, OptionFileTarget& target, const wchar_t* path,
                                  FILE* file) {
    if (!file) return;
    enterInclude(target.chain, hooks.chainKey(path));
    readVmOptionsFileWith(hooks, target, nullptr, file);
    leaveInclude(target.chain);
}
