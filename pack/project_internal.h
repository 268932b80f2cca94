// Shared between the parts of the project reader: the walker (project.cpp),
// the readable settings (project_settings.cpp), the structured sections
// (project_sections.cpp, project_messages.cpp) and the assembly of the
// block (project_assemble.cpp). Not for use outside the project reader.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <toml++/toml.h>

#include "pack/project.h"

struct ProjectContext {
    std::string displayName;
    std::filesystem::path baseDir;
    std::vector<Diagnostic>* diagnostics = nullptr;

    std::map<int, std::string> settings;  // from readable settings, ANSI
    std::map<int, std::string> rawKeys;   // from [keys], ANSI; they win
    std::map<int, std::u16string> english;
    std::map<int, toml::source_region> englishGiven;  // where the project rewrote an English text
    std::map<std::string, std::map<int, std::u16string>> locales;
    std::vector<EmbeddedFile> files;
    std::filesystem::path stub;
    std::string arch;
    ResourceSettings resources;
    bool defaultTranslations = true;

    void error(const toml::source_region& where, const std::string& message);
    void error(const toml::node& where, const std::string& message) { error(where.source(), message); }
    // Records an English text; a second one for the same id is an error
    // reported at whichever of the two comes later in the file.
    void setEnglish(int id, const std::u16string& text, const toml::node& where);
};

// "a string", "an integer", ... for messages about wrong value types.
std::string describeValue(const toml::node& node);

// Reads a string setting; reports a type error and returns false otherwise.
bool readString(ProjectContext& ctx, const toml::node& node, const std::string& path, std::string* out);
bool readBool(ProjectContext& ctx, const toml::node& node, const std::string& path, bool* out);
bool readInt32(ProjectContext& ctx, const toml::node& node, const std::string& path, long long min,
               long long max, int* out);

// UTF-8 text of `path` to the ANSI code page, without control characters.
bool toAnsiText(ProjectContext& ctx, const toml::node& node, const std::string& path, const std::string& utf8,
                std::string* ansi);
// Stores a narrow value under a key after checking the launcher's length
// limit for it.
bool storeSetting(ProjectContext& ctx, const toml::node& node, const std::string& path, int key,
                  const std::string& ansi, bool raw = false);

// A string, or an array of strings, as a list of ANSI items.
bool readTextList(ProjectContext& ctx, const toml::node& node, const std::string& path,
                  std::vector<std::string>* items);
// VM options or arguments: one string taken as command-line text, or an
// array of single arguments joined with the quoting the launcher expects.
bool encodeCommandLine(ProjectContext& ctx, const toml::node& node, const std::string& path, std::string* ansi);
// Reports every key of an inline or array table that is not in `allowed`.
bool checkFields(ProjectContext& ctx, const toml::table& table, const std::string& path,
                 const std::vector<std::string>& allowed);

// How a readable setting's value is checked and stored.
enum class SettingKind {
    Text,
    ServiceName,
    Flag,
    Integer,
    Family,
    ExecutableType,
    CommandLine,
    PathList,
    Dependencies,
    Version,
    Redirect,
    Colour,
    Search,
    Description,
    StopTimeout,
    ClassDataSharing,
    Word,       // one of a few words (service.restart, service.start)
    Count,      // a number within the range its path allows
    Size,       // a size such as "10 MB", stored in bytes
    Recovery,   // service.on_failure
    Account,    // service.account
    ServiceLog, // service.log: a file name or "none"
    BuildStub,
    BuildArch,
    BuildTranslations,
    Windowed,
    Icon,
    ExecutionLevel,
    VersionNumberText,
    VersionText,
};
// Reads the value of the setting at `path` (its dotted name) as `kind` says.
void applySetting(ProjectContext& ctx, SettingKind kind, const toml::node& node, const std::string& path);

// The settings of the executable's resources and stub (windowed, icon,
// execution level, [version]), which are not configuration keys.
void readResourceSetting(ProjectContext& ctx, SettingKind kind, const toml::node& node, const std::string& path);

// The structured parts: each takes the node under its top-level name.
void readClassPath(ProjectContext& ctx, const toml::node& node);
void readSearchSequence(ProjectContext& ctx, const toml::node& node);
void readVersionOptions(ProjectContext& ctx, const toml::node& node);
void readEmbeddedFiles(ProjectContext& ctx, const toml::node& node);
void readMessages(ProjectContext& ctx, const toml::node& node);
void readRawKeys(ProjectContext& ctx, const toml::node& node);

// The block the parsed project becomes.
void assembleProject(const ProjectContext& ctx, const ProjectOptions& options, Project* project);
