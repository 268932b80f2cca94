#include "launch/vmargs.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/locale.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state.h"
#include "launch/runtime_contract.h"

namespace {

const wchar_t kIncludeToken[] = L"-include-options";
const wchar_t kLocaleArgument[] = L"-Dsun.locale.formatasdefault=";
const wchar_t kLocaleDefault[] = L"-Dsun.locale.formatasdefault=true";

bool beginsWith(const std::wstring& text, const wchar_t* prefix) { return text.compare(0, wcslen(prefix), prefix) == 0; }

// A configured option text (a buffer of kPathCapacity), expanded and split
// like a command line.
ArgumentVector configuredTokens(wchar_t* text, const OptionLineHooks& hooks) {
    hooks.expand(text, kPathCapacity);
    ArgumentVector tokens;
    splitCommandLine(text, tokens);
    return tokens;
}

void applyVersionSpecificLine(const char* jvmVersion, const OptionLineHooks& hooks) {
    int count = getConfigInt(key::VersionOptionCount);
    if (count <= 0) return;
    logLine(L"check %d version specific vm option lines for %S", count, jvmVersion);
    if (!jvmVersion) return;
    for (long long k = 0; k < count; ++k) {
        long long prefixKey = key::VersionOptionBase + 2 * k;
        if (prefixKey + 1 > INT_MAX) break;
        std::string prefix = getConfigCopy(static_cast<int>(prefixKey));
        bool match = versionPrefixMatches(jvmVersion, prefix);
        logLine(L"checking version %S %d", prefix.c_str(), match ? 1 : 0);
        if (!match) continue;
        std::vector<wchar_t> line(kPathCapacity);
        getConfigWide(static_cast<int>(prefixKey + 1), line.data(), line.size());
        logLine(L"adding specific %s", line.data());
        applyOptionTokensWith(configuredTokens(line.data(), hooks), hooks.apply);
        return;
    }
}

void applyLocaleOptions(const ArgumentVector& arguments, const OptionLineHooks& hooks) {
    const std::wstring* last = nullptr;
    for (const std::wstring& argument : arguments)
        if (beginsWith(argument, kLocaleArgument)) last = &argument;
    if (!last) return;
    hooks.apply(*last);
    if (*last == kLocaleDefault) return;
    char code[3];
    wchar_t option[64];
    if (localeLanguage(code, sizeof code)) {
        formatTextW(option, 64, L"-Duser.language=%S", code);
        hooks.apply(option);
    }
    if (localeCountry(code, sizeof code)) {
        formatTextW(option, 64, L"-Duser.country=%S", code);
        hooks.apply(option);
    }
}

}  // namespace

void applyOptionTokensWith(const ArgumentVector& tokens, const std::function<void(const std::wstring&)>& apply) {
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == kIncludeToken && i + 1 < tokens.size()) {
            apply(tokens[i] + L" " + tokens[i + 1]);
            ++i;
        } else {
            apply(tokens[i]);
        }
    }
}

bool versionPrefixMatches(const char* version, const std::string& prefix) {
    return version && strncmp(version, prefix.c_str(), prefix.size()) == 0;
}

void collectVmOptionsWith(const ArgumentVector& arguments, const char* jvmVersion, const OptionLineHooks& hooks) {
    std::vector<wchar_t> configured(kPathCapacity);
    getConfigWide(key::VmOptions, configured.data(), configured.size());
    ArgumentVector tokens = configuredTokens(configured.data(), hooks);
    logLine(L"adding options");
    applyOptionTokensWith(tokens, hooks.apply);

    applyVersionSpecificLine(jvmVersion, hooks);

    if (getConfigInt(key::JavaArgumentsAsVmOptions) != 0) {
        for (const std::wstring& argument : arguments)
            if (beginsWith(argument, L"-J")) hooks.apply(argument.substr(2));
    }
    applyLocaleOptions(arguments, hooks);
}

void closeOptionList(OptionList& options, bool serviceMode, bool noRedirect) {
    if (serviceMode && std::find(options.begin(), options.end(), "-Xrs") == options.end()) {
        logLine(L"service: adding -Xrs");
        options.push_back("-Xrs");
    }
    if (noRedirect) {
        options.push_back(std::string("-D") + kPropNoRedirect + "=true");
        return;
    }
    if (!hasConfigValue(key::RedirectMaxSize)) return;
    // Checked here as the launcher checks every number it reads: a value
    // the runtime would refuse is left out, with a line that says why.
    char size[32], keep[8];
    getConfigString(key::RedirectMaxSize, size, sizeof size);
    getConfigString(key::RedirectKeep, keep, sizeof keep);
    uint64_t bytes = 0;
    bool keepOk = !keep[0] || (strspn(keep, "0123456789") == strlen(keep) && strlen(keep) <= 3);
    if (!parseByteCount(size, &bytes) || !keepOk) {
        logError(L"config keys %d and %d hold \"%S\" and \"%S\", not a size in bytes and a count from 0 to 999; "
                 L"the redirection files do not roll",
                 key::RedirectMaxSize, key::RedirectKeep, size, keep);
        return;
    }
    options.push_back(std::string("-D") + kPropRedirectMaxSize + "=" + size);
    if (keep[0]) options.push_back(std::string("-D") + kPropRedirectKeep + "=" + keep);
}
