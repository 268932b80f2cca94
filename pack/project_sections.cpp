// The structured parts of a project file: class path, search sequence,
// version-specific options, embedded files, messages and raw keys, and the
// value readers they share with the simple settings.
#include <algorithm>
#include <cctype>
#include <climits>
#include <system_error>

#include "config/catalogue.h"
#include "config/keys.h"
#include "pack/encode.h"
#include "pack/project_internal.h"
#include "pack/text_codec.h"

namespace {

std::string numbered(const std::string& what, size_t index) { return what + " " + std::to_string(index + 1); }

// The UTF-8 bytes of the character starting at `offset`.
std::string characterAt(const std::string& utf8, size_t offset) {
    size_t end = offset + 1;
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
    return utf8.substr(offset, end - offset);
}

const toml::table* requireTable(ProjectContext& ctx, const toml::node& node, const std::string& label) {
    const toml::table* table = node.as_table();
    if (!table) ctx.error(node, label + " must be a table such as { type = \"...\", ... }, not " + describeValue(node));
    return table;
}

// A string field that an entry table must have.
bool stringField(ProjectContext& ctx, const toml::table& table, const char* field, const std::string& label,
                 std::string* out) {
    const toml::node* node = table.get(field);
    if (!node) {
        ctx.error(table, label + " needs '" + field + "'");
        return false;
    }
    return readString(ctx, *node, label + "." + field, out);
}

// Reads the one name field an entry type takes ("path", "var" or "dir") and
// refuses the fields of the other types.
bool typedName(ProjectContext& ctx, const toml::table& table, const std::string& label, const std::string& type,
               const char* field, const std::vector<std::string>& otherFields, std::string* ansi) {
    for (const std::string& other : otherFields) {
        if (other != field && table.get(other)) {
            ctx.error(*table.get(other), label + ": entries of type \"" + type + "\" take '" + field + "', not '" +
                                             other + "'");
            return false;
        }
    }
    std::string utf8;
    if (!stringField(ctx, table, field, label, &utf8)) return false;
    return toAnsiText(ctx, *table.get(field), label + "." + field, utf8, ansi);
}

// Splits a raw ";"-separated sequence; empty items are skipped as the
// launcher skips them.
std::vector<std::string> splitRaw(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

bool rawClassPathItem(ProjectContext& ctx, const toml::node& where, const std::string& utf8, size_t index,
                      std::string* entry) {
    std::string label = numbered("class path entry", index), error;
    if (!toAnsiText(ctx, where, label, utf8, entry)) return false;
    if (!checkRawClassPathEntry(*entry, &error)) {
        ctx.error(where, label + ": " + error);
        return false;
    }
    return true;
}

bool classPathItem(ProjectContext& ctx, const toml::node& node, size_t index, std::string* entry) {
    if (const auto* s = node.as_string()) return rawClassPathItem(ctx, node, s->get(), index, entry);
    std::string label = numbered("class path entry", index), error;
    const toml::table* table = requireTable(ctx, node, label);
    if (!table || !checkFields(ctx, *table, label, {"type", "path", "var", "dir", "mandatory"})) return false;
    std::string type, name;
    bool mandatory = false;
    if (!stringField(ctx, *table, "type", label, &type)) return false;
    if (const toml::node* m = table->get("mandatory"); m && !readBool(ctx, *m, label + ".mandatory", &mandatory))
        return false;
    if (type != "archive" && type != "directory" && type != "env" && type != "scan") {
        ctx.error(*table->get("type"), label + ": unknown type \"" + type +
                                           "\"; use \"archive\", \"directory\", \"env\" or \"scan\"");
        return false;
    }
    const char* field = type == "env" ? "var" : type == "scan" ? "dir" : "path";
    if (!typedName(ctx, *table, label, type, field, {"path", "var", "dir"}, &name)) return false;
    if (!classPathEntry(type, mandatory, name, entry, &error)) {
        ctx.error(node, label + ": " + error);
        return false;
    }
    return true;
}

bool rawSearchItem(ProjectContext& ctx, const toml::node& where, const std::string& utf8, size_t index,
                   std::string* entry) {
    std::string label = numbered("jvm.search entry", index), error;
    if (!toAnsiText(ctx, where, label, utf8, entry)) return false;
    if (!checkRawSearchEntry(*entry, &error)) {
        ctx.error(where, label + ": " + error);
        return false;
    }
    return true;
}

bool searchItem(ProjectContext& ctx, const toml::node& node, size_t index, std::string* entry) {
    if (const auto* s = node.as_string()) return rawSearchItem(ctx, node, s->get(), index, entry);
    std::string label = numbered("jvm.search entry", index), error;
    const toml::table* table = requireTable(ctx, node, label);
    if (!table || !checkFields(ctx, *table, label, {"type", "path", "var"})) return false;
    std::string type, text;
    if (!stringField(ctx, *table, "type", label, &type)) return false;
    char letter = searchTypeLetter(type);
    if (!letter) {
        ctx.error(*table->get("type"), label + ": unknown type \"" + type +
                                           "\"; use \"bundled\", \"directory\", \"relative\", \"env\", \"path\" or "
                                           "\"registry\"");
        return false;
    }
    if (letter == 'E') {
        if (!typedName(ctx, *table, label, type, "var", {"path"}, &text)) return false;
    } else if (letter == 'S' || letter == 'Y') {
        if (!checkFields(ctx, *table, label + " (type \"" + type + "\" takes no other field)", {"type"})) return false;
    } else if (!typedName(ctx, *table, label, type, "path", {"var"}, &text)) {
        return false;
    }
    if (!text.empty() && !checkListItem(text, ';', &error)) {
        ctx.error(node, label + ": " + error);
        return false;
    }
    *entry = std::string(1, letter) + text;
    return true;
}

using RawItem = bool (*)(ProjectContext&, const toml::node&, const std::string&, size_t, std::string*);
using TableItem = bool (*)(ProjectContext&, const toml::node&, size_t, std::string*);

// Reads every item of a list section, joining them with ";". A single
// string is taken as the raw sequence itself.
void readEntryList(ProjectContext& ctx, const toml::node& node, const std::string& path, int key, RawItem raw,
                   TableItem item) {
    std::string joined, entry;
    bool ok = true;
    if (const auto* text = node.as_string()) {
        std::vector<std::string> pieces = splitRaw(text->get());
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (!raw(ctx, node, pieces[i], i, &entry)) ok = false;
            else joined += (joined.empty() ? "" : ";") + entry;
        }
    } else if (const auto* array = node.as_array()) {
        for (size_t i = 0; i < array->size(); ++i) {
            if (!item(ctx, *array->get(i), i, &entry)) ok = false;
            else joined += (joined.empty() ? "" : ";") + entry;
        }
    } else {
        ctx.error(node, path + " must be a list of entries (tables or strings), not " + describeValue(node));
        return;
    }
    if (ok) storeSetting(ctx, node, path, key, joined);
}

}  // namespace

