// Translations of the launcher's messages that every packed executable
// carries unless the project switches them off or replaces them.
#pragma once

#include <cstddef>

struct Translation {
    int id;
    const wchar_t* text;
};

struct TranslationSet {
    const char* code;  // locale code of the language section
    const Translation* texts;
    size_t count;
};

const TranslationSet* defaultTranslations(size_t* count);
