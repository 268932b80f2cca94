// The readable settings of a project file: how each kind of value is
// checked and which key it is stored under.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "config/catalogue.h"
#include "config/keys.h"
#include "pack/encode.h"
#include "pack/project_internal.h"
#include "pack/text_codec.h"
#include "pack/value_limits.h"
#include "service/install.h"

namespace {

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
    if (ansi.find_first_of("/\\") != std::string::npos || ansi.size() > static_cast<size_t>(limit::ServiceName)) {
        ctx.error(node, path + " must not contain / or \\ and may have at most " + std::to_string(limit::ServiceName) +
                            " characters (Windows service names)");
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
    ctx.setEnglish(msg::ServiceDescription, text, node);
}

// "auto": the launcher manages class-data sharing archives; "off" (the
// default) leaves the VM as it is.
void readClassDataSharing(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string value;
    if (!readString(ctx, node, path, &value)) return;
    if (value == "auto") storeSetting(ctx, node, path, keyOf(path), "1");
    else if (value == "off") storeSetting(ctx, node, path, keyOf(path), "0");
    else ctx.error(node, path + " must be \"off\" or \"auto\", not \"" + value + "\"");
}

// The words a Word setting takes.
void readWord(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    static const struct {
        const char* path;
        std::vector<std::string> words;
    } choices[] = {
        {"service.restart", {"never", "on-failure", "always"}},
        {"service.start", {"auto", "delayed-auto", "demand"}},
    };
    std::string value;
    if (!readString(ctx, node, path, &value)) return;
    for (const auto& choice : choices) {
        if (path != choice.path) continue;
        if (std::find(choice.words.begin(), choice.words.end(), value) != choice.words.end()) {
            storeSetting(ctx, node, path, keyOf(path), value);
            return;
        }
        std::string list, close = closestName(value, choice.words);
        for (const std::string& word : choice.words) list += (list.empty() ? "\"" : ", \"") + word + "\"";
        ctx.error(node, path + " \"" + value + "\" is unknown; " +
                            (close.empty() ? "use " + list : "did you mean \"" + close + "\"?"));
        return;
    }
}

// The range a Count setting allows.
void readCount(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    static const struct {
        const char* path;
        long long min, max;
    } ranges[] = {
        {"service.restart_delay", 0, limit::RestartDelayMax},
        {"service.restart_max_delay", 0, limit::RestartDelayMax},
        {"service.restart_reset_after", 0, INT32_MAX},
        {"service.restart_limit", 0, limit::RestartLimitMax},
        {"service.failure_reset_after", 0, INT32_MAX},
        {"service.log_keep", 0, limit::KeepMax},
        {"redirect.keep", 0, limit::KeepMax},
    };
    int number = 0;
    for (const auto& range : ranges)
        if (path == range.path && readInt32(ctx, node, path, range.min, range.max, &number))
            storeSetting(ctx, node, path, keyOf(path), std::to_string(number));
}

void readSize(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    unsigned long long bytes = 0;
    std::string error;
    if (const auto* number = node.as_integer()) {
        if (number->get() < 0 || !checkSizeBytes(static_cast<unsigned long long>(number->get()), &error)) {
            ctx.error(node, path + " " + (error.empty() ? "must not be negative" : error));
            return;
        }
        bytes = static_cast<unsigned long long>(number->get());
    } else if (const auto* text = node.as_string()) {
        if (!parseSizeText(text->get(), &bytes, &error)) {
            ctx.error(node, path + ": " + error);
            return;
        }
    } else {
        ctx.error(node, path + " must be a size such as \"10 MB\" or a number of bytes, not " + describeValue(node));
        return;
    }
    storeSetting(ctx, node, path, keyOf(path), std::to_string(bytes));
}

void readRecovery(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::vector<std::string> items;
    if (!readTextList(ctx, node, path, &items)) return;
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ";") + item;
    std::vector<ScmAction> actions;
    std::string problem;
    if (!parseRecoveryActions(joined, &actions, &problem)) {
        ctx.error(node, problem);
        return;
    }
    if (actions.empty()) {
        ctx.error(node, path + " names no action; leave the setting out for none");
        return;
    }
    storeSetting(ctx, node, path, keyOf(path), recoveryActionsText(actions));
}