std::string describeValue(const toml::node& node) {
    switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "true/false";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time: return "a date or time";
    case toml::node_type::none: break;
    }
    return "nothing";
}

bool readString(ProjectContext& ctx, const toml::node& node, const std::string& path, std::string* out) {
    if (const auto* s = node.as_string()) {
        *out = s->get();
        return true;
    }
    ctx.error(node, path + " must be a string (text in double quotes), not " + describeValue(node));
    return false;
}

bool readBool(ProjectContext& ctx, const toml::node& node, const std::string& path, bool* out) {
    if (const auto* b = node.as_boolean()) {
        *out = b->get();
        return true;
    }
    ctx.error(node, path + " must be true or false, not " + describeValue(node));
    return false;
}

bool readInt32(ProjectContext& ctx, const toml::node& node, const std::string& path, long long min, long long max,
               int* out) {
    const auto* i = node.as_integer();
    if (!i) {
        ctx.error(node, path + " must be an integer, not " + describeValue(node));
        return false;
    }
    if (i->get() < min || i->get() > max) {
        ctx.error(node, path + " must lie between " + std::to_string(min) + " and " + std::to_string(max) + ", not " +
                            std::to_string(i->get()));
        return false;
    }
    *out = static_cast<int>(i->get());
    return true;
}

bool toAnsiText(ProjectContext& ctx, const toml::node& node, const std::string& path, const std::string& utf8,
                std::string* ansi) {
    CodecProblem problem;
    if (!utf8ToAnsi(utf8, ansi, &problem)) {
        if (problem.invalidUtf8) {
            ctx.error(node, path + " is not valid UTF-8");
        } else {
            ctx.error(node, path + ": the character '" + characterAt(utf8, problem.offset) + "' (" +
                                codePointName(problem.codePoint) +
                                ") cannot be stored; launcher settings are narrow text in the Windows-1252 code page "
                                "(Western European), so use other characters here (messages may use any)");
        }
        return false;
    }
    std::string error;
    if (!checkNoControlCharacters(*ansi, &error)) {
        ctx.error(node, path + ": " + error);
        return false;
    }
    return true;
}

bool storeSetting(ProjectContext& ctx, const toml::node& node, const std::string& path, int key,
                  const std::string& ansi, bool raw) {
    const ConfigKeyInfo* info = findConfigKey(key);
    if (info && info->maxLength > 0 && ansi.size() > static_cast<size_t>(info->maxLength)) {
        ctx.error(node, path + " is " + std::to_string(ansi.size()) + " characters long; the launcher reads at most " +
                            std::to_string(info->maxLength) + " of it");
        return false;
    }
    (raw ? ctx.rawKeys : ctx.settings)[key] = ansi;
    return true;
}

bool readTextList(ProjectContext& ctx, const toml::node& node, const std::string& path,
                  std::vector<std::string>* items) {
    items->clear();
    std::string ansi;
    if (const auto* s = node.as_string()) {
        if (!toAnsiText(ctx, node, path, s->get(), &ansi)) return false;
        items->push_back(ansi);
        return true;
    }
    const auto* array = node.as_array();
    if (!array) {
        ctx.error(node, path + " must be a string or an array of strings, not " + describeValue(node));
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < array->size(); ++i) {
        std::string utf8, label = path + "[" + std::to_string(i) + "]";
        if (readString(ctx, *array->get(i), label, &utf8) && toAnsiText(ctx, *array->get(i), label, utf8, &ansi))
            items->push_back(ansi);
        else
            ok = false;
    }
    return ok;
}

