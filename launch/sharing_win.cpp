// Class-data sharing on the machine: the per-user folder, the one start
// that may write an archive, moving a finished archive into place, and
// removing the files of configurations that are gone. Every step that
// fails leaves the start without sharing, never without its application.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/bounded.h"
#include "base/dirwalk_win.h"
#include "base/environment_win.h"
#include "base/text_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state_win.h"
#include "files/paths.h"
#include "files/temp.h"
#include "launch/sharing.h"
#include "launch/sharing_win.h"

namespace {

// Writing an archive needs a few MB, an ahead-of-time cache tens of MB. A
// VM that cannot finish writing at exit ends with an error of its own, so
// a start with less free space than this writes nothing.
constexpr uint64_t kMinimumFreeBytes = 256ull * 1024 * 1024;
// Archives of other configurations of the application that are kept (the
// newest ones: a service and a foreground start may use two runtimes).
constexpr size_t kKeptOtherArchives = 2;
// Removals per start, so a folder full of old files costs one start little.
constexpr size_t kMaxRemovalsPerStart = 16;

uint64_t joined(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

// The cache folder's parent: the user's local application data (a service
// gets its own account's), else the temporary base. In the file-API code
// page, and only when the path survives the conversion whole: the VM gets
// narrow option texts, and a file it cannot name it cannot write.
bool cacheBase(std::string& base) {
    std::vector<wchar_t> wide(kPathCapacity);
    if (readEnvironmentW(L"LOCALAPPDATA", wide.data(), wide.size()) != EnvironmentRead::Found || !wide[0]) {
        getTempBaseW(wide.data(), wide.size(), false);
        if (!wide[0]) return false;
    }
    std::vector<char> narrow(kPathCapacity);
    bool lossy = false;
    if (!narrowTo(fileApiCodePage(), narrow.data(), narrow.size(), wide.data(), &lossy) || lossy) {
        logLine(L"class data sharing: the folder %s has no narrow name", wide.data());
        return false;
    }
    base = narrow.data();
    if (!base.empty() && base.back() != '\\') base.push_back('\\');
    return true;
}

bool makeFolders(const std::string& path) {
    // Each level in turn; an existing one is fine.
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\') continue;
        std::string level = path.substr(0, i);
        if (CreateDirectoryA(level.c_str(), nullptr)) continue;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            DWORD attributes = GetFileAttributesA(level.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                SetLastError(error);
                return false;
            }
        }
    }
    return true;
}

// The VM makes its archives read-only; Windows deletes no such file.
bool removeFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
}

// The first bytes of a file: an archive's magic says it was written whole.
bool startsWithMagic(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char head[4] = {0, 0, 0, 0};
    DWORD got = 0;
    bool read = ReadFile(file, head, sizeof head, &got, nullptr) != 0;
    CloseHandle(file);
    return read && hasArchiveMagic(head, got);
}

// The one writer of a configuration: a lock file that closes (and so
// disappears) with the process, however it ends. One left by a machine
// that went down is removed; one held open cannot be. *held says that
// another start holds it; otherwise a null lock means the folder cannot be
// written (*error).
HANDLE takeWriterLock(const std::string& path, bool* held, DWORD* error) {
    *held = false;
    *error = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        HANDLE lock = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (lock != INVALID_HANDLE_VALUE) return lock;
        *error = GetLastError();
        if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) return nullptr;
        if (!removeFile(path)) {
            *held = true;
            return nullptr;
        }
    }
    return nullptr;
}

std::vector<FileStamp> classPathStamps(const OptionList& options) {
    std::vector<FileStamp> stamps;
    for (const std::string& element : classPathElements(options)) {
        FileStamp stamp;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(element.c_str(), GetFileExInfoStandard, &data)) {
            stamp.size = joined(data.nFileSizeHigh, data.nFileSizeLow);
            stamp.writeTime = joined(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
        }
        stamps.push_back(stamp);
    }
    return stamps;
}

struct Folder {
    std::string path;  // ends with a backslash
    std::string stem;
    SharingKind kind;
};

// With the writer's lock held: scratch files of this configuration are
// finished (their writers have ended). The first whole one becomes the
// archive when there is none; the rest go.
void settleScratchFiles(const Folder& folder, bool haveArchive) {
    std::string pattern = folder.path + folder.stem + ".*.tmp";
    std::vector<std::string> scratch;
    for (DirectoryWalk walk(pattern.c_str()); walk.next();) {
        const WIN32_FIND_DATAA& entry = walk.entry();
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isScratchFileName(entry.cFileName, folder.stem))
            scratch.push_back(entry.cFileName);
    }
    for (const std::string& name : scratch) {
        std::string path = folder.path + name;
        WIN32_FILE_ATTRIBUTE_DATA data;
        bool whole = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) && startsWithMagic(path);
        if (whole && !haveArchive) {
            uint64_t size = joined(data.nFileSizeHigh, data.nFileSizeLow);
            std::string target = folder.path + archiveFileName(folder.stem, folder.kind, size);
            if (MoveFileExA(path.c_str(), target.c_str(), 0)) {
                logLine(L"class data sharing: moved %S into place as %S", name.c_str(), target.c_str());
                haveArchive = true;
                continue;
            }
            logLine(L"class data sharing: could not move %S into place (error %d)", name.c_str(),
                    static_cast<int>(GetLastError()));
        }
        if (removeFile(path))
            logLine(L"class data sharing: removed %S %S", whole ? "surplus" : "unfinished", name.c_str());
    }
}

