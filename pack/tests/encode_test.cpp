// Text conversions and the encoders of list-like settings.
#include <gtest/gtest.h>

#include "core/cmdline.h"
#include "pack/encode.h"
#include "pack/text_codec.h"

namespace {

std::wstring widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

TEST(TextCodec, Utf8ToWindows1252) {
    std::string ansi;
    CodecProblem problem;
    ASSERT_TRUE(utf8ToAnsi(u8"caf\u00e9 \u20ac \u2019 \u0178 plain", &ansi, &problem));
    EXPECT_EQ(ansi, "caf\xE9 \x80 \x92 \x9F plain");
    EXPECT_EQ(ansiToUtf8(ansi), u8"caf\u00e9 \u20ac \u2019 \u0178 plain");

    EXPECT_FALSE(utf8ToAnsi(u8"ab\u4e2dc", &ansi, &problem));
    EXPECT_EQ(problem.offset, 2u);
    EXPECT_EQ(problem.codePoint, 0x4E2Du);
    EXPECT_FALSE(problem.invalidUtf8);
    EXPECT_EQ(codePointName(problem.codePoint), "U+4E2D");

    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80"}) {
        EXPECT_FALSE(utf8ToAnsi(bad, &ansi, &problem)) << bad;
        EXPECT_TRUE(problem.invalidUtf8);
    }
}

TEST(TextCodec, Utf16WithSurrogatePairs) {
    std::u16string wide;
    CodecProblem problem;
    ASSERT_TRUE(utf8ToUtf16(u8"\u00e4\U0001F600x", &wide, &problem));
    EXPECT_EQ(wide, std::u16string(u"\u00e4\U0001F600x"));
    EXPECT_EQ(wide.size(), 4u);
    EXPECT_EQ(utf16ToUtf8(wide), u8"\u00e4\U0001F600x");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xD800))), u8"\ufffd");
    EXPECT_EQ(wideToUtf16(L"\u00fc\U0001F600"), std::u16string(u"\u00fc\U0001F600"));
}

// Whatever the arguments, the launcher's splitter must give them back.
TEST(CommandLineJoin, RoundTripsThroughTheLauncherSplitter) {
    const std::vector<std::vector<std::string>> cases = {
        {"-Xmx512m", "-Dmy.prop=a b"},
        {"-Dq=\"quoted\"", "it's", "", "x"},
        {"a  b", "'single' only", "\"double\" only"},
        {"-cp", "c:\\Program Files\\app\\lib\\x.jar"},
        {"trailing "},
    };
    for (const auto& args : cases) {
        std::string joined, error;
        ASSERT_TRUE(joinCommandLine(args, &joined, &error)) << error;
        ArgumentVector split;
        splitCommandLine(widen(joined).c_str(), split);
        ASSERT_EQ(split.size(), args.size()) << joined;
        for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(split[i], widen(args[i])) << joined;
    }
    std::string joined, error;
    EXPECT_TRUE(joinCommandLine({"-Xmx1g", "-Dx=1"}, &joined, &error));
    EXPECT_EQ(joined, "-Xmx1g -Dx=1");  // plain arguments stay unquoted
    EXPECT_FALSE(joinCommandLine({"it's \"both\""}, &joined, &error));
    EXPECT_NE(error.find("both"), std::string::npos);
    EXPECT_EQ(flattenCommandLine("\n  -Xmx1g\n  -Da=b\t-Dc \n"), "-Xmx1g   -Da=b -Dc");
}