bool encodeCommandLine(ProjectContext& ctx, const toml::node& node, const std::string& path, std::string* ansi) {
    if (const auto* s = node.as_string()) return toAnsiText(ctx, node, path, flattenCommandLine(s->get()), ansi);
    std::vector<std::string> items;
    std::string error;
    if (!readTextList(ctx, node, path, &items)) return false;
    if (!joinCommandLine(items, ansi, &error)) {
        ctx.error(node, path + ": " + error);
        return false;
    }
    return true;
}

bool checkFields(ProjectContext& ctx, const toml::table& table, const std::string& path,
                 const std::vector<std::string>& allowed) {
    bool ok = true;
    for (auto&& [key, node] : table) {
        std::string name(key.str());
        if (std::find(allowed.begin(), allowed.end(), name) != allowed.end()) continue;
        std::string close = closestName(name, allowed), list;
        for (const std::string& a : allowed) list += (list.empty() ? "" : ", ") + a;
        ctx.error(key.source(), "unknown field '" + name + "' in " + path +
                                    (close.empty() ? "; fields are: " + list : "; did you mean '" + close + "'?"));
        ok = false;
    }
    return ok;
}

void readClassPath(ProjectContext& ctx, const toml::node& node) {
    readEntryList(ctx, node, "classpath", key::ClassPath, rawClassPathItem, classPathItem);
}

void readSearchSequence(ProjectContext& ctx, const toml::node& node) {
    readEntryList(ctx, node, "jvm.search", key::SearchSequence, rawSearchItem, searchItem);
}

void readVersionOptions(ProjectContext& ctx, const toml::node& node) {
    const auto* array = node.as_array();
    if (!array) {
        ctx.error(node, "version_options must be written as [[version_options]] tables, not " + describeValue(node));
        return;
    }
    if (array->size() > static_cast<size_t>(kMaxVersionOptionLines)) {
        ctx.error(node, "more than " + std::to_string(kMaxVersionOptionLines) + " version option lines; merge some");
        return;
    }
    for (size_t i = 0; i < array->size(); ++i) {
        std::string label = numbered("version option line", i), prefix, ansiPrefix, options;
        const toml::table* table = requireTable(ctx, *array->get(i), label);
        if (!table || !checkFields(ctx, *table, label, {"prefix", "options"})) continue;
        int prefixKey = key::VersionOptionBase + 2 * static_cast<int>(i);
        if (stringField(ctx, *table, "prefix", label, &prefix) &&
            toAnsiText(ctx, *table->get("prefix"), label + ".prefix", prefix, &ansiPrefix))
            storeSetting(ctx, *table->get("prefix"), label + ".prefix", prefixKey, ansiPrefix);
        if (const toml::node* o = table->get("options")) {
            if (encodeCommandLine(ctx, *o, label + ".options", &options))
                storeSetting(ctx, *o, label + ".options", prefixKey + 1, options);
        } else {
            ctx.error(*table, label + " needs 'options'");
        }
    }
    if (array->size() > 0) storeSetting(ctx, node, "version_options", key::VersionOptionCount, std::to_string(array->size()));
}

void readEmbeddedFiles(ProjectContext& ctx, const toml::node& node) {
    const auto* array = node.as_array();
    if (!array) {
        ctx.error(node, "files must be written as [[files]] tables, not " + describeValue(node));
        return;
    }
    std::vector<std::string> lowerNames;
    for (size_t i = 0; i < array->size(); ++i) {
        std::string label = numbered("embedded file", i), source, name, normalised, ansi, error;
        const toml::table* table = requireTable(ctx, *array->get(i), label);
        if (!table || !checkFields(ctx, *table, label, {"source", "name"})) continue;
        if (!stringField(ctx, *table, "source", label, &source)) continue;
        std::filesystem::path path = ctx.baseDir / std::filesystem::u8path(source);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            ctx.error(*table->get("source"), label + ": source file '" + source + "' not found (looked for " +
                                                 path.u8string() + "); paths are relative to the project file");
            continue;
        }
        const toml::node* where = table->get("name") ? table->get("name") : table->get("source");
        if (table->get("name")) {
            if (!readString(ctx, *where, label + ".name", &name)) continue;
        } else {
            name = std::filesystem::u8path(source).filename().u8string();
        }
        if (!normaliseEmbeddedName(name, &normalised, &error)) {
            ctx.error(*where, label + ": " + error);
            continue;
        }
        if (!toAnsiText(ctx, *where, label + ".name", normalised, &ansi)) continue;
        std::string lower = ansi;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        if (std::find(lowerNames.begin(), lowerNames.end(), lower) != lowerNames.end()) {
            ctx.error(*where, label + ": the name '" + normalised + "' is used twice; Windows names ignore case");
            continue;
        }
        lowerNames.push_back(lower);
        ctx.files.push_back({ansi, path});
    }
}