// The archive of this configuration, when one is there and whole: its size
// is the one its name records. A damaged one is removed by the writer.
bool findArchive(const Folder& folder, bool writer, std::string& archive) {
    std::string pattern = folder.path + folder.stem + ".*" + archiveExtension(folder.kind);
    std::vector<std::pair<std::string, bool>> found;
    for (DirectoryWalk walk(pattern.c_str()); walk.next();) {
        const WIN32_FIND_DATAA& entry = walk.entry();
        uint64_t recorded = 0;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!parseArchiveFileName(entry.cFileName, folder.stem, folder.kind, &recorded)) continue;
        bool whole = recorded == joined(entry.nFileSizeHigh, entry.nFileSizeLow);
        found.push_back(std::make_pair(std::string(entry.cFileName), whole));
    }
    bool usable = false;
    for (const std::pair<std::string, bool>& candidate : found) {
        std::string path = folder.path + candidate.first;
        bool whole = candidate.second && startsWithMagic(path);
        if (whole && !usable) {
            archive = path;
            usable = true;
            continue;
        }
        if (!whole) logLine(L"class data sharing: %S is damaged or cut", candidate.first.c_str());
        if (writer && removeFile(path)) logLine(L"class data sharing: removed %S", candidate.first.c_str());
    }
    return usable;
}

// With the writer's lock held: the files of configurations that are gone
// (another runtime, other jars, other options), beyond the newest few.
void removeOldConfigurations(const Folder& folder) {
    std::string pattern = folder.path + "java*";
    std::vector<std::pair<std::string, uint64_t>> archives;
    std::vector<std::string> scratch;
    std::string own = folder.stem + ".";
    for (DirectoryWalk walk(pattern.c_str()); walk.next();) {
        const WIN32_FIND_DATAA& entry = walk.entry();
        std::string name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isSharingFileName(name)) continue;
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), static_cast<int>(own.size()),
                           own.c_str(), static_cast<int>(own.size())) == CSTR_EQUAL)
            continue;
        size_t dot = name.rfind('.');
        std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
        uint64_t written = joined(entry.ftLastWriteTime.dwHighDateTime, entry.ftLastWriteTime.dwLowDateTime);
        if (extension == ".jsa" || extension == ".aot") archives.push_back(std::make_pair(name, written));
        else if (extension == ".tmp") scratch.push_back(name);  // in use, or left by a writer that is gone
    }
    std::vector<std::string> doomed = staleArchives(archives, kKeptOtherArchives);
    doomed.insert(doomed.end(), scratch.begin(), scratch.end());
    size_t removed = 0;
    for (const std::string& name : doomed) {
        if (removed == kMaxRemovalsPerStart) break;
        // A file a running VM has mapped or is writing cannot be deleted:
        // it stays until a later start.
        if (removeFile(folder.path + name)) {
            logLine(L"class data sharing: removed %S of an earlier configuration", name.c_str());
            ++removed;
        }
    }
}

}  // namespace

void appendSharingOptions(OptionList& options) {
    if (getConfigInt(key::ClassDataSharing) != 1) return;
    int feature = javaFeatureVersion(selectedJvmVersion);
    SharingKind kind = sharingKindFor(feature);
    if (kind == SharingKind::None) {
        logLine(L"class data sharing: nothing for Java version %S", selectedJvmVersion ? selectedJvmVersion : "");
        return;
    }
    if (const std::string* own = ownSharingOption(options)) {
        logLine(L"class data sharing: left to the option %S", own->c_str());
        return;
    }
    Folder folder;
    folder.kind = kind;
    std::string base;
    if (!cacheBase(base)) return;
    std::vector<char> applicationId(kPathCapacity);
    getConfigString(key::ApplicationId, applicationId.data(), applicationId.size());
    folder.path = base + "Vantrel\\cds\\" + applicationFolderName(applicationId.data(), getModulePath()) + "\\";
    if (!makeFolders(folder.path)) {
        logLine(L"class data sharing: could not create %S (error %d)", folder.path.c_str(),
                static_cast<int>(GetLastError()));
        return;
    }
    folder.stem = sharingStem(feature, sharingFingerprint(selectedJvmHome, selectedJvmVersion, options,
                                                          classPathStamps(options)));
    logLine(L"class data sharing: %S%S for Java %d", folder.path.c_str(), folder.stem.c_str(), feature);

    bool held = false;
    DWORD lockError = 0;
    HANDLE lock = takeWriterLock(folder.path + folder.stem + ".lock", &held, &lockError);
    bool writer = lock != nullptr;
    if (!writer && !held)
        logLine(L"class data sharing: cannot write in %S (error %d)", folder.path.c_str(), static_cast<int>(lockError));
    if (writer) {
        settleScratchFiles(folder, false);
        removeOldConfigurations(folder);
    }
    std::string archive;
    bool usable = findArchive(folder, writer, archive);
    if (writer && !usable) {
        ULARGE_INTEGER freeBytes;
        if (GetDiskFreeSpaceExA(folder.path.c_str(), &freeBytes, nullptr, nullptr) &&
            freeBytes.QuadPart < kMinimumFreeBytes) {
            logLine(L"class data sharing: only %I64u MB free, nothing written",
                    static_cast<unsigned long long>(freeBytes.QuadPart / (1024 * 1024)));
            writer = false;
        }
    }
    std::string scratch = folder.path + scratchFileName(folder.stem, GetCurrentProcessId());
    OptionList added = sharingOptions(kind, archive, scratch, usable, writer);
    if (usable) logLine(L"class data sharing: using %S", archive.c_str());
    else if (writer) logLine(L"class data sharing: the VM writes %S at exit", scratch.c_str());
    else if (held) logLine(L"class data sharing: another start is writing the archive; none this time");
    else logLine(L"class data sharing: none this time");
    if (writer && !usable) {
        sharingWriterLock = lock;  // held until the process ends: this start is the writer
    } else if (lock) {
        CloseHandle(lock);
    }
    options.insert(options.end(), added.begin(), added.end());
}
