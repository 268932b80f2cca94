#include "pack/catalogue_export.h"

#include "config/catalogue.h"
#include "pack/manifest.h"
#include "pack/text_codec.h"
#include "pack/translations.h"
#include "pack/value_limits.h"
#include "service/install.h"

namespace {

std::string escaped(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string wide(const wchar_t* text) { return escaped(utf16ToUtf8(wideToUtf16(text))); }

const char* typeName(ConfigValueType type) {
    switch (type) {
    case ConfigValueType::Text: return "text";
    case ConfigValueType::List: return "list";
    case ConfigValueType::Integer: return "integer";
    case ConfigValueType::Flag: return "flag";
    }
    return "text";
}

}  // namespace

std::string exportCatalogue() {
    std::string out =
        "# The launcher's configuration keys and messages, the value limits and the default translations,\n"
        "# and the application manifest, exported by the build from vtlpack's tables (config/catalogue.cpp,\n"
        "# pack/value_limits.h, pack/translations.cpp, pack/manifest.cpp). The Maven plugin reads it; edit\n"
        "# those tables, never this file.\n";
    size_t count = 0;
    const ConfigKeyInfo* keys = configKeyCatalogue(&count);
    for (size_t i = 0; i < count; ++i)
        out += "key\t" + std::to_string(keys[i].key) + "\t" + escaped(keys[i].name) + "\t" + typeName(keys[i].type) +
               "\t" + std::to_string(keys[i].maxLength) + "\t" + (keys[i].readByLauncher ? "read" : "ignored") + "\n";
    const struct {
        const char* name;
        int value;
    } limits[] = {
        {"message_text", limit::MessageText},
        {"service_name", limit::ServiceName},
        {"stop_timeout_min", limit::StopTimeoutMin},
        {"stop_timeout_max", limit::StopTimeoutMax},
        {"icon_file_bytes", limit::IconFileBytes},
        {"icon_images", limit::IconImages},
        {"version_text", limit::VersionText},
        {"version_part", limit::VersionPart},
        {"restart_delay_max", limit::RestartDelayMax},
        {"restart_limit_max", limit::RestartLimitMax},
        {"keep_max", limit::KeepMax},
        {"roll_size_min_kb", limit::RollSizeMinKb},
        {"roll_size_max_kb", limit::RollSizeMaxKb},
        {"recovery_delay_max", static_cast<int>(kMaxRecoveryDelaySeconds)},
    };
    for (const auto& l : limits) out += std::string("limit\t") + l.name + "\t" + std::to_string(l.value) + "\n";
    const MessageInfo* messages = messageCatalogue(&count);
    for (size_t i = 0; i < count; ++i)
        out += "message\t" + std::to_string(messages[i].id) + "\t" + escaped(messages[i].name) + "\t" +
               (messages[i].shownByLauncher ? "shown" : "kept") + "\t" + wide(messages[i].englishText) + "\n";
    size_t sets = 0;
    const TranslationSet* translations = defaultTranslations(&sets);
    for (size_t s = 0; s < sets; ++s)
        for (size_t i = 0; i < translations[s].count; ++i)
            out += std::string("translation\t") + translations[s].code + "\t" +
                   std::to_string(translations[s].texts[i].id) + "\t" + wide(translations[s].texts[i].text) + "\n";
    out += std::string("template\tmanifest\t") + escaped(manifestTemplate()) + "\n";
    return out;
}
