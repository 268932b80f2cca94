#include <gtest/gtest.h>

#include <string>

#include "config/keys.h"
#include "config/store.h"
#include "jvm/version.h"
#include "tests/support/log_capture.h"

namespace {

VersionComponents v(std::initializer_list<int32_t> list) { return VersionComponents(list); }

class VersionCheck : public ::testing::Test {
protected:
    void SetUp() override {
        clearStores();
        clearCapturedLog();
    }
    void TearDown() override { clearStores(); }
};

}  // namespace

TEST(ParseVersion, SplitsAtEverySeparatorLikeAtol) {
    const struct {
        const char* text;
        VersionComponents expected;
    } cases[] = {
        {"1.8.0_121", v({1, 8, 0, 121})},
        {"9", v({9})},
        {"11.0.2+9", v({11, 0, 2, 9})},
        {"1.8.0-ea", v({1, 8, 0, 0})},
        {"13b", v({13})},
        {"..1__8..", v({1, 8})},
        {"-+._", v({})},
        {"", v({})},
        {" 7. x", v({7, 0})},
        {"99999999999.1", v({2147483647, 1})},
        {"10.0.1\" 2018-04-1", v({10, 0, 1, 4, 1})},
    };
    for (const auto& c : cases) EXPECT_EQ(parseVersion(c.text), c.expected) << c.text;
    EXPECT_TRUE(parseVersion(nullptr).empty());
}

TEST(VersionBounds, MinimumAndMaximumTable) {
    const VersionComponents min17 = parseVersion("1.7");
    const VersionComponents max18 = parseVersion("1.8");
    const VersionComponents none;
    const struct {
        const char* text;
        const VersionComponents& minimum;
        const VersionComponents& maximum;
        bool accepted;
    } cases[] = {
        {"1.7.0_80", min17, none, true},   {"1.8.0_121", min17, none, true}, {"1.6.0_45", min17, none, false},
        {"1.7", min17, none, true},        {"1.8.0_121", none, max18, true}, {"1.8", none, max18, true},
        {"9.0.1", none, max18, false},     {"10", none, max18, false},       {"1.7.0_80", min17, max18, true},
        {"anything", none, none, true},
    };
    for (const auto& c : cases) EXPECT_EQ(checkVersion(c.text, c.minimum, c.maximum, true), c.accepted) << c.text;
}

TEST(VersionBounds, MissingComponentsAreStrictForCheckAndLenientForRange) {
    const VersionComponents min = parseVersion("1.8.0_60");
    const VersionComponents none;
    EXPECT_FALSE(checkVersion("1.8", min, none, true));
    EXPECT_TRUE(isVersionInRange("1.8", min, none));
    EXPECT_FALSE(isVersionInRange("1.7", min, none));
    EXPECT_TRUE(isVersionInRange("1.8", none, parseVersion("1.8.0_60")));
    EXPECT_FALSE(checkVersion("1.8", none, parseVersion("1.8.0_60"), true));
    // Only the bound's components matter: the version may be longer.
    EXPECT_TRUE(versionBoundOk(parseVersion("1.8"), parseVersion("1.8.0_5"), true, false));
    EXPECT_TRUE(versionBoundOk(VersionComponents(), VersionComponents(), false, false));
    EXPECT_FALSE(versionBoundOk(parseVersion("1"), VersionComponents(), false, false));
}

TEST_F(VersionCheck, PreReleaseTextsAreRefusedUnlessAllowed) {
    const VersionComponents none;
    for (const char* text : {"1.8.0-ea", "9-rc", "1.9.0-beta2", "10 release"}) {
        clearCapturedLog();
        EXPECT_FALSE(checkVersion(text, none, none, false)) << text;
        EXPECT_TRUE(logContains(L"beta vm not allowed")) << text;
        EXPECT_TRUE(checkVersion(text, none, none, true)) << text;
    }
    // The test is a case-sensitive substring test.
    EXPECT_TRUE(checkVersion("1.8.0-EA", none, none, false));
    storeConfigValue(key::AllowPreRelease, "1");
    EXPECT_TRUE(checkVersion("9-rc", none, none, false));
    // Allowed pre-releases are still measured against the bounds.
    EXPECT_FALSE(checkVersion("9-rc", parseVersion("10"), none, false));
}

