#include "pack/project.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "config/catalogue.h"
#include "config/keys.h"
#include "pack/encode.h"
#include "pack/project_internal.h"
#include "service/servicelog.h"

namespace {

struct Rule {
    const char* path;  // the catalogue name of the key it sets, where there is one
    SettingKind kind;
};

const Rule kRules[] = {
    {"application.family", SettingKind::Family},
    {"application.service_name", SettingKind::ServiceName},
    {"application.main_class", SettingKind::Text},
    {"application.executable_type", SettingKind::ExecutableType},
    {"application.working_directory", SettingKind::Text},
    {"application.app_dir", SettingKind::Text},
    {"application.vm_options", SettingKind::CommandLine},
    {"application.arguments", SettingKind::CommandLine},
    {"application.java_args_as_vm_options", SettingKind::Flag},
    {"application.native_library_dirs", SettingKind::PathList},
    {"application.single_instance", SettingKind::Flag},
    {"application.bring_to_front", SettingKind::Flag},
    {"application.global_semaphore", SettingKind::Flag},
    {"application.application_id", SettingKind::Text},
    {"application.windowed", SettingKind::Windowed},
    {"application.icon", SettingKind::Icon},
    {"application.execution_level", SettingKind::ExecutionLevel},
    {"jvm.min_version", SettingKind::Version},
    {"jvm.max_version", SettingKind::Version},
    {"jvm.search", SettingKind::Search},
    {"jvm.preferred_vm_type", SettingKind::Text},
    {"jvm.allow_prerelease", SettingKind::Flag},
    {"jvm.require_jdk", SettingKind::Flag},
    {"jvm.only_own_runtimes", SettingKind::Flag},
    {"jvm.class_data_sharing", SettingKind::ClassDataSharing},
    {"redirect.stderr", SettingKind::Redirect},
    {"redirect.stdout", SettingKind::Redirect},
    {"redirect.runtime_flag", SettingKind::Flag},
    {"redirect.max_size", SettingKind::Size},
    {"redirect.keep", SettingKind::Count},
    {"splash.enabled", SettingKind::Flag},
    {"splash.text_settings", SettingKind::Flag},
    {"splash.secondary_flag", SettingKind::Flag},
    {"splash.line1.text", SettingKind::Text},
    {"splash.line1.x", SettingKind::Integer},
    {"splash.line1.y", SettingKind::Integer},
    {"splash.line1.colour", SettingKind::Colour},
    {"splash.line1.extra1", SettingKind::Integer},
    {"splash.line1.extra2", SettingKind::Integer},
    {"splash.line1.font", SettingKind::Text},
    {"splash.line2.text", SettingKind::Text},
    {"splash.line2.x", SettingKind::Integer},
    {"splash.line2.y", SettingKind::Integer},
    {"splash.line2.colour", SettingKind::Colour},
    {"splash.line2.extra1", SettingKind::Integer},
    {"splash.line2.extra2", SettingKind::Integer},
    {"splash.line2.font", SettingKind::Text},
    {"service.dependencies", SettingKind::Dependencies},
    {"service.description", SettingKind::Description},
    {"service.stop_timeout", SettingKind::StopTimeout},
    {"version.file_version", SettingKind::VersionNumberText},
    {"version.product_version", SettingKind::VersionNumberText},
    {"version.product_name", SettingKind::VersionText},
    {"version.file_description", SettingKind::VersionText},
    {"version.company_name", SettingKind::VersionText},
    {"version.copyright", SettingKind::VersionText},
    {"version.original_filename", SettingKind::VersionText},
    {"version.internal_name", SettingKind::VersionText},
    {"service.restart", SettingKind::Word},
    {"service.restart_delay", SettingKind::Count},
    {"service.restart_max_delay", SettingKind::Count},
    {"service.restart_reset_after", SettingKind::Count},
    {"service.restart_limit", SettingKind::Count},
    {"service.on_failure", SettingKind::Recovery},
    {"service.failure_reset_after", SettingKind::Count},
    {"service.start", SettingKind::Word},
    {"service.account", SettingKind::Account},
    {"service.log", SettingKind::ServiceLog},
    {"service.log_max_size", SettingKind::Size},
    {"service.log_keep", SettingKind::Count},
    {"build.stub", SettingKind::BuildStub},
    {"build.arch", SettingKind::BuildArch},
    {"build.default_translations", SettingKind::BuildTranslations},
};

// Top-level names read by their own functions rather than the rule table.
const char* const kStructuredSections[] = {"classpath", "version_options", "files", "messages", "keys"};

const Rule* findRule(const std::string& path) {
    for (const Rule& rule : kRules)
        if (path == rule.path) return &rule;
    return nullptr;
}

bool hasRulesUnder(const std::string& prefix) {
    for (const Rule& rule : kRules)
        if (std::string(rule.path).compare(0, prefix.size() + 1, prefix + ".") == 0) return true;
    return false;
}

std::string lastPart(const std::string& path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

std::string parentPart(const std::string& path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(0, dot);
}

std::string sectionLabel(const std::string& prefix) { return prefix.empty() ? "at the top level" : "in [" + prefix + "]"; }

void reportUnknown(ProjectContext& ctx, const toml::key& key, const std::string& prefix) {
    std::string name(key.str());
    std::string message = "unknown setting '" + name + "' " + sectionLabel(prefix);
    // Names that may stand where this one stands, and a section where a
    // setting of exactly this name exists.
    std::vector<std::string> siblings;
    std::string elsewhere;
    if (prefix.empty())
        for (const char* section : kStructuredSections) siblings.push_back(section);
    for (const Rule& rule : kRules) {
        std::string path = rule.path;
        if (prefix.empty() || path.compare(0, prefix.size() + 1, prefix + ".") == 0) {
            std::string rest = prefix.empty() ? path : path.substr(prefix.size() + 1);
            std::string next = rest.substr(0, rest.find('.'));
            if (std::find(siblings.begin(), siblings.end(), next) == siblings.end()) siblings.push_back(next);
        }
        if (lastPart(path) == name && parentPart(path) != prefix) elsewhere = parentPart(path);
    }
    std::string close = closestName(name, siblings);
    bool structured = false;
    for (const char* section : kStructuredSections) structured = structured || name == section;
    if (structured && !prefix.empty()) {
        message += "; " + name + " is a top-level section: write [" + name + "] or [[" + name +
                   "]] before any other table";
    } else if (!elsewhere.empty()) {
        message += "; '" + name + "' belongs in [" + elsewhere + "]";
    } else if (!close.empty()) {
        message += "; did you mean '" + close + "'?";
    } else if (!siblings.empty()) {
        message += "; known names there: ";
        for (size_t i = 0; i < siblings.size(); ++i) message += (i ? ", " : "") + siblings[i];
    }
    ctx.error(key.source(), message);
}

void walkTable(ProjectContext& ctx, const toml::table& table, const std::string& prefix) {
    for (auto&& [key, node] : table) {
        std::string path = prefix.empty() ? std::string(key.str()) : prefix + "." + std::string(key.str());
        if (const Rule* rule = findRule(path)) {
            applySetting(ctx, rule->kind, node, path);
        } else if (hasRulesUnder(path)) {
            if (const auto* sub = node.as_table())
                walkTable(ctx, *sub, path);
            else
                ctx.error(node, path + " must be a table ([" + path + "]), not " + describeValue(node));
        } else {
            reportUnknown(ctx, key, prefix);
        }
    }
}

void walkTopLevel(ProjectContext& ctx, const toml::table& root) {
    for (auto&& [key, node] : root) {
        std::string name(key.str());
        if (name == "classpath") readClassPath(ctx, node);
        else if (name == "version_options") readVersionOptions(ctx, node);
        else if (name == "files") readEmbeddedFiles(ctx, node);
        else if (name == "messages") readMessages(ctx, node);
        else if (name == "keys") readRawKeys(ctx, node);
        else if (hasRulesUnder(name) && !node.is_table())
            ctx.error(node, "'" + name + "' must be a table ([" + name + "]), not " + describeValue(node));
        else if (hasRulesUnder(name))
            walkTable(ctx, *node.as_table(), name);
        else
            reportUnknown(ctx, key, "");
    }
    // Settings that only mean something beside another one.
    const struct {
        int key, needs;
        const char *path, *needed;
    } companions[] = {
        {key::ServiceFailureResetAfter, key::ServiceOnFailure, "service.failure_reset_after", "service.on_failure"},
        {key::RedirectMaxSize, 0, "redirect.max_size", "redirect.stdout or redirect.stderr"},
        {key::RedirectKeep, key::RedirectMaxSize, "redirect.keep", "redirect.max_size"},
        {key::ServiceLogKeep, key::ServiceLogMaxSize, "service.log_keep", "service.log_max_size"},
    };
    for (const auto& c : companions) {
        bool present = c.needs ? ctx.settings.count(c.needs) > 0
                               : ctx.settings.count(key::RedirectOutFile) + ctx.settings.count(key::RedirectErrFile) > 0;
        if (!ctx.settings.count(c.key) || present) continue;
        const toml::node* where = root.at_path(c.path).node();
        ctx.error(where ? where->source() : toml::source_region{},
                  std::string(c.path) + " has no effect without " + c.needed + "; add it or remove this setting");
    }
    auto log = ctx.settings.find(key::ServiceLog);
    if (log != ctx.settings.end() && serviceLogDisabled(log->second.c_str()) &&
        ctx.settings.count(key::ServiceLogMaxSize)) {
        const toml::node* where = root.at_path("service.log_max_size").node();
        ctx.error(where ? where->source() : toml::source_region{},
                  "service.log_max_size has no effect with service.log = \"none\"; remove one of them");
    }
    auto min = ctx.settings.find(key::MinVersion), max = ctx.settings.find(key::MaxVersion);
    if (min != ctx.settings.end() && max != ctx.settings.end() && !versionBoundsCompatible(min->second, max->second)) {
        const toml::node* where = root.at_path("jvm.max_version").node();
        ctx.error(where ? where->source() : toml::source_region{},
                  "jvm.min_version " + min->second + " lies above jvm.max_version " + max->second +
                      ", so no runtime can match; correct one of them");
    }
}

}  // namespace

void ProjectContext::error(const toml::source_region& where, const std::string& message) {
    diagnostics->push_back(
        {displayName, static_cast<int>(where.begin.line), static_cast<int>(where.begin.column), message});
}

void ProjectContext::setEnglish(int id, const std::u16string& text, const toml::node& where) {
    auto earlier = englishGiven.find(id);
    if (earlier == englishGiven.end()) {
        english[id] = text;
        englishGiven[id] = where.source();
        return;
    }
    toml::source_region first = earlier->second, second = where.source();
    if (second.begin.line < first.begin.line) std::swap(first, second);
    error(second, "message " + std::to_string(id) + " (" + findMessage(id)->name + ") is already given on line " +
                      std::to_string(first.begin.line) + "; keep one");
}

std::string formatDiagnostic(const Diagnostic& d) {
    std::ostringstream out;
    out << d.file;
    if (d.line > 0) out << ':' << d.line << ':' << d.column;
    out << ": error: " << d.message;
    return out.str();
}

bool parseProjectText(const std::string& text, const std::string& displayName, const std::filesystem::path& baseDir,
                      const ProjectOptions& options, Project* project, std::vector<Diagnostic>* diagnostics) {
    size_t before = diagnostics->size();
    ProjectContext ctx;
    ctx.displayName = displayName;
    ctx.baseDir = baseDir;
    ctx.diagnostics = diagnostics;
    toml::table root;
    try {
        root = toml::parse(text, displayName);
    } catch (const toml::parse_error& e) {
        ctx.error(e.source(), std::string(e.description()) + " (this is not valid TOML)");
        return false;
    }
    walkTopLevel(ctx, root);
    // Problems are found section by section; report them in file order.
    std::stable_sort(diagnostics->begin() + static_cast<std::ptrdiff_t>(before), diagnostics->end(),
                     [](const Diagnostic& a, const Diagnostic& b) {
                         return a.line != b.line ? a.line < b.line : a.column < b.column;
                     });
    if (diagnostics->size() != before) return false;
    assembleProject(ctx, options, project);
    return true;
}

bool loadProjectFile(const std::filesystem::path& file, const ProjectOptions& options, Project* project,
                     std::vector<Diagnostic>* diagnostics) {
    std::string display = file.u8string();
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        diagnostics->push_back({display, 0, 0, "cannot open the project file (does it exist?)"});
        return false;
    }
    std::stringstream content;
    content << in.rdbuf();
    std::error_code ec;
    std::filesystem::path base = std::filesystem::absolute(file, ec).parent_path();
    return parseProjectText(content.str(), display, base, options, project, diagnostics);
}
