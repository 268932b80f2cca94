// Turns the VM options a launcher hands to JNI_CreateJavaVM into arguments
// for the host's java, so that the host VM starts the way a VM inside the
// launcher would. Portable: paths are translated through a callback.
#pragma once

#include <string>
#include <vector>

// Translates one Windows path (UTF-8) to a Unix path (UTF-8); returns
// false when it cannot (for example because a parent folder is missing).
using PathTranslator = bool (*)(const std::string& windowsPath, std::string& unixPath, void* context);

// A system property that the bridge server sets (present) or clears
// (absent) once the VM runs, because the host's java launcher sets it on
// its own and a VM created through JNI would not have it.
struct PropertyFixup {
    std::string key;
    bool present = false;
    std::string value;
};

struct HostOptions {
    std::vector<std::string> vmArgs;        // for the host java, in order
    std::vector<PropertyFixup> fixups;
};

// How one option is treated.
enum class OptionKind {
    pass,          // a VM option the host java hands to its VM unchanged
    hook,          // "vfprintf", "exit", "abort": function hooks, meaningless across processes
    unrecognized,  // not a VM option; the java launcher would misread it
};

OptionKind classifyOption(const std::string& option);

// Builds the host arguments from the options (UTF-8). Paths in the class
// path, the library path, -Xbootclasspath/a:, -javaagent: and the class-data
// sharing options are translated; the elements of the three lists are joined with
// listSeparator. An unrecognized option is dropped when ignoreUnrecognized
// is set, as the VM would ignore it; otherwise the result is false and
// error holds the VM's message.
bool buildHostOptions(const std::vector<std::string>& options, bool ignoreUnrecognized, char listSeparator,
                      PathTranslator translate, void* context, HostOptions& out, std::string& error);

// The options whose value is a path list.
extern const char* const kPathListOptions[3];
// The options whose value is one path: the class-data sharing archives.
extern const char* const kPathOptions[5];

// A Windows path list (';'-separated) as a list of Unix paths joined with
// separator (':' for Java).
std::string translatePathList(const std::string& list, char separator, PathTranslator translate, void* context);

// One path: the longest prefix that translates, with the rest appended
// using '/'. Unchanged when no prefix translates.
std::string translatePath(const std::string& path, PathTranslator translate, void* context);
