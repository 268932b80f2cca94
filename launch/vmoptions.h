// VM option files: the ".vmoptions" file beside the executable, its
// includes and its class path directives.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct ClassPathTexts {
    bool hasPrefix = false, hasReplacement = false, hasSuffix = false;
    std::string prefix, replacement, suffix;
};

using OptionList = std::vector<std::string>;

// Lines are read in pieces of at most kOptionLineCapacity - 1 bytes; each
// piece of a longer line counts as a line of its own.
constexpr size_t kOptionLineCapacity = 30000;

// Portable: trims a raw line (trailing CR/LF, then leading and trailing
// spaces). Returns false for lines to skip (empty or comment).
bool trimOptionLine(char* line);

enum class OptionLineKind { Include, ClassPath, ClassPathPrefix, ClassPathSuffix, Option };
// Classifies a line; `rest` receives the text after the directive.
OptionLineKind classifyOptionLine(const std::wstring& line, std::wstring* rest);

// Reads the file to its end in line pieces, trims each, and hands every
// line that is neither empty nor a comment to `apply`. Does not close it.
void forEachOptionLine(FILE* file, const std::function<void(const char* line)>& apply);

// The option files being read, outermost first. An include of a file that
// is already open on the chain, or deeper than kMaxIncludeDepth, is refused:
// otherwise two files that include each other would recurse without end.
constexpr size_t kMaxIncludeDepth = 32;
enum class IncludeCheck { Entered, Cycle, TooDeep };
struct IncludeChain {
    std::vector<std::wstring> files;
};
// Paths are compared ignoring ASCII case, as the file system does.
IncludeCheck enterInclude(IncludeChain& chain, const std::wstring& path);
void leaveInclude(IncludeChain& chain);

// What reading option files asks of the platform.
struct OptionFileHooks {
    virtual ~OptionFileHooks() = default;
    // Expands launcher variables in place (ansiPaths as the launcher's own
    // expansion); false when the result was cut.
    virtual bool expand(wchar_t* text, size_t cap, bool ansiPaths) = 0;
    // An include name taken against the including file (null: the launcher
    // directory); false when the result was cut.
    virtual bool resolve(wchar_t* out, size_t cap, const wchar_t* name, const wchar_t* baseFile) = 0;
    // The name a file sits under on the include chain (its full path).
    virtual std::wstring chainKey(const wchar_t* path) = 0;
    virtual FILE* open(const wchar_t* path) = 0;
    // The narrow form a line reaches the VM in.
    virtual std::string narrow(const std::wstring& text) = 0;
};
// Where the lines go, and the files open right now.
struct OptionFileTarget {
    OptionList& options;
    ClassPathTexts& texts;
    IncludeChain& chain;
};

// Portable: one option line, already expanded. Directives set the class
// path texts or read an included file; every other line is an option.
void applyVmOptionLineWith(OptionFileHooks& hooks, OptionFileTarget& target, const wchar_t* baseFile,
                           const wchar_t* line);
// Portable: every line of an open file, expanded and applied; closes it.
// A null file does nothing.
void readVmOptionsFileWith(OptionFileHooks& hooks, OptionFileTarget& target, const wchar_t* baseFile,
                           FILE* file);
// Portable: the default file (base: none), with the file itself (path) on
// the include chain so that it cannot include itself.
void readDefaultVmOptionsFileWith(OptionFileHooks& hooks, OptionFileTarget& target, const wchar_t* path,
                                  FILE* file);

#ifdef _WIN32
// Opens the default file, and records which one opened for the include
// chain (empty when none did).
FILE* openDefaultVmOptionsFile();
// Reads the default file (base: none) with the file itself on the include
// chain; a null file does nothing.
void readDefaultVmOptionsFile(FILE* file, OptionList& options, ClassPathTexts& texts);
void applyVmOptionLine(const wchar_t* baseFile, const wchar_t* line, OptionList& options, ClassPathTexts& texts);
#endif