TEST(ListEntries, ClassPathAndSearchEntries) {
    std::string entry, error;
    ASSERT_TRUE(classPathEntry("archive", false, "lib\\app.jar", &entry, &error));
    EXPECT_EQ(entry, "A0lib\\app.jar");
    ASSERT_TRUE(classPathEntry("directory", true, "classes", &entry, &error));
    EXPECT_EQ(entry, "D1classes");
    ASSERT_TRUE(classPathEntry("env", true, "EXTRA_CP", &entry, &error));
    EXPECT_EQ(entry, "E1EXTRA_CP");
    ASSERT_TRUE(classPathEntry("scan", false, "lib", &entry, &error));
    EXPECT_EQ(entry, "S0lib");
    EXPECT_FALSE(classPathEntry("jar", false, "x", &entry, &error));
    EXPECT_FALSE(classPathEntry("archive", false, "a.jar;b.jar", &entry, &error));
    EXPECT_FALSE(classPathEntry("archive", false, "", &entry, &error));
    EXPECT_FALSE(classPathEntry("env", false, "A=B", &entry, &error));

    EXPECT_TRUE(checkRawClassPathEntry("A0.\\lib\\x.jar", &error));
    EXPECT_FALSE(checkRawClassPathEntry("a0x.jar", &error));  // lower-case letters do nothing
    EXPECT_FALSE(checkRawClassPathEntry("Axlib", &error));
    EXPECT_FALSE(checkRawClassPathEntry("A1", &error));

    EXPECT_EQ(searchTypeLetter("bundled"), 'B');
    EXPECT_EQ(searchTypeLetter("directory"), 'A');
    EXPECT_EQ(searchTypeLetter("relative"), 'R');
    EXPECT_EQ(searchTypeLetter("env"), 'E');
    EXPECT_EQ(searchTypeLetter("path"), 'S');
    EXPECT_EQ(searchTypeLetter("registry"), 'Y');
    EXPECT_EQ(searchTypeLetter("Bundled"), 0);
    EXPECT_TRUE(checkRawSearchEntry("B.\\jre", &error));
    EXPECT_TRUE(checkRawSearchEntry("Y", &error));
    EXPECT_FALSE(checkRawSearchEntry("b.\\jre", &error));
    EXPECT_FALSE(checkRawSearchEntry("Q", &error));
}

TEST(EmbeddedNames, OneLevelRelativeNamesOnly) {
    std::string n, error;
    ASSERT_TRUE(normaliseEmbeddedName("app.jar", &n, &error));
    EXPECT_EQ(n, "app.jar");
    ASSERT_TRUE(normaliseEmbeddedName("lib/x.jar", &n, &error));
    EXPECT_EQ(n, "lib\\x.jar");
    ASSERT_TRUE(normaliseEmbeddedName("my..file.jar", &n, &error));  // dots inside a name are fine
    for (const char* bad : {"\\x.jar", "/x.jar", "c:\\x.jar", "c:x.jar", "..\\x.jar", "lib\\..", "a\\b\\c.jar",
                            "lib\\", "", "a;b.jar", "x?.jar", "lib\\x.jar.", "CON", "lib\\nul.txt", ".\\x.jar",
                            "...", "com1 .jar", "conout$"}) {
        EXPECT_FALSE(normaliseEmbeddedName(bad, &n, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    normaliseEmbeddedName("a\\b\\c.jar", &n, &error);
    EXPECT_NE(error.find("first"), std::string::npos) << error;
}

TEST(Checks, LocaleCodesVersionsAndControls) {
    std::string error;
    for (const char* good : {"de", "de_CH", "no_NO_NY", "fr"}) EXPECT_TRUE(checkLocaleCode(good, &error)) << good;
    for (const char* bad : {"", "d", "DE", "de_ch", "de-CH", "de_CH_", "deu", "de_CH_XX_YY"})
        EXPECT_FALSE(checkLocaleCode(bad, &error)) << bad;

    for (const char* good : {"1.8", "17", "1.8.0_131", "11.0.2+9", "9-1"}) EXPECT_TRUE(checkVersionText(good, &error));
    for (const char* bad : {"", "1.", ".1", "1..8", "1.8-ea", "v11", "11 "}) EXPECT_FALSE(checkVersionText(bad, &error));

    EXPECT_TRUE(versionBoundsCompatible("1.8", "17"));
    EXPECT_TRUE(versionBoundsCompatible("1.8.0_60", "1.8"));  // the maximum admits every 1.8.x
    EXPECT_TRUE(versionBoundsCompatible("11", "11"));
    EXPECT_FALSE(versionBoundsCompatible("17", "11"));
    EXPECT_FALSE(versionBoundsCompatible("1.8.0_60", "1.8.0_50"));

    EXPECT_TRUE(checkNoControlCharacters("plain \xE9", &error));
    EXPECT_FALSE(checkNoControlCharacters("line\nbreak", &error));
    EXPECT_FALSE(checkNoControlCharacters(std::string("nul\0x", 5), &error));
    EXPECT_FALSE(checkNoControlCharacters("c1 \x81", &error));
    EXPECT_TRUE(checkNoControlCharacters("euro \x80", &error));
}

TEST(Suggestions, ClosestNameWithinReason) {
    std::vector<std::string> names = {"main_class", "service_name", "single_instance", "vm_options"};
    EXPECT_EQ(closestName("main_clas", names), "main_class");
    EXPECT_EQ(closestName("singleinstance", names), "single_instance");
    EXPECT_EQ(closestName("vmoptions", names), "vm_options");
    EXPECT_EQ(closestName("completely_different", names), "");
    EXPECT_EQ(editDistance("kitten", "sitting"), 3u);
}

}  // namespace
