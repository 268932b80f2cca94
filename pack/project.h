// Reading a project file (TOML) into a block ready to write. Every problem
// becomes a diagnostic naming the file and line; nothing is half-accepted.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "pack/block_writer.h"
#include "pack/icon_file.h"
#include "pack/version_resource.h"

struct Diagnostic {
    std::string file;
    int line = 0;  // 0 when the problem has no place in the file
    int column = 0;
    std::string message;
};

// "file:line:column: error: message"
std::string formatDiagnostic(const Diagnostic& d);

struct ProjectOptions {
    // Whether the default translations are packed; the project's
    // [build] default_translations can switch them off too.
    bool defaultTranslations = true;
};

// What goes into the executable's resources and which stub it takes,
// beside the block.
struct ResourceSettings {
    int windowed = -1;  // [application] windowed: -1 not given (the executable type decides), else 0 or 1
    bool hasIcon = false;
    IconFile icon;
    std::string executionLevel;  // empty: asInvoker
    VersionTexts version;        // as given in [version]; empty texts were not given
};

struct Project {
    BlockPlan block;
    ResourceSettings resources;
    std::filesystem::path stub;  // [build] stub, resolved against the project's folder; empty if not given
    std::string arch;            // [build] arch, empty if not given
};

// Parses project text. `displayName` names the file in diagnostics and
// `baseDir` is where relative source and stub paths start. Returns false
// (with at least one diagnostic) on any error.
bool parseProjectText(const std::string& text, const std::string& displayName, const std::filesystem::path& baseDir,
                      const ProjectOptions& options, Project* project, std::vector<Diagnostic>* diagnostics);

bool loadProjectFile(const std::filesystem::path& file, const ProjectOptions& options, Project* project,
                     std::vector<Diagnostic>* diagnostics);
