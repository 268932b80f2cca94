#include "hostjvm/src/hostopts.h"

#include <cstring>

namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Module options the VM accepts in their one-argument "name=value" form.
const char* const kModuleOptions[] = {
    "--add-exports=", "--add-opens=", "--add-modules=", "--add-reads=", "--limit-modules=",
    "--module-path=", "--patch-module=", "--upgrade-module-path=", "--enable-native-access=",
    "--illegal-access=",
};

const char* const kAssertionOptions[] = {
    "-ea", "-da", "-esa", "-dsa", "-enableassertions", "-disableassertions",
    "-enablesystemassertions", "-disablesystemassertions",
};

bool isAssertionOption(const std::string& option) {
    for (const char* name : kAssertionOptions) {
        size_t n = std::strlen(name);
        if (option.compare(0, n, name) == 0 && (option.size() == n || option[n] == ':')) return true;
    }
    return false;
}

// Properties the host's java launcher adds by itself.
const char* const kLauncherProperties[] = {"sun.java.command", "sun.java.launcher"};

std::string propertyKey(const std::string& option) {
    size_t eq = option.find('=');
    return option.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
}

std::string translateOption(const std::string& option, char separator, PathTranslator translate, void* context) {
    for (const char* prefix : kPathListOptions) {
        if (startsWith(option, prefix)) {
            size_t n = std::strlen(prefix);
            return option.substr(0, n) + translatePathList(option.substr(n), separator, translate, context);
        }
    }
    for (const char* prefix : kPathOptions) {
        if (startsWith(option, prefix)) {
            size_t n = std::strlen(prefix);
            return option.substr(0, n) + translatePath(option.substr(n), translate, context);
        }
    }
    if (startsWith(option, "-javaagent:")) {
        // -javaagent:<jar>[=<options>]: only the jar is a path.
        size_t n = std::strlen("-javaagent:");
        size_t eq = option.find('=', n);
        std::string jar = option.substr(n, eq == std::string::npos ? std::string::npos : eq - n);
        std::string rest = eq == std::string::npos ? std::string() : option.substr(eq);
        return option.substr(0, n) + translatePath(jar, translate, context) + rest;
    }
    return option;
}

}  // namespace

const char* const kPathListOptions[3] = {"-Djava.class.path=", "-Djava.library.path=", "-Xbootclasspath/a:"};
const char* const kPathOptions[5] = {"-XX:SharedArchiveFile=", "-XX:ArchiveClassesAtExit=", "-XX:AOTCache=",
                                     "-XX:AOTCacheOutput=", "-XX:AOTConfiguration="};

OptionKind classifyOption(const std::string& option) {
    if (option == "vfprintf" || option == "exit" || option == "abort") return OptionKind::hook;
    if (startsWith(option, "-D") && option.size() > 2) return OptionKind::pass;
    if (startsWith(option, "-XX:")) return OptionKind::pass;
    if (startsWith(option, "-X")) {
        // The java launcher itself takes -X (help), -XshowSettings and
        // -Xdiag; the VM does not know them.
        if (option == "-X" || option == "-Xdiag" || startsWith(option, "-XshowSettings")) {
            return OptionKind::unrecognized;
        }
        return OptionKind::pass;
    }
    if (option == "-verbose" || startsWith(option, "-verbose:")) return OptionKind::pass;
    if (isAssertionOption(option)) return OptionKind::pass;
    if (startsWith(option, "-javaagent:") || startsWith(option, "-agentlib:") ||
        startsWith(option, "-agentpath:")) {
        return OptionKind::pass;
    }
    if (option == "--enable-preview") return OptionKind::pass;
    for (const char* prefix : kModuleOptions) {
        if (startsWith(option, prefix)) return OptionKind::pass;
    }
    return OptionKind::unrecognized;
}

bool buildHostOptions(const std::vector<std::string>& options, bool ignoreUnrecognized, char listSeparator,
                      PathTranslator translate, void* context, HostOptions& out, std::string& error) {
    out = HostOptions();
    // The VM then ignores unknown -X and -XX options as JNI's
    // ignoreUnrecognized asks; a bad value of a known option still fails.
    if (ignoreUnrecognized) out.vmArgs.push_back("-XX:+IgnoreUnrecognizedVMOptions");
    // The java launcher would default the class path to "."; a VM created
    // through JNI has an empty one unless the options set it.
    out.vmArgs.push_back("-Djava.class.path=");
    for (const char* key : kLauncherProperties) out.fixups.push_back(PropertyFixup{key, false, ""});

    for (const std::string& option : options) {
        switch (classifyOption(option)) {
        case OptionKind::hook:
            continue;
        case OptionKind::unrecognized:
            if (ignoreUnrecognized) continue;
            error = "Unrecognized option: " + option;
            return false;
        case OptionKind::pass:
            break;
        }
        out.vmArgs.push_back(translateOption(option, listSeparator, translate, context));
        if (startsWith(option, "-D")) {
            std::string key = propertyKey(option);
            for (PropertyFixup& fix : out.fixups) {
                if (fix.key == key) {
                    size_t eq = option.find('=');
                    fix.present = true;
                    fix.value = eq == std::string::npos ? std::string() : option.substr(eq + 1);
                }
            }
        }
    }
    return true;
}

std::string translatePathList(const std::string& list, char separator, PathTranslator translate, void* context) {
    std::string out;
    size_t start = 0;
    while (true) {
        size_t end = list.find(';', start);
        std::string element = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!element.empty()) out += translatePath(element, translate, context);
        if (end == std::string::npos) break;
        out += separator;
        start = end + 1;
    }
    return out;
}

std::string translatePath(const std::string& path, PathTranslator translate, void* context) {
    std::string head = path;
    std::string tail;
    while (!head.empty()) {
        std::string unixPath;
        if (translate(head, unixPath, context)) {
            if (!tail.empty() && !unixPath.empty() && unixPath.back() == '/') unixPath.pop_back();
            return unixPath + tail;
        }
        size_t cut = head.find_last_of("\\/");
        if (cut == std::string::npos) break;
        std::string before = head;
        std::string last = head.substr(cut + 1);
        head.erase(cut);
        // "C:" alone names the drive's current folder; its root is meant.
        if (head.size() == 2 && head[1] == ':') head += '\\';
        if (head.empty() || head == before) break;
        if (!last.empty()) tail = "/" + last + tail;
    }
    return path;
}
