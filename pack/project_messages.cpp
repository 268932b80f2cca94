// The message texts of a project file ([messages] and its language
// sections) and the raw [keys] table.
#include <algorithm>
#include <climits>

#include "config/catalogue.h"
#include "config/keys.h"
#include "pack/encode.h"
#include "pack/project_internal.h"
#include "pack/text_codec.h"
#include "pack/value_limits.h"

namespace {

int resolveMessageId(ProjectContext& ctx, const toml::key& key) {
    std::string name(key.str());
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        int id = name.size() <= 9 ? std::stoi(name) : -1;
        if (findMessage(id)) return id;
        ctx.error(key.source(), "unknown message id " + name + "; the launcher uses the ids 1000 to 1020 and 20017");
        return -1;
    }
    if (const MessageInfo* info = findMessageByName(name.c_str())) return info->id;
    size_t count = 0;
    const MessageInfo* messages = messageCatalogue(&count);
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) names.push_back(messages[i].name);
    std::string close = closestName(name, names);
    ctx.error(key.source(), "unknown message '" + name + "'" +
                                (close.empty() ? "; name it by id (such as 1016) or by name (such as no_jvm_found)"
                                               : "; did you mean '" + close + "'?"));
    return -1;
}

bool messageText(ProjectContext& ctx, const toml::node& node, const std::string& label, std::u16string* text) {
    std::string utf8;
    CodecProblem problem;
    if (!readString(ctx, node, label, &utf8)) return false;
    if (!utf8ToUtf16(utf8, text, &problem)) {
        ctx.error(node, label + " is not valid UTF-8");
        return false;
    }
    if (text->find(u'\0') != std::u16string::npos) {
        ctx.error(node, label + " contains a NUL character, which would end the text early; remove it");
        return false;
    }
    if (text->size() > static_cast<size_t>(limit::MessageText)) {
        ctx.error(node, label + " is " + std::to_string(text->size()) + " characters long; the launcher shows at most " +
                            std::to_string(limit::MessageText));
        return false;
    }
    return true;
}

void readMessageTable(ProjectContext& ctx, const toml::table& table, const std::string& code) {
    for (auto&& [key, node] : table) {
        std::string label = (code.empty() ? "messages." : "messages." + code + ".") + std::string(key.str());
        if (node.is_table()) {
            // Language sections of [messages] are read by the caller.
            if (!code.empty()) ctx.error(key.source(), label + ": language sections do not nest");
            continue;
        }
        int id = resolveMessageId(ctx, key);
        std::u16string text;
        if (id < 0 || !messageText(ctx, node, label, &text)) continue;
        if (!code.empty()) {
            if (!ctx.locales[code].emplace(id, text).second)
                ctx.error(node, label + ": message " + std::to_string(id) + " is given twice in this section; keep one");
        } else {
            ctx.setEnglish(id, text, node);
        }
    }
}

}  // namespace

void readMessages(ProjectContext& ctx, const toml::node& node) {
    const auto* table = node.as_table();
    if (!table) {
        ctx.error(node, "messages must be a table ([messages]), not " + describeValue(node));
        return;
    }
    readMessageTable(ctx, *table, "");
    for (auto&& [key, value] : *table) {
        if (const auto* section = value.as_table()) {
            std::string code(key.str()), error;
            if (!checkLocaleCode(code, &error)) {
                ctx.error(key.source(), "[messages." + code + "]: " + error);
                continue;
            }
            readMessageTable(ctx, *section, code);
        }
    }
}

void readRawKeys(ProjectContext& ctx, const toml::node& node) {
    const auto* table = node.as_table();
    if (!table) {
        ctx.error(node, "keys must be a table ([keys]), not " + describeValue(node));
        return;
    }
    for (auto&& [key, value] : *table) {
        std::string name(key.str()), label = "keys." + name, ansi;
        long long number = 0;
        bool numeric = !name.empty() && name.size() <= 11 &&
                       name.find_first_not_of("0123456789", name[0] == '-' ? 1 : 0) == std::string::npos &&
                       name != "-";
        if (numeric) number = std::stoll(name);
        if (!numeric || number < INT_MIN || number > INT_MAX) {
            ctx.error(key.source(), "'" + name + "' is not a key number; write raw keys as \"141\" = \"value\"");
            continue;
        }
        if (number == key::EmbeddedFileCount || number == key::EmbeddedFileNames) {
            ctx.error(key.source(), "key " + name + " lists the embedded files; add files with [[files]] instead");
            continue;
        }
        if (const auto* s = value.as_string()) {
            if (!toAnsiText(ctx, value, label, s->get(), &ansi)) continue;
        } else if (const auto* i = value.as_integer()) {
            ansi = std::to_string(i->get());
        } else if (const auto* b = value.as_boolean()) {
            ansi = b->get() ? "1" : "0";
        } else {
            ctx.error(value, label + " must be a string, an integer or true/false, not " + describeValue(value));
            continue;
        }
        storeSetting(ctx, value, label, static_cast<int>(number), ansi, true);
    }
}
