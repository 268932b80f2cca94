// The settings of a project file that shape the executable itself rather
// than its configuration block: which stub (windowed or console), the
// icon, the execution level of the manifest and the version information.
#include <fstream>
#include <sstream>
#include <system_error>

#include "pack/manifest.h"
#include "pack/project_internal.h"
#include "pack/text_codec.h"
#include "pack/value_limits.h"

namespace {

void readIcon(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string name;
    if (!readString(ctx, node, path, &name)) return;
    std::filesystem::path file = ctx.baseDir / std::filesystem::u8path(name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        ctx.error(node, path + ": the icon '" + name + "' was not found (looked for " + file.u8string() +
                            "); paths are relative to the project file");
        return;
    }
    // Refused before it is read: an oversized file is not an icon.
    uint64_t size = std::filesystem::file_size(file, ec);
    if (!ec && size > static_cast<uint64_t>(limit::IconFileBytes)) {
        ctx.error(node, path + ": the icon '" + name + "' has " + std::to_string(size) +
                            " bytes; an icon may have at most " + std::to_string(limit::IconFileBytes) + " (16 MB)");
        return;
    }
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    if (!in && !in.eof()) {
        ctx.error(node, path + ": the icon '" + name + "' cannot be read");
        return;
    }
    std::string error;
    if (!parseIcon(content.str(), &ctx.resources.icon, &error)) {
        ctx.error(node, path + ": the icon '" + name + "' " + error);
        return;
    }
    ctx.resources.hasIcon = true;
}

void readExecutionLevel(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string level;
    if (!readString(ctx, node, path, &level)) return;
    if (!isExecutionLevel(level)) {
        ctx.error(node, path + " \"" + level +
                            "\" is unknown; use \"asInvoker\" (the default), \"highestAvailable\" or "
                            "\"requireAdministrator\"");
        return;
    }
    ctx.resources.executionLevel = level;
}

std::u16string* versionField(VersionTexts& v, const std::string& path) {
    if (path == "version.file_version") return &v.fileVersion;
    if (path == "version.product_version") return &v.productVersion;
    if (path == "version.product_name") return &v.productName;
    if (path == "version.file_description") return &v.fileDescription;
    if (path == "version.company_name") return &v.companyName;
    if (path == "version.copyright") return &v.copyright;
    if (path == "version.original_filename") return &v.originalFilename;
    return &v.internalName;
}

void readVersionText(ProjectContext& ctx, bool number, const toml::node& node, const std::string& path) {
    std::string utf8, error;
    std::u16string text;
    CodecProblem problem;
    if (!readString(ctx, node, path, &utf8)) return;
    if (!utf8ToUtf16(utf8, &text, &problem)) {
        ctx.error(node, path + " is not valid UTF-8");
        return;
    }
    if (text.empty()) {
        ctx.error(node, path + " is empty; leave the setting out instead");
        return;
    }
    if (!checkVersionText(text, &error)) {
        ctx.error(node, path + " " + error);
        return;
    }
    VersionNumber parts;
    if (number && !versionNumberOf(utf8, &parts, &error)) {
        ctx.error(node, path + ": " + error);
        return;
    }
    *versionField(ctx.resources.version, path) = text;
}

}  // namespace

void readResourceSetting(ProjectContext& ctx, SettingKind kind, const toml::node& node, const std::string& path) {
    bool on = false;
    switch (kind) {
    case SettingKind::Windowed:
        if (readBool(ctx, node, path, &on)) ctx.resources.windowed = on ? 1 : 0;
        break;
    case SettingKind::Icon: readIcon(ctx, node, path); break;
    case SettingKind::ExecutionLevel: readExecutionLevel(ctx, node, path); break;
    case SettingKind::VersionNumberText: readVersionText(ctx, true, node, path); break;
    default: readVersionText(ctx, false, node, path); break;
    }
}