void readAccount(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string utf8, ansi;
    if (!readString(ctx, node, path, &utf8) || !toAnsiText(ctx, node, path, utf8, &ansi)) return;
    if (!serviceAccountAccepted(ansi)) {
        ctx.error(node, path + " \"" + utf8 +
                            "\" is not LocalSystem, NT AUTHORITY\\LocalService, NT AUTHORITY\\NetworkService or "
                            "NT SERVICE\\<name>; a user account is given with its password when installing: "
                            "/install --user NAME --password-file FILE");
        return;
    }
    storeSetting(ctx, node, path, keyOf(path), ansi);
}

void readServiceLog(ProjectContext& ctx, const toml::node& node, const std::string& path) {
    std::string utf8, ansi;
    if (!readString(ctx, node, path, &utf8)) return;
    if (utf8.empty()) {
        ctx.error(node, path + " is empty; write \"none\" to discard the application's output, or leave the "
                               "setting out for the default file beside the executable");
        return;
    }
    if (toAnsiText(ctx, node, path, utf8, &ansi)) storeSetting(ctx, node, path, keyOf(path), ansi);
}

void readBuild(ProjectContext& ctx, SettingKind kind, const toml::node& node, const std::string& path) {
    std::string value;
    if (kind == SettingKind::BuildTranslations) {
        bool on = true;
        if (readBool(ctx, node, path, &on)) ctx.defaultTranslations = on;
    } else if (kind == SettingKind::BuildStub) {
        if (readString(ctx, node, path, &value)) ctx.stub = ctx.baseDir / std::filesystem::u8path(value);
    } else if (readString(ctx, node, path, &value)) {
        if (value != "i686" && value != "x86_64")
            ctx.error(node, path + " must be \"i686\" or \"x86_64\", not \"" + value + "\"");
        else
            ctx.arch = value;
    }
}

}  // namespace

void applySetting(ProjectContext& ctx, SettingKind kind, const toml::node& node, const std::string& path) {
    bool on = false;
    int number = 0;
    switch (kind) {
    case SettingKind::Text: readTextSetting(ctx, node, path); break;
    case SettingKind::ServiceName: readServiceName(ctx, node, path); break;
    case SettingKind::Flag:
        if (readBool(ctx, node, path, &on)) storeSetting(ctx, node, path, keyOf(path), on ? "1" : "0");
        break;
    case SettingKind::Integer:
        if (readInt32(ctx, node, path, INT32_MIN, INT32_MAX, &number))
            storeSetting(ctx, node, path, keyOf(path), std::to_string(number));
        break;
    case SettingKind::StopTimeout:
        // The launcher waits this many seconds for the application to end
        // after a service stop before it ends it by force.
        if (readInt32(ctx, node, path, limit::StopTimeoutMin, limit::StopTimeoutMax, &number))
            storeSetting(ctx, node, path, keyOf(path), std::to_string(number));
        break;
    case SettingKind::ClassDataSharing: readClassDataSharing(ctx, node, path); break;
    case SettingKind::Word: readWord(ctx, node, path); break;
    case SettingKind::Count: readCount(ctx, node, path); break;
    case SettingKind::Size: readSize(ctx, node, path); break;
    case SettingKind::Recovery: readRecovery(ctx, node, path); break;
    case SettingKind::Account: readAccount(ctx, node, path); break;
    case SettingKind::ServiceLog: readServiceLog(ctx, node, path); break;
    case SettingKind::Family: readFamily(ctx, node, path); break;
    case SettingKind::ExecutableType: readExecutableType(ctx, node, path); break;
    case SettingKind::CommandLine: readCommandLine(ctx, node, path); break;
    case SettingKind::PathList: readJoinedList(ctx, node, path, ';'); break;
    case SettingKind::Dependencies: readJoinedList(ctx, node, path, ','); break;
    case SettingKind::Version: readVersion(ctx, node, path); break;
    case SettingKind::Redirect: readRedirect(ctx, node, path); break;
    case SettingKind::Colour: readColour(ctx, node, path); break;
    case SettingKind::Search: readSearchSequence(ctx, node); break;
    case SettingKind::Description: readDescription(ctx, node, path); break;
    case SettingKind::BuildStub:
    case SettingKind::BuildArch:
    case SettingKind::BuildTranslations: readBuild(ctx, kind, node, path); break;
    case SettingKind::Windowed:
    case SettingKind::Icon:
    case SettingKind::ExecutionLevel:
    case SettingKind::VersionNumberText:
    case SettingKind::VersionText: readResourceSetting(ctx, kind, node, path); break;
    }
}
