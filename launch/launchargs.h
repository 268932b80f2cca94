// What the launcher hands to the Java side: its own system properties at
// the head of the VM option list, and the String[] of the launcher class's
// main. Portable: the values are gathered by the Windows layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cmdline.h"
#include "launch/vmoptions.h"

// Each launcher property is formatted into a buffer of this size; the
// library path option takes PATH up to the environment's own limit.
constexpr size_t kPropertyCapacity = 6000;

struct LauncherPropertyValues {
    std::string semaphoreName;  // empty while the guard has not set one
    char family = 0;
    bool serviceMode = false;
    std::string modulePath;
    std::string tempDirectory;
    uint64_t unextractedPosition = 0;
    bool hasPath = false;  // "PATH" is defined
    std::string path;
    bool hasConsoleCodepage = false;  // "MANPATH" is not defined
    unsigned consoleCodepage = 0;
};

// The property list in its fixed order. A property whose text does not fit
// its buffer is left out (logged): a cut path would name another place.
OptionList buildLauncherProperties(const LauncherPropertyValues& values);

// "-Djava.library.path=" followed by PATH, or by nothing (with an error
// line) when PATH is longer than an environment variable can be.
std::string libraryPathOption(bool hasPath, const std::string& path);

struct LauncherArgumentValues {
    int executableType = 0;   // config key 107
    std::wstring mainClass;   // dotted, as configured
    std::wstring errorFile;   // resolved, or empty when not redirected
    std::wstring outputFile;  // resolved, or empty when not redirected
    bool runtimeFlag = false; // config key 106
};

// The String[] of the launcher class's main: the five launcher values,
// then the first argument unfiltered, the fixed arguments, and the other
// arguments without the locale switch and, when javaArgumentsAsVmOptions,
// without the "-J" arguments (those went to the VM).
ArgumentVector buildLauncherArguments(const LauncherArgumentValues& values, const ArgumentVector& arguments,
                                      const ArgumentVector& fixedArguments, bool javaArgumentsAsVmOptions);

// A redirection file name after expansion is used as it stands when it
// begins with "$"; otherwise it is to be made absolute.
bool isVerbatimRedirection(const std::wstring& name);

// The JNI "modified UTF-8" form of a UTF-16 text, as NewStringUTF expects
// it: every code unit on its own (a surrogate pair becomes two three-byte
// sequences) and U+0000 as the two bytes C0 80.
std::string toModifiedUtf8(const std::wstring& text);
