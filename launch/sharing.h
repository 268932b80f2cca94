// Class-data sharing: an archive of the application's loaded and linked
// classes that the VM maps at start instead of doing that work again. The
// launcher keeps one archive per runtime and application configuration in
// a per-user folder, lets one start write it, and hands it to later starts.
// This part decides: which options a runtime version takes, what names the
// files get, and which files can be trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launch/vmoptions.h"

enum class SharingKind {
    None,           // before Java 13, or the version is unknown
    ArchiveAtExit,  // Java 13 to 18: -XX:ArchiveClassesAtExit, then -XX:SharedArchiveFile
    AutoCreate,     // Java 19 to 24: -XX:+AutoCreateSharedArchive, then -XX:SharedArchiveFile
    AotCache,       // Java 25 on: -XX:AOTCacheOutput, then -XX:AOTCache
};

// The feature version of a version text: 8 for "1.8.0_121", 17 for
// "17.0.15", 25 for "25"; 0 when there is none.
int javaFeatureVersion(const char* version);
SharingKind sharingKindFor(int featureVersion);

// An option the application's own configuration already gives that
// decides sharing (an archive or cache of its own, any -Xshare: mode, or
// sharing switched off), or null.
const std::string* ownSharingOption(const OptionList& options);

// What identifies a class-path file's contents well enough: an update of a
// jar changes its size or its last write time.
struct FileStamp {
    uint64_t size = 0;
    uint64_t writeTime = 0;
};

// The elements of the class path option ("-Djava.class.path=a;b"), or
// none when options has no such option.
std::vector<std::string> classPathElements(const OptionList& options);

// A 64-bit FNV-1a hash of everything that makes an archive valid for a
// start: the runtime's home and version, the VM options except system
// properties (those do not change what the VM maps, and some differ from
// start to start), and the class-path files' stamps in class-path order.
uint64_t sharingFingerprint(const char* jvmHome, const char* jvmVersion, const OptionList& options,
                            const std::vector<FileStamp>& stamps);

// "java17-0123456789ab": the feature version and twelve hex digits of the
// fingerprint. Every file of one configuration starts with it.
std::string sharingStem(int featureVersion, uint64_t fingerprint);
const char* archiveExtension(SharingKind kind);  // ".jsa" or ".aot"

// The name of a finished archive: the stem, its size in bytes (which tells
// a damaged or cut file from a whole one) and the extension.
std::string archiveFileName(const std::string& stem, SharingKind kind, uint64_t size);
// True when name is an archive of this stem and kind; *size is the size the
// name records.
bool parseArchiveFileName(const std::string& name, const std::string& stem, SharingKind kind, uint64_t* size);
// Where one start's VM writes ("<stem>.<pid>.tmp"), so that two starts
// never write the same file; a later start moves a finished one into place.
std::string scratchFileName(const std::string& stem, unsigned long processId);
bool isScratchFileName(const std::string& name, const std::string& stem);
// Any file of the launcher's in the folder ("java<n>-<12 hex>..."), of this
// configuration or another.
bool isSharingFileName(const std::string& name);

// The folder of one application below the cache folder: its application
// id when it has one (characters unsafe in a file name replaced), else the
// executable's name and a hash of its full path.
std::string applicationFolderName(const char* applicationId, const char* modulePath);

// The VM writes an archive's header last, over zeros: a file that begins
// with one of the archive magics was written to its end.
bool hasArchiveMagic(const unsigned char* head, size_t length);

// The options for this start. usable: a finished, whole archive of this
// configuration is at archive. writer: this start may write one (at the
// scratch path; none other writes it meanwhile). Empty when neither helps.
OptionList sharingOptions(SharingKind kind, const std::string& archive, const std::string& scratch, bool usable,
                          bool writer);

// Of the archives of other configurations (name, last write time), the
// names to remove: all but the keep newest.
std::vector<std::string> staleArchives(std::vector<std::pair<std::string, uint64_t>> others, size_t keep);
