#include "pack/project.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "config/catalogue.h"
#include "pack/encode.h"
#include "pack/project_internal.h"
#include "pack/text_codec.h"
#include "pack/translations.h"

namespace {

enum class Kind {
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
    BuildStub,
    BuildArch,
    BuildTranslations,
};

struct Rule {
    const char* path;  // the catalogue name of the key it sets, where there is one
    Kind kind;
};

const Rule kRules[] = {
    {"application.family", Kind::Family},
    {"application.service_name", Kind::ServiceName},
    {"application.main_class", Kind::Text},
    {"application.executable_type", Kind::ExecutableType},
    {"application.working_directory", Kind::Text},
    {"application.app_dir", Kind::Text},
    {"application.vm_options", Kind::CommandLine},
    {"application.arguments", Kind::CommandLine},
    {"application.java_args_as_vm_options", Kind::Flag},
    {"application.native_library_dirs", Kind::PathList},
    {"application.single_instance", Kind::Flag},
    {"application.bring_to_front", Kind::Flag},
    {"application.global_semaphore", Kind::Flag},
    {"application.application_id", Kind::Text},
    {"jvm.min_version", Kind::Version},
    {"jvm.max_version", Kind::Version},
    {"jvm.search", Kind::Search},
    {"jvm.preferred_vm_type", Kind::Text},
    {"jvm.allow_prerelease", Kind::Flag},
    {"jvm.require_jdk", Kind::Flag},
    {"jvm.only_own_runtimes", Kind::Flag},
    {"redirect.stderr", Kind::Redirect},
    {"redirect.stdout", Kind::Redirect},
    {"redirect.runtime_flag", Kind::Flag},
    {"splash.enabled", Kind::Flag},
    {"splash.text_settings", Kind::Flag},
    {"splash.secondary_flag", Kind::Flag},
    {"splash.line1.text", Kind::Text},
    {"splash.line1.x", Kind::Integer},
    {"splash.line1.y", Kind::Integer},
    {"splash.line1.colour", Kind::Colour},
    {"splash.line1.extra1", Kind::Integer},
    {"splash.line1.extra2", Kind::Integer},
    {"splash.line1.font", Kind::Text},
    {"splash.line2.text", Kind::Text},
    {"splash.line2.x", Kind::Integer},
    {"splash.line2.y", Kind::Integer},
    {"splash.line2.colour", Kind::Colour},
    {"splash.line2.extra1", Kind::Integer},
    {"splash.line2.extra2", Kind::Integer},
    {"splash.line2.font", Kind::Text},
    {"service.dependencies", Kind::Dependencies},
    {"service.description", Kind::Description},
    {"service.stop_timeout", Kind::StopTimeout},
    {"build.stub", Kind::BuildStub},
    {"build.arch", Kind::BuildArch},
    {"build.default_translations", Kind::BuildTranslations},
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

int keyOf(const std::string& path) {
    const ConfigKeyInfo* info = findConfigKeyByName(path.c_str());
    return info ? info->key : 0;
}

void readTextSetting(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string utf8, ansi;
    if (readString(ctx, node, path, &utf8) && toAnsiText(ctx, node, path, utf8, &ansi))
        storeSetting(ctx, node, path, keyOf(path), ansi);
}

// The Service Control Manager refuses slashes in service names and names
// longer than 256 characters; better to hear it now than at "install".
void readServiceName(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string utf8, ansi;
    if (!readString(ctx, node, path, &utf8) || !toAnsiText(ctx, node, path, utf8, &ansi)) return;
    if (ansi.find_first_of("/\\") != std::string::npos || ansi.size() > 256) {
        ctx.error(node, path + " must not contain / or \\ and may have at most 256 characters (Windows service names)");
        return;
    }
    storeSetting(ctx, node, path, keyOf(path), ansi);
}

void readFamily(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string value;
    if (!readString(ctx, node, path, &value)) return;
    if (value != "v" && value != "m") {
        ctx.error(node, path + " must be \"v\" (vantrel family) or \"m\" (morlin family), not \"" + value + "\"");
        return;
    }
    storeSetting(ctx, node, path, keyOf(path), value);
}

void readExecutableType(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    static const struct {
        const char* name;
        int value;
    } names[] = {{"console", 0}, {"gui", 1}, {"service", 4}};
    int value = -1;
    if (const auto* text = node.as_string()) {
        for (const auto& n : names)
            if (text->get() == n.name) value = n.value;
        if (value < 0) {
            ctx.error(node, path + " \"" + text->get() + "\" is unknown; use \"console\", \"gui\", \"service\" or a number 0 to 9");
            return;
        }
    } else if (node.is_integer()) {
        if (!readInt32(ctx, node, path, 0, 9, &value)) return;
    } else {
        ctx.error(node, path + " must be \"console\", \"gui\", \"service\" or a number 0 to 9, not " + describeValue(node));
        return;
    }
    storeSetting(ctx, node, path, keyOf(path), std::to_string(value));
}

void readCommandLine(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string ansi;
    if (encodeCommandLine(ctx, node, path, &ansi)) storeSetting(ctx, node, path, keyOf(path), ansi);
}

void readJoinedList(ProjectContext& ctx, const toml::node& node, const std::string& path, char separator) {
    std::vector<std::string> items;
    if (!readTextList(ctx, node, path, &items)) return;
    std::string joined, error;
    if (node.is_array()) {
        for (const std::string& item : items) {
            if (!checkListItem(item, separator, &error)) {
                ctx.error(node, path + ": " + error);
                return;
            }
            joined += (joined.empty() ? "" : std::string(1, separator)) + item;
        }
    } else if (!items.empty()) {
        joined = items[0];
    }
    storeSetting(ctx, node, path, keyOf(path), joined);
}

void readVersion(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string value, error;
    if (!readString(ctx, node, path, &value)) return;
    if (!checkVersionText(value, &error)) {
        ctx.error(node, path + ": " + error);
        return;
    }
    storeSetting(ctx, node, path, keyOf(path), value);
}

void readRedirect(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string utf8, ansi;
    if (!readString(ctx, node, path, &utf8)) return;
    if (utf8.empty()) {
        ctx.error(node, path + " is empty; leave the setting out to keep the stream where it is");
        return;
    }
    if (!toAnsiText(ctx, node, path, utf8, &ansi)) return;
    if (storeSetting(ctx, node, path, keyOf(path), ansi)) storeSetting(ctx, node, path, keyOf(path + "_enabled"), "1");
}

bool colourPart(const std::string& text, int* value) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = std::stoi(text);
    return *value <= 255;
}

void readColour(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    const char* hint = " must be \"red,green,blue\" (e.g. \"0,0,0\") or [red, green, blue], each 0 to 255";
    int parts[3] = {0, 0, 0};
    if (const auto* text = node.as_string()) {
        std::string rest = text->get();
        for (int i = 0; i < 3; ++i) {
            size_t comma = i < 2 ? rest.find(',') : rest.size();
            if (comma == std::string::npos || !colourPart(rest.substr(0, comma), &parts[i])) {
                ctx.error(node, path + hint);
                return;
            }
            rest = i < 2 ? rest.substr(comma + 1) : std::string();
        }
    } else if (const auto* array = node.as_array()) {
        if (array->size() != 3) {
            ctx.error(node, path + hint);
            return;
        }
        for (int i = 0; i < 3; ++i)
            if (!readInt32(ctx, *array->get(static_cast<size_t>(i)), path, 0, 255, &parts[i])) return;
    } else {
        ctx.error(node, path + hint);
        return;
    }
    std::string value = std::to_string(parts[0]) + "," + std::to_string(parts[1]) + "," + std::to_string(parts[2]);
    storeSetting(ctx, node, path, keyOf(path), value);
}

void readDescription(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string utf8;
    std::u16string text;
    CodecProblem problem;
    if (!readString(ctx, node, path, &utf8)) return;
    if (!utf8ToUtf16(utf8, &text, &problem)) {
        ctx.error(node, path + " is not valid UTF-8");
        return;
    }
    ctx.setEnglish(20017, text, node);
}

void readBuild(ProjectContext& ctx, const Rule& rule, const toml::node& node, const std::string& path) {
    std::string value;
    if (rule.kind == Kind::BuildTranslations) {
        bool on = true;
        if (readBool(ctx, node, path, &on)) ctx.defaultTranslations = on;
    } else if (rule.kind == Kind::BuildStub) {
        if (readString(ctx, node, path, &value)) ctx.stub = ctx.baseDir / std::filesystem::u8path(value);
    } else if (readString(ctx, node, path, &value)) {
        if (value != "i686" && value != "x86_64")
            ctx.error(node, path + " must be \"i686\" or \"x86_64\", not \"" + value + "\"");
        else
            ctx.arch = value;
    }
}

void applyRule(ProjectContext& ctx, const Rule& rule, const toml::node& node, const std::string& path) {
    bool on = false;
    int number = 0;
    switch (rule.kind) {
    case Kind::Text: readTextSetting(ctx, node, path); break;
    case Kind::ServiceName: readServiceName(ctx, node, path); break;
    case Kind::Flag:
        if (readBool(ctx, node, path, &on)) storeSetting(ctx, node, path, keyOf(path), on ? "1" : "0");
        break;
    case Kind::Integer:
        if (readInt32(ctx, node, path, INT32_MIN, INT32_MAX, &number))
            storeSetting(ctx, node, path, keyOf(path), std::to_string(number));
        break;
    case Kind::StopTimeout:
        // The launcher waits this many seconds for the application to end
        // after a service stop before it ends it by force.
        if (readInt32(ctx, node, path, 1, 86400, &number))
            storeSetting(ctx, node, path, keyOf(path), std::to_string(number));
        break;
    case Kind::Family: readFamily(ctx, node, path); break;
    case Kind::ExecutableType: readExecutableType(ctx, node, path); break;
    case Kind::CommandLine: readCommandLine(ctx, node, path); break;
    case Kind::PathList: readJoinedList(ctx, node, path, ';'); break;
    case Kind::Dependencies: readJoinedList(ctx, node, path, ','); break;
    case Kind::Version: readVersion(ctx, node, path); break;
    case Kind::Redirect: readRedirect(ctx, node, path); break;
    case Kind::Colour: readColour(ctx, node, path); break;
    case Kind::Search: readSearchSequence(ctx, node); break;
    case Kind::Description: readDescription(ctx, node, path); break;
    case Kind::BuildStub:
    case Kind::BuildArch:
    case Kind::BuildTranslations: readBuild(ctx, rule, node, path); break;
    }
}

void walkTable(ProjectContext& ctx, const toml::table& table, const std::string& prefix) {
    for (auto&& [key, node] : table) {
        std::string path = prefix.empty() ? std::string(key.str()) : prefix + "." + std::string(key.str());
        if (const Rule* rule = findRule(path)) {
            applyRule(ctx, *rule, node, path);
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
    auto min = ctx.settings.find(126), max = ctx.settings.find(127);
    if (min != ctx.settings.end() && max != ctx.settings.end() && !versionBoundsCompatible(min->second, max->second)) {
        const toml::node* where = root.at_path("jvm.max_version").node();
        ctx.error(where ? where->source() : toml::source_region{},
                  "jvm.min_version " + min->second + " lies above jvm.max_version " + max->second +
                      ", so no runtime can match; correct one of them");
    }
}

std::vector<MessageRecord> englishMessages(const ProjectContext& ctx) {
    std::vector<MessageRecord> out;
    size_t count = 0;
    const MessageInfo* messages = messageCatalogue(&count);
    for (size_t i = 0; i < count; ++i) {
        auto override = ctx.english.find(messages[i].id);
        out.push_back({messages[i].id, override != ctx.english.end() ? override->second
                                                                      : wideToUtf16(messages[i].englishText)});
    }
    return out;
}

// Default translations first, then the project's texts for the same code.
// A message that the project rewrote in English loses its default
// translations: they would no longer say what the project's text says.
std::vector<LanguageSection> languageSections(const ProjectContext& ctx, bool withDefaults) {
    std::map<std::string, std::map<int, std::u16string>> merged;
    if (withDefaults) {
        size_t sets = 0;
        const TranslationSet* defaults = defaultTranslations(&sets);
        for (size_t s = 0; s < sets; ++s) {
            auto& section = merged[defaults[s].code];
            for (size_t i = 0; i < defaults[s].count; ++i)
                if (!ctx.english.count(defaults[s].texts[i].id))
                    section[defaults[s].texts[i].id] = wideToUtf16(defaults[s].texts[i].text);
        }
    }
    for (const auto& [code, texts] : ctx.locales)
        for (const auto& [id, text] : texts) merged[code][id] = text;
    std::vector<LanguageSection> out;
    for (const auto& [code, texts] : merged) {
        if (texts.empty()) continue;
        LanguageSection section{code, {}};
        for (const auto& [id, text] : texts) section.messages.push_back({id, text});
        out.push_back(section);
    }
    // A later matching section overrides an earlier one, so "de" must come
    // before "de_CH": shorter codes first.
    std::stable_sort(out.begin(), out.end(), [](const LanguageSection& a, const LanguageSection& b) {
        return a.code.size() < b.code.size();
    });
    return out;
}

void assemble(const ProjectContext& ctx, const ProjectOptions& options, Project* project) {
    std::map<int, std::string> config = ctx.settings;
    for (const auto& [key, value] : ctx.rawKeys) config[key] = value;
    if (!config.count(2001)) config[2001] = "v";
    if (!ctx.files.empty()) {
        std::string names;
        for (const auto& file : ctx.files) names += (names.empty() ? "" : ";") + file.name;
        config[2002] = std::to_string(ctx.files.size());
        config[2003] = names;
    }
    project->block = BlockPlan();
    for (const auto& [key, value] : config) project->block.config.emplace_back(key, value);
    project->block.messages = englishMessages(ctx);
    project->block.sections = languageSections(ctx, options.defaultTranslations && ctx.defaultTranslations);
    project->block.files = ctx.files;
    project->stub = ctx.stub;
    project->arch = ctx.arch;
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
    assemble(ctx, options, project);
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
