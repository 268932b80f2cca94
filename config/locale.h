// Locale detection: the Windows user-interface language as a Java-style
// locale code ("de", "de_CH", "no_NO_NY").
#pragma once

#include <cstddef>

// The code for a LANGID: an exact row, else the bare primary language,
// else "en".
const char* localeCodeForLangId(unsigned langId);
size_t localeTableSize();

// The detected code (initially "en"); set once at start-up.
void setDetectedLocale(const char* code);
const char* detectedLocale();

// Windows only: reads the UI language, sets and returns the detected code.
const char* detectLocale();

// Language: the first two characters. Country: characters four and five,
// known only when the code has exactly five characters.
bool localeLanguage(char* buffer, size_t n);
bool localeCountry(char* buffer, size_t n);