TEST(IsNewerVersion, ComparesComponentByComponent) {
    const struct {
        const char* a;
        const char* b;
        bool newer;
    } cases[] = {
        {"1.8.0", "1.8", true},       {"1.8", "1.8.0", false},   {"1.8.0_121", "1.8.0_121", false},
        {"", "1.8", false},           {"1.8", "", true},         {"11", "9", true},
        {"9", "11", false},           {"1.10", "1.9", true},     {"1.8.0_45", "1.8.0_121", false},
        {"", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isNewerVersion(c.a, c.b), c.newer) << c.a << " vs " << c.b;
}

TEST(ParseVersionLine, TheTextBetweenTheQuotesAfterEitherPrefix) {
    char version[100];
    EXPECT_TRUE(parseVersionLine("java version \"1.8.0_121\"\n", version, sizeof version));
    EXPECT_STREQ(version, "1.8.0_121");
    EXPECT_TRUE(parseVersionLine("openjdk version \"1.8.0_292\"\n", version, sizeof version));
    EXPECT_STREQ(version, "1.8.0_292");
    // Current runtimes put a date and more after the closing quote.
    EXPECT_TRUE(parseVersionLine("java version \"10.0.1\" 2018-04-17\n", version, sizeof version));
    EXPECT_STREQ(version, "10.0.1");
    EXPECT_TRUE(parseVersionLine("openjdk version \"17.0.15\" 2025-04-15 LTS\r\n", version, sizeof version));
    EXPECT_STREQ(version, "17.0.15");
    EXPECT_EQ(parseVersion(version), v({17, 0, 15}));
    // No line end, or no closing quote either: no character is lost.
    EXPECT_TRUE(parseVersionLine("java version \"1.8.0_121\"", version, sizeof version));
    EXPECT_STREQ(version, "1.8.0_121");
    EXPECT_TRUE(parseVersionLine("java version \"1.8.0_121\n", version, sizeof version));
    EXPECT_STREQ(version, "1.8.0_121");
    EXPECT_TRUE(parseVersionLine("java version \"21", version, sizeof version));
    EXPECT_STREQ(version, "21");
    // Two quotes with nothing between: an empty version.
    EXPECT_TRUE(parseVersionLine("java version \"\"\n", version, sizeof version));
    EXPECT_STREQ(version, "");
}

TEST(ParseVersionOutput, SkipsTheOptionNoticesOfTheRuntime) {
    char version[100];
    EXPECT_TRUE(parseVersionOutput("openjdk version \"17.0.2\" 2022-01-18\nOpenJDK Runtime Environment\n", version,
                                   sizeof version));
    EXPECT_STREQ(version, "17.0.2");
    const std::string notices = "NOTE: Picked up JDK_JAVA_OPTIONS: --add-opens=a/b=ALL-UNNAMED\n"
                                "Picked up JAVA_TOOL_OPTIONS: -Dfile.encoding=UTF-8 " + std::string(5000, 'x') +
                                "\nPicked up _JAVA_OPTIONS: -Xmx1g\n";
    EXPECT_TRUE(parseVersionOutput((notices + "openjdk version \"21.0.2\" 2024-01-16 LTS\n").c_str(), version,
                                   sizeof version));
    EXPECT_STREQ(version, "21.0.2");
    // The first other line must be the version line.
    EXPECT_FALSE(parseVersionOutput("Picked up X: y\nError: no VM\njava version \"1.8\"\n", version,
                                    sizeof version));
    EXPECT_STREQ(version, "");
    // Only a bounded number of notices, and a notice without its line end, is looked at.
    std::string many;
    for (int i = 0; i <= kMaxVersionNoticeLines; ++i) many += "Picked up JAVA_TOOL_OPTIONS: -Da\n";
    EXPECT_FALSE(parseVersionOutput((many + "java version \"1.8\"\n").c_str(), version, sizeof version));
    many.erase(0, many.find('\n') + 1);
    EXPECT_TRUE(parseVersionOutput((many + "java version \"1.8\"\n").c_str(), version, sizeof version));
    EXPECT_FALSE(parseVersionOutput("Picked up JAVA_TOOL_OPTIONS: -Da", version, sizeof version));
    EXPECT_FALSE(parseVersionOutput("", version, sizeof version));
    EXPECT_FALSE(parseVersionOutput(nullptr, version, sizeof version));
}

TEST(MendCachedVersion, OldEntriesLoseTheTextAfterTheQuote) {
    char old[] = "17.0.15\" 2025-04-1";
    mendCachedVersion(old);
    EXPECT_STREQ(old, "17.0.15");
    char plain[] = "1.8.0_121";
    mendCachedVersion(plain);
    EXPECT_STREQ(plain, "1.8.0_121");
}

TEST(ParseVersionLine, RefusesOtherLinesAndShortRests) {
    char version[100] = "old";
    EXPECT_FALSE(parseVersionLine("java version \"\n", version, sizeof version));
    EXPECT_STREQ(version, "");
    EXPECT_FALSE(parseVersionLine("java version 1.8.0\n", version, sizeof version));
    EXPECT_FALSE(parseVersionLine("Error: could not create the VM\n", version, sizeof version));
    EXPECT_FALSE(parseVersionLine(" java version \"1.8\"\n", version, sizeof version));
    EXPECT_FALSE(parseVersionLine("", version, sizeof version));
    EXPECT_FALSE(parseVersionLine(nullptr, version, sizeof version));
    // A version that does not fit the caller's buffer is cut, and says so.
    char small[4];
    EXPECT_FALSE(parseVersionLine("java version \"1.8.0_121\"\n", small, sizeof small));
    EXPECT_STREQ(small, "1.8");
}
