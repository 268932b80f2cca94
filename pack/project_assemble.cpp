// The block a parsed project becomes: its settings and raw keys, the
// English messages and the language sections.
#include <algorithm>

#include "config/catalogue.h"
#include "config/keys.h"
#include "pack/project_internal.h"
#include "pack/text_codec.h"
#include "pack/translations.h"

namespace {

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

}  // namespace

void assembleProject(const ProjectContext& ctx, const ProjectOptions& options, Project* project) {
    std::map<int, std::string> config = ctx.settings;
    for (const auto& [key, value] : ctx.rawKeys) config[key] = value;
    if (!config.count(key::LauncherFamily)) config[key::LauncherFamily] = "v";
    if (!ctx.files.empty()) {
        std::string names;
        for (const auto& file : ctx.files) names += (names.empty() ? "" : ";") + file.name;
        config[key::EmbeddedFileCount] = std::to_string(ctx.files.size());
        config[key::EmbeddedFileNames] = names;
    }
    project->block = BlockPlan();
    for (const auto& [key, value] : config) project->block.config.emplace_back(key, value);
    project->block.messages = englishMessages(ctx);
    project->block.sections = languageSections(ctx, options.defaultTranslations && ctx.defaultTranslations);
    project->block.files = ctx.files;
    project->resources = ctx.resources;
    project->stub = ctx.stub;
    project->arch = ctx.arch;
}
