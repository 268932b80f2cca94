// The catalogue export that the Maven plugin reads: every key, limit,
// message and translation as one record a line, read back field by field
// exactly as the plugin reads it.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

#include "config/catalogue.h"
#include "pack/catalogue_export.h"
#include "pack/manifest.h"
#include "pack/text_codec.h"
#include "pack/translations.h"
#include "pack/value_limits.h"
#include "service/install.h"

namespace {

// The plugin's reading: split at tabs, then undo the escapes of each field.
std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            out.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char next = line[++i];
            out.back() += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
        } else {
            out.back() += c;
        }
    }
    return out;
}

std::string utf8(const wchar_t* text) { return utf16ToUtf8(wideToUtf16(text)); }

TEST(CatalogueExport, EveryRowReadsBackWhole) {
    std::istringstream in(exportCatalogue());
    std::map<int, std::vector<std::string>> keys, messages;
    std::map<std::string, int> limits;
    std::map<std::string, std::map<int, std::string>> translations;
    std::vector<int> messageOrder;
    std::map<std::string, std::string> templates;
    for (std::string line; std::getline(in, line);) {
        ASSERT_EQ(line.find('\r'), std::string::npos) << line;
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f = fields(line);
        if (f[0] == "key") {
            ASSERT_EQ(f.size(), 6u) << line;
            keys[std::stoi(f[1])] = f;
        } else if (f[0] == "limit") {
            ASSERT_EQ(f.size(), 3u) << line;
            limits[f[1]] = std::stoi(f[2]);
        } else if (f[0] == "message") {
            ASSERT_EQ(f.size(), 5u) << line;
            messages[std::stoi(f[1])] = f;
            messageOrder.push_back(std::stoi(f[1]));
        } else if (f[0] == "template") {
            ASSERT_EQ(f.size(), 3u) << line;
            templates[f[1]] = f[2];
        } else {
            ASSERT_EQ(f[0], "translation") << line;
            ASSERT_EQ(f.size(), 4u) << line;
            translations[f[1]][std::stoi(f[2])] = f[3];
        }
    }

    size_t count = 0;
    const ConfigKeyInfo* catalogue = configKeyCatalogue(&count);
    ASSERT_EQ(keys.size(), count);
    for (size_t i = 0; i < count; ++i) {
        const std::vector<std::string>& f = keys[catalogue[i].key];
        EXPECT_EQ(f[2], catalogue[i].name);
        EXPECT_EQ(std::stoi(f[4]), catalogue[i].maxLength) << f[2];
        EXPECT_EQ(f[5], catalogue[i].readByLauncher ? "read" : "ignored") << f[2];
    }
    EXPECT_EQ(keys[124][4], "1999");

    // Texts with line feeds, quotes and non-ASCII letters arrive unchanged,
    // and the messages keep the order the block lists them in.
    const MessageInfo* texts = messageCatalogue(&count);
    ASSERT_EQ(messageOrder.size(), count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(messageOrder[i], texts[i].id);
        EXPECT_EQ(messages[texts[i].id][2], texts[i].name);
        EXPECT_EQ(messages[texts[i].id][4], utf8(texts[i].englishText)) << texts[i].name;
    }
    EXPECT_EQ(messages[1006][4], "File or directory {0} not found or empty\n");
    size_t sets = 0;
    const TranslationSet* defaults = defaultTranslations(&sets);
    ASSERT_EQ(translations.size(), sets);
    for (size_t s = 0; s < sets; ++s) {
        ASSERT_EQ(translations[defaults[s].code].size(), defaults[s].count) << defaults[s].code;
        for (size_t i = 0; i < defaults[s].count; ++i)
            EXPECT_EQ(translations[defaults[s].code][defaults[s].texts[i].id], utf8(defaults[s].texts[i].text));
    }
    EXPECT_EQ(translations["de"][1000], "Fehler");

    EXPECT_EQ(limits["message_text"], limit::MessageText);
    EXPECT_EQ(limits["service_name"], limit::ServiceName);
    EXPECT_EQ(limits["stop_timeout_min"], limit::StopTimeoutMin);
    EXPECT_EQ(limits["stop_timeout_max"], limit::StopTimeoutMax);
    EXPECT_EQ(limits["icon_images"], limit::IconImages);
    EXPECT_EQ(limits["version_part"], limit::VersionPart);
    EXPECT_EQ(limits["restart_delay_max"], limit::RestartDelayMax);
    EXPECT_EQ(limits["keep_max"], limit::KeepMax);
    EXPECT_EQ(limits["roll_size_max_kb"], limit::RollSizeMaxKb);
    EXPECT_EQ(limits["recovery_delay_max"], static_cast<int>(kMaxRecoveryDelaySeconds));
    // The manifest, line breaks and quotes included.
    EXPECT_EQ(templates["manifest"], manifestTemplate());
}

}  // namespace
