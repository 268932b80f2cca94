#include "config/catalogue.h"

#include <cstring>

namespace {

using T = ConfigValueType;

// Buffer limits the launcher reads with: 6000 (general), 2000 for the
// fixed arguments, the splash texts and the application directory (which
// some steps read into 2000-character buffers), 200 for the VM type, 2 for
// the family character.
constexpr int kGeneral = 5999;
constexpr int kShort = 1999;

const ConfigKeyInfo kKeys[] = {
    {101, "application.service_name", T::Text, kGeneral, "empty",
     "service name and display name; a name on the command line replaces it", true},
    {102, "redirect.stderr_enabled", T::Flag, kGeneral, "0",
     "pass the error-stream redirection file (redirect.stderr) to the runtime", true},
    {103, "redirect.stderr", T::Text, kGeneral, "empty",
     "error-stream redirection file; variables expanded, relative to the launcher, a trailing + kept", true},
    {104, "redirect.stdout_enabled", T::Flag, kGeneral, "0",
     "pass the output-stream redirection file (redirect.stdout) to the runtime", true},
    {105, "redirect.stdout", T::Text, kGeneral, "empty",
     "output-stream redirection file, treated like redirect.stderr", true},
    {106, "redirect.runtime_flag", T::Flag, kGeneral, "0",
     "passed to the Java-side runtime as true/false after the two redirection files", true},
    {107, "application.executable_type", T::Integer, kGeneral, "0",
     "0 console, 1 graphical (javaw.exe required, message boxes), 4 service (automatic start); 1 and 5 show errors in message boxes",
     true},
    {108, "splash.text_settings", T::Flag, kGeneral, "0",
     "hand the splash text lines to the runtime (together with splash.enabled)", true},
    {121, "classpath", T::List, kGeneral, "empty",
     "class path entries: type letter A/D/E/S, mandatory flag 1/0, name; separated by ;", true},
    {122, "application.main_class", T::Text, kGeneral, "empty", "main class of the application (dotted form)", true},
    {123, "application.vm_options", T::Text, kGeneral, "empty",
     "VM options; variables expanded, split like a command line", true},
    {124, "application.arguments", T::Text, kShort, "empty",
     "fixed application arguments, inserted after the first command-line argument", true},
    {125, "application.java_args_as_vm_options", T::Flag, kGeneral, "0",
     "command-line arguments starting with -J become VM options", true},
    {126, "jvm.min_version", T::Text, kGeneral, "no minimum", "minimum Java version", true},
    {127, "jvm.max_version", T::Text, kGeneral, "no maximum", "maximum Java version", true},
    {128, "jvm.search", T::List, kGeneral, "empty",
     "runtime search sequence: type letter and text per entry, separated by ;", true},
    {130, "jvm.allow_prerelease", T::Flag, kGeneral, "0", "accept beta, ea and rc runtimes", true},
    {131, "jvm.require_jdk", T::Flag, kGeneral, "0", "accept only a JDK (lib\\tools.jar required)", true},
    {141, "legacy.141", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {142, "legacy.142", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {145, "legacy.145", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {146, "application.working_directory", T::Text, kGeneral, "unchanged",
     "working directory; variables expanded, relative to the launcher", true},
    {149, "service.dependencies", T::List, kGeneral, "none",
     "comma-separated names of services this service depends on", true},
    {150, "legacy.150", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {151, "legacy.151", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {152, "jvm.preferred_vm_type", T::Text, 199, "empty",
     "JVM type directory (such as server) tried first when loading jvm.dll", true},
    {153, "legacy.153", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {154, "legacy.154", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {155, "legacy.155", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {156, "legacy.156", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {157, "legacy.157", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {158, "application.global_semaphore", T::Flag, kGeneral, "0",
     "single-instance object in the Global\\ namespace instead of Local\\", true},
    {159, "legacy.159", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {160, "application.application_id", T::Text, kGeneral, "no look-up",
     "application id under which earlier installations are recorded", true},
    {161, "legacy.161", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {163, "splash.secondary_flag", T::Flag, kGeneral, "0",
     "second boolean of the runtime's splash configuration", true},
    {164, "legacy.164", T::Text, 0, "empty", "carried by older blocks; not read", false},
    {165, "jvm.only_own_runtimes", T::Flag, kGeneral, "0",
     "the registry search considers only runtimes the launcher recorded itself", true},
    {170, "service.stop_timeout", T::Integer, kGeneral, "30",
     "seconds a service stop waits for the application before ending it and everything it started", true},
    {171, "service.restart", T::Text, kGeneral, "never",
     "when the service process starts the application again: never, on-failure (a non-zero exit code) or always",
     true},
    {172, "service.restart_delay", T::Integer, kGeneral, "10", "seconds before the first restart", true},
    {173, "service.restart_max_delay", T::Integer, kGeneral, "300",
     "seconds the delay, doubled at each further restart, stops at", true},
    {174, "service.restart_reset_after", T::Integer, kGeneral, "600",
     "seconds of running after which the restart count and delay start over; 0: never", true},
    {175, "service.restart_limit", T::Integer, kGeneral, "5",
     "restarts without such a run before the service gives up and reports the failure", true},
    {176, "service.on_failure", T::List, kGeneral, "none",
     "recovery actions registered at install: restart N (seconds) or none, separated by ;", true},
    {177, "service.failure_reset_after", T::Integer, kGeneral, "86400",
     "seconds without failure after which the system's failure count resets (with service.on_failure)", true},
    {178, "service.start", T::Text, kGeneral, "by application.executable_type",
     "start type that install registers: auto, delayed-auto or demand", true},
    {179, "service.account", T::Text, kGeneral, "LocalSystem",
     "account the service runs as: LocalSystem, NT AUTHORITY\\LocalService, NT AUTHORITY\\NetworkService or "
     "NT SERVICE\\<name>",
     true},
    {180, "service.log", T::Text, kGeneral, "<exe name>.service.log",
     "file the service process writes the application's output and its own lines to; none: discard the output",
     true},
    {181, "service.log_max_size", T::Integer, kGeneral, "no rolling", "bytes at which the service log rolls", true},
    {182, "service.log_keep", T::Integer, kGeneral, "8", "rolled service logs kept", true},
    {183, "redirect.max_size", T::Integer, kGeneral, "no rolling",
     "bytes at which the redirection files roll (the Java-side runtime rolls them)", true},
    {184, "redirect.keep", T::Integer, kGeneral, "8", "rolled redirection files kept", true},
    {190, "jvm.class_data_sharing", T::Integer, kGeneral, "0",
     "1 (auto): the launcher keeps a class-data sharing archive per runtime and configuration; 0: off", true},
    {2001, "application.family", T::Text, 1, "empty",
     "launcher family: v (vantrel) or m (morlin)", true},
    {2002, "files.count", T::Integer, kGeneral, "0", "number of embedded files", true},
    {2003, "files.names", T::List, 0, "empty",
     "relative names of the embedded files in storage order, separated by ;", true},
    {10003, "application.app_dir", T::Text, kShort, "the launcher's directory",
     "application directory, relative to the launcher; holds .vantrel", true},
    {10004, "application.native_library_dirs", T::List, kGeneral, "empty",
     "native library directories put in front of PATH, separated by ;", true},
    {10005, "application.single_instance", T::Flag, kGeneral, "0", "allow only one running instance", true},
    {10007, "application.bring_to_front", T::Flag, kGeneral, "0",
     "a second instance brings the first one's window to the front", true},
    {10109, "splash.line1.x", T::Integer, kGeneral, "0", "splash text line 1: first coordinate", true},
    {10110, "splash.line1.y", T::Integer, kGeneral, "0", "splash text line 1: second coordinate", true},
    {10111, "splash.line1.text", T::Text, kShort, "empty", "splash text line 1: the text", true},
    {10112, "splash.line1.font", T::Text, 0, "empty", "splash text line 1: font name (not read by the launcher)",
     false},
    {10113, "splash.line1.extra1", T::Integer, kGeneral, "0", "splash text line 1: first number after the colour",
     true},
    {10114, "splash.line1.colour", T::Text, kShort, "empty", "splash text line 1: colour as red,green,blue", true},
    {10115, "splash.line1.extra2", T::Integer, kGeneral, "0", "splash text line 1: second number after the colour",
     true},
    {10116, "splash.line2.x", T::Integer, kGeneral, "0", "splash text line 2: first coordinate", true},
    {10117, "splash.line2.y", T::Integer, kGeneral, "0", "splash text line 2: second coordinate", true},
    {10118, "splash.line2.text", T::Text, kShort, "empty", "splash text line 2: the text", true},
    {10119, "splash.line2.font", T::Text, 0, "empty", "splash text line 2: font name (not read by the launcher)",
     false},
    {10120, "splash.line2.extra1", T::Integer, kGeneral, "0", "splash text line 2: first number after the colour",
     true},
    {10121, "splash.line2.colour", T::Text, kShort, "empty", "splash text line 2: colour as red,green,blue", true},
    {10122, "splash.line2.extra2", T::Integer, kGeneral, "0", "splash text line 2: second number after the colour",
     true},
    {10123, "splash.enabled", T::Flag, kGeneral, "0", "splash screen enabled", true},
    {10200, "version_options.count", T::Integer, kGeneral, "0", "number of version-specific VM option lines", true},
    {10201, "version_options.prefix", T::Text, 0, "empty (every version)",
     "Java version prefix of a version-specific option line (key 10201 + 2i)", true},
    {10202, "version_options.options", T::Text, kGeneral, "empty",
     "VM options used when the runtime's version begins with the prefix (key 10202 + 2i)", true},
};

// Texts quoted by the launcher's documentation are kept word for word,
// trailing line feed of 1006 included; the others say what the launcher
// means in plain English.
const MessageInfo kMessages[] = {
    {1000, "error_caption", L"Error", "caption of every error message box", true},
    {1001, "no_jvm_found_generic",
     L"No Java Virtual Machine could be found on your system.\nPlease define MORLIN_JAVA_HOME to point to an "
     L"installed JDK or JRE or download a JRE from www.java.com.",
     "no runtime found, without processor width", false},
    {1002, "path_jvm_damaged",
     L"The JVM found in your path is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to point to an "
     L"installed JDK or JRE.",
     "the runtime found through PATH is damaged", false},
    {1003, "env_var_jvm_broken_generic", L"The {0} environment variable does not\npoint to a working JDK or JRE.",
     "the runtime named by a variable does not work, without processor width", false},
    {1004, "directory_jvm_broken_generic",
     L"The JVM found at {0} is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to point to an "
     L"installed JDK or JRE.",
     "the runtime found in a directory is damaged, without processor width", false},
    {1005, "jvm_start_failed",
     L"The JVM could not be started. The maximum heap size (-Xmx) might be too large or an antivirus or "
     L"firewall tool could block the execution.",
     "the runtime found by the registry or an earlier installation cannot be loaded", true},
    {1006, "class_path_entry_missing", L"File or directory {0} not found or empty\n",
     "a mandatory class path entry is missing; {0} is its name", true},
    {1007, "wrong_parameter_usage", L"Wrong Parameter Usage", "wrong command-line usage", false},
    {1008, "env_var_undefined", L"The environment variable {0} has to be defined",
     "a mandatory class path entry names an undefined variable", true},
    {1009, "internal_error", L"An internal error occurred (error code: {0})",
     "internal errors; {0} is a short numeric code", true},
    {1010, "main_class_not_found", L"Couldn't load main class.", "the launcher class was not found", true},
    {1011, "main_method_not_found", L"Main method not found.", "its main method was not found", true},
    {1012, "error_title", L"Error", "a second error title", false},
    {1013, "ok_button", L"Ok", "OK button text", false},
    {1014, "startup_error", L"An error occurred while starting up {0}:", "start-up error heading", false},
    {1015, "no_temp_directory", L"You must be at least Poweruser to run this program.",
     "no usable temporary directory", true},
    {1016, "no_jvm_found",
     L"No Java Virtual Machine could be found on your system.\nPlease define MORLIN_JAVA_HOME to point to an "
     L"installed {0}-bit JDK or JRE or download a JRE from www.java.com.",
     "no runtime found; {0} is the processor width (32 or 64, the launcher's own)", true},
    {1017, "env_var_jvm_broken", L"The {0} environment variable does not\npoint to a working 32-bit JDK or JRE.",
     "the runtime named by an environment variable cannot be loaded; {0} is the variable", true},
    {1018, "env_var_jvm_broken_64", L"The {0} environment variable does not\npoint to a working 64-bit JDK or JRE.",
     "64-bit form of env_var_jvm_broken, shown by the 64-bit launcher", true},
    {1019, "directory_jvm_broken",
     L"The JVM found at {0} is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to point to an "
     L"installed 32-bit JDK or JRE.",
     "the runtime found in a directory cannot be loaded; {0} is the directory", true},
    {1020, "directory_jvm_broken_64",
     L"The JVM found at {0} is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to point to an "
     L"installed 64-bit JDK or JRE.",
     "64-bit form of directory_jvm_broken, shown by the 64-bit launcher", true},
    {20017, "service_description", L"", "service description shown by the Service Control Manager; empty: none",
     true},
};

constexpr int kVersionOptionBase = 10201;

}  // namespace

const ConfigKeyInfo* configKeyCatalogue(size_t* count) {
    *count = sizeof kKeys / sizeof kKeys[0];
    return kKeys;
}

const MessageInfo* messageCatalogue(size_t* count) {
    *count = sizeof kMessages / sizeof kMessages[0];
    return kMessages;
}

bool versionOptionSlot(int key, int* index, bool* isOptions) {
    if (key < kVersionOptionBase || key >= kVersionOptionBase + 2 * kMaxVersionOptionLines) return false;
    int offset = key - kVersionOptionBase;
    *index = offset / 2;
    *isOptions = offset % 2 == 1;
    return true;
}

const ConfigKeyInfo* findConfigKey(int key) {
    int index = 0;
    bool isOptions = false;
    if (versionOptionSlot(key, &index, &isOptions)) key = isOptions ? kVersionOptionBase + 1 : kVersionOptionBase;
    for (const auto& row : kKeys)
        if (row.key == key) return &row;
    return nullptr;
}

const ConfigKeyInfo* findConfigKeyByName(const char* name) {
    for (const auto& row : kKeys)
        if (strcmp(row.name, name) == 0) return &row;
    return nullptr;
}

const MessageInfo* findMessage(int id) {
    for (const auto& row : kMessages)
        if (row.id == id) return &row;
    return nullptr;
}

const MessageInfo* findMessageByName(const char* name) {
    for (const auto& row : kMessages)
        if (strcmp(row.name, name) == 0) return &row;
    return nullptr;
}
