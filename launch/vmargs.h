// Assembly of the complete VM option list.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/cmdline.h"
#include "launch/vmoptions.h"

// How collected option lines reach the list: `expand` expands a configured
// text in place (ANSI-safe forms), `apply` is the option-line directive
// processing without a base file.
struct OptionLineHooks {
    std::function<void(wchar_t* text, size_t cap)> expand;
    std::function<void(const std::wstring& line)> apply;
};

// Portable: feeds tokens to `apply`, joining "-include-options" with the
// token after it.
void applyOptionTokensWith(const ArgumentVector& tokens, const std::function<void(const std::wstring&)>& apply);

// Portable: the recorded version begins with the prefix (byte-wise; an
// empty prefix matches every version).
bool versionPrefixMatches(const char* version, const std::string& prefix);

// Portable: the configured options (key 123), the first matching
// version-specific line, the "-J" arguments and the locale options, in
// that order. jvmVersion is null when no runtime was recorded.
void collectVmOptionsWith(const ArgumentVector& arguments, const char* jvmVersion, const OptionLineHooks& hooks);

// Portable: "-Xrs" in service mode unless present, then the no-redirection
// switch, or, when the output is redirected and the project rolls the
// redirection files (config keys 183 and 184), their size and count.
void closeOptionList(OptionList& options, bool serviceMode, bool noRedirect);

#ifdef _WIN32
struct JavaVMInitArgs;  // jni.h; the portable core builds without it

JavaVMInitArgs* buildVmInitArgs(const ArgumentVector& arguments, const OptionList& launcherProperties);
void collectVmOptions(const ArgumentVector& arguments, OptionList& options, ClassPathTexts& texts);
void applyOptionTokens(const ArgumentVector& tokens, OptionList& options, ClassPathTexts& texts);
#endif
