#include <gtest/gtest.h>

#include <string>

#include "config/locale.h"

TEST(Locale, TableLookups) {
    EXPECT_EQ(localeTableSize(), 215u);
    EXPECT_STREQ(localeCodeForLangId(0x0807), "de_CH");
    EXPECT_STREQ(localeCodeForLangId(0x0814), "no_NO_NY");
    EXPECT_STREQ(localeCodeForLangId(0x040D), "iw_IL");
    EXPECT_STREQ(localeCodeForLangId(0x0421), "in_ID");
    EXPECT_STREQ(localeCodeForLangId(0x0C1A), "sr_CS");
    EXPECT_STREQ(localeCodeForLangId(0x081A), "sr_CS");
    EXPECT_STREQ(localeCodeForLangId(0x4409), "en");    // sublanguage the table lacks
    EXPECT_STREQ(localeCodeForLangId(0x0464), "en");    // primary language the table lacks
    EXPECT_STREQ(localeCodeForLangId(0x2409), "en");
    EXPECT_STREQ(localeCodeForLangId(0x0407), "de_DE");
    EXPECT_STREQ(localeCodeForLangId(0x0C07), "de_AT");
    EXPECT_STREQ(localeCodeForLangId(0x500A), "es_PR");
    EXPECT_STREQ(localeCodeForLangId(0x0017), "rm");
}

TEST(Locale, LanguageAndCountry) {
    char lang[3], country[3];
    setDetectedLocale("de_CH");
    EXPECT_TRUE(localeLanguage(lang, sizeof lang));
    EXPECT_STREQ(lang, "de");
    EXPECT_TRUE(localeCountry(country, sizeof country));
    EXPECT_STREQ(country, "CH");

    setDetectedLocale("no_NO_NY");
    EXPECT_TRUE(localeLanguage(lang, sizeof lang));
    EXPECT_STREQ(lang, "no");
    EXPECT_FALSE(localeCountry(country, sizeof country));

    setDetectedLocale("en");
    EXPECT_FALSE(localeCountry(country, sizeof country));
    EXPECT_TRUE(localeLanguage(lang, sizeof lang));
    EXPECT_STREQ(lang, "en");
}
