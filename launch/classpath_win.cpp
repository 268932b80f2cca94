#include <windows.h>

#include <vector>

#include "base/bounded.h"
#include "base/dirwalk_win.h"
#include "base/environment_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "files/temp.h"
#include "launch/classpath.h"
#include "launch/expand.h"
#include "launch/runtime_contract.h"

namespace {

// Entries that cannot be taken whole are left out: half a path or half a
// variable's value would put some other file on the class path.
bool appendEnvironmentEntry(std::string& classPath, const char* name, bool mandatory) {
    std::vector<char> value(kPathCapacity);
    size_t length = 0;
    EnvironmentRead read = readEnvironmentA(name, value.data(), value.size(), &length);
    if (read == EnvironmentRead::TooLong) {
        logError(L"environment variable %S is too long for the class path (%d characters), left out", name,
                 static_cast<int>(length));
        return false;
    }
    if (read == EnvironmentRead::Found && length > 0) {
        classPath += environmentContribution(value.data());
        return true;
    }
    if (mandatory && read == EnvironmentRead::Absent) fatalMessageNarrow(msg::EnvVarUndefined, name);
    return false;
}

bool appendScannedDirectory(std::string& classPath, const char* name) {
    std::vector<char> directory(kResolvedListCapacity);
    if (!resolveRelativePath(directory.data(), directory.size(), name, nullptr)) {
        logError(L"classpath directory name too long, left out: %S", name);
        return false;
    }
    bool found = appendArchives(classPath, directory.data(), "jar");
    found = appendArchives(classPath, directory.data(), "zip") || found;
    return found;
}

bool appendPathEntry(std::string& classPath, const char* name) {
    std::vector<char> resolved(kResolvedListCapacity);
    resolvePathList(resolved.data(), resolved.size(), name);
    bool found = pathExists(resolved.data());
    classPath += resolved.data();
    classPath += ';';
    return found;
}

void appendEntry(std::string& classPath, const ClassPathEntry& entry) {
    char name[kPathCapacity];
    copyText(name, kPathCapacity, entry.name.c_str());
    bool found = false;
    if (!expandVariables(name, kPathCapacity)) {
        logError(L"classpath entry too long after expansion, left out: %S", name);
    } else {
        switch (entry.type) {
        case 'A':
        case 'D': found = appendPathEntry(classPath, name); break;
        case 'E': found = appendEnvironmentEntry(classPath, name, entry.mandatory); break;
        case 'S': found = appendScannedDirectory(classPath, name); break;
        default: break;  // unknown types contribute nothing
        }
    }
    if (entry.mandatory && !found) fatalMessageNarrow(msg::ClassPathEntryMissing, name);
}

}  // namespace

bool resolvePathList(char* output, size_t cap, const char* list) {
    return joinResolvedPieces(output, cap, list, [](char* out, size_t n, const char* piece) {
        return resolveRelativePath(out, n, piece, nullptr);
    });
}

std::vector<std::string> listFilesWithExtension(const char* directory, const char* extension) {
    std::vector<std::string> names;
    std::string pattern = archivePattern(directory, extension);
    for (DirectoryWalk walk(pattern.c_str()); walk.next();) names.push_back(walk.entry().cFileName);
    return names;
}

bool appendArchives(std::string& classPath, const char* directory, const char* extension) {
    if (!directory[0] || !pathExists(directory)) return false;
    std::vector<char> joined(kResolvedListCapacity);
    std::vector<char> resolved(kResolvedListCapacity);
    for (const std::string& name : listFilesWithExtension(directory, extension)) {
        bool whole = formatText(joined.data(), joined.size(), "%s\\%s", directory, name.c_str());
        whole = whole && resolveRelativePath(resolved.data(), resolved.size(), joined.data(), nullptr);
        if (!whole) {
            logError(L"archive path too long, left out: %S", name.c_str());
            continue;
        }
        classPath += resolved.data();
        classPath += ';';
    }
    return true;
}

void appendRuntimeJar(std::string& classPath) {
    if (launcherFamily != 'v') return;
    char directory[kPathCapacity];
    getConfigString(key::ApplicationDirectory, directory, kPathCapacity);
    char absolute[kPathCapacity];
    absolutePath(absolute, kPathCapacity, directory, true);
    classPath += absolute;
    if (classPath.back() != '\\') classPath += '\\';
    classPath += kRuntimeFolder;
    classPath += '\\';
    classPath += kRuntimeArchive;
    classPath += ';';
}

void appendConfiguredClassPath(std::string& classPath) {
    char text[kPathCapacity];
    getConfigString(key::ClassPath, text, kPathCapacity);
    logLine(L"classpath entry %S", text);
    std::vector<ClassPathEntry> entries = parseClassPathEntries(text);
    logLine(L"classpath entries %d", static_cast<int>(entries.size()));
    for (const ClassPathEntry& entry : entries) appendEntry(classPath, entry);
}

std::string buildClassPathOption(const ClassPathTexts& texts) {
    std::string classPath = "-D";
    classPath += kPropClassPath;
    classPath += '=';
    if (texts.hasPrefix) {
        classPath += texts.prefix;
        classPath += ';';
    }
    appendArchives(classPath, tempDirectory, "jar");
    appendArchives(classPath, tempDirectory, "zip");
    if (tempDirectory[0]) {
        char user[kPathCapacity + 8];
        if (formatText(user, sizeof user, "%s\\user", tempDirectory)) {
            appendArchives(classPath, user, "jar");
            appendArchives(classPath, user, "zip");
        }
    }
    appendRuntimeJar(classPath);
    if (texts.hasReplacement) classPath += texts.replacement;
    else appendConfiguredClassPath(classPath);
    finishClassPath(classPath, texts);
    return classPath;
}
