#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/locale.h"
#include "config/store.h"
#include "launch/vmargs.h"
#include "tests/support/log_capture.h"

namespace {

std::string narrow(const std::wstring& text) {
    std::vector<char> out(text.size() * 2 + 1);
    narrowText(out.data(), out.size(), text.c_str());
    return out.data();
}

// The launcher's own directive processing over a file system of none:
// an include is only written down.
struct Collected : OptionFileHooks {
    OptionList options;
    ClassPathTexts texts;
    IncludeChain chain;
    std::vector<std::wstring> includes;
    std::vector<std::wstring> expanded;

    bool expand(wchar_t*, size_t, bool) override { return true; }
    bool resolve(wchar_t* out, size_t cap, const wchar_t* name, const wchar_t*) override {
        return copyTextW(out, cap, name);
    }
    std::wstring chainKey(const wchar_t* path) override { return path; }
    FILE* open(const wchar_t* path) override {
        includes.push_back(path);
        return nullptr;
    }
    std::string narrow(const std::wstring& text) override { return ::narrow(text); }
};

OptionLineHooks hooksFor(Collected& c) {
    OptionLineHooks hooks;
    hooks.expand = [&c](wchar_t* text, size_t cap) {
        c.expanded.push_back(text);
        // A recognisable expansion: ${HOME} becomes c:\home.
        std::wstring s = text;
        size_t at = s.find(L"${HOME}");
        if (at != std::wstring::npos) s.replace(at, 7, L"c:\\home");
        copyTextW(text, cap, s.c_str());
    };
    hooks.apply = [&c](const std::wstring& line) {
        OptionFileTarget target{c.options, c.texts, c.chain};
        applyVmOptionLineWith(c, target, nullptr, line.c_str());
    };
    return hooks;
}

class LaunchVmOptions : public ::testing::Test {
protected:
    void SetUp() override {
        clearStores();
        clearCapturedLog();
        setDetectedLocale("de_CH");
    }
    void TearDown() override {
        clearStores();
        setDetectedLocale("en");
    }
    Collected collect(const ArgumentVector& arguments, const char* version = "1.8.0_131") {
        Collected c;
        collectVmOptionsWith(arguments, version, hooksFor(c));
        return c;
    }
};

}  // namespace

TEST(LaunchOptionTokens, JoinsOnlyIncludeWithTheNextToken) {
    std::vector<std::wstring> seen;
    auto apply = [&](const std::wstring& line) { seen.push_back(line); };
    applyOptionTokensWith({L"-include-options", L"extra.vmoptions", L"-Xmx1m", L"-classpath", L"x.jar"}, apply);
    std::vector<std::wstring> expected = {L"-include-options extra.vmoptions", L"-Xmx1m", L"-classpath", L"x.jar"};
    EXPECT_EQ(seen, expected);

    seen.clear();
    applyOptionTokensWith({L"-Xss1m", L"-include-options"}, apply);
    expected = {L"-Xss1m", L"-include-options"};
    EXPECT_EQ(seen, expected);

    seen.clear();
    applyOptionTokensWith({L"-include-options", L"-include-options", L"x"}, apply);
    expected = {L"-include-options -include-options", L"x"};
    EXPECT_EQ(seen, expected);
}

TEST(LaunchVersionPrefix, MatchesByteWiseFromTheStart) {
    EXPECT_TRUE(versionPrefixMatches("1.8.0_131", "1.8"));
    EXPECT_TRUE(versionPrefixMatches("1.80", "1.8"));
    EXPECT_TRUE(versionPrefixMatches("11.0.2", ""));
    EXPECT_TRUE(versionPrefixMatches("1.8", "1.8"));
    EXPECT_FALSE(versionPrefixMatches("1.8", "1.8.0"));
    EXPECT_FALSE(versionPrefixMatches("11.0.2", "1.8"));
    EXPECT_FALSE(versionPrefixMatches("1.8.0", "1.8.0_"));
    EXPECT_FALSE(versionPrefixMatches(nullptr, ""));
}

TEST_F(LaunchVmOptions, ConfiguredOptionsAreExpandedAndSplit) {
    storeConfigValue(123, "-Xmx512m \"-Dmy.prop=a b\" -Duser.home=${HOME}");
    Collected c = collect({});
    OptionList expected = {"-Xmx512m", "-Dmy.prop=a b", "-Duser.home=c:\\home"};
    EXPECT_EQ(c.options, expected);
    ASSERT_FALSE(c.expanded.empty());
    EXPECT_EQ(c.expanded[0], L"-Xmx512m \"-Dmy.prop=a b\" -Duser.home=${HOME}");
    EXPECT_TRUE(logContains(L"adding options"));
}

TEST_F(LaunchVmOptions, ClassPathDirectivesNeedOneQuotedToken) {
    storeConfigValue(123, "\"-classpath/a lib\\extra.jar\" -classpath lib\\other.jar -include-options extra.vmoptions");
    Collected c = collect({});
    EXPECT_TRUE(c.texts.hasSuffix);
    EXPECT_EQ(c.texts.suffix, "lib\\extra.jar");
    EXPECT_FALSE(c.texts.hasReplacement);
    OptionList expected = {"-classpath", "lib\\other.jar"};
    EXPECT_EQ(c.options, expected);
    EXPECT_EQ(c.includes, std::vector<std::wstring>{L"extra.vmoptions"});
}

TEST_F(LaunchVmOptions, FirstMatchingVersionLineWins) {
    storeConfigValue(123, "-Dconfigured=1");
    storeConfigValue(10200, "3");
    storeConfigValue(10201, "1.7");
    storeConfigValue(10202, "-Dseven=1");
    storeConfigValue(10203, "1.8");
    storeConfigValue(10204, "-Deight=1 \"-Dwith space=1\"");
    storeConfigValue(10205, "1.8.0_131");
    storeConfigValue(10206, "-Dlonger=1");
    Collected c = collect({}, "1.80");
    OptionList expected = {"-Dconfigured=1", "-Deight=1", "-Dwith space=1"};
    EXPECT_EQ(c.options, expected);
    std::vector<std::wstring> log = capturedLog();
    std::vector<std::wstring> expectedLog = {L"adding options", L"check 3 version specific vm option lines for 1.80",
                                             L"checking version 1.7 0", L"checking version 1.8 1",
                                             L"adding specific -Deight=1 \"-Dwith space=1\""};
    EXPECT_EQ(log, expectedLog);

    // The longer prefix would match too, but the earlier line wins.
    c = collect({}, "1.8.0_131");
    EXPECT_EQ(c.options, expected);
}

TEST_F(LaunchVmOptions, VersionLinesNeedARecordedVersion) {
    storeConfigValue(10200, "1");
    storeConfigValue(10201, "");
    storeConfigValue(10202, "-Dany=1");
    Collected c = collect({}, nullptr);
    EXPECT_TRUE(c.options.empty());
    std::vector<std::wstring> expectedLog = {L"adding options", L"check 1 version specific vm option lines for (null)"};
    EXPECT_EQ(capturedLog(), expectedLog);

    // An empty prefix matches every recorded version.
    c = collect({}, "17");
    OptionList expected = {"-Dany=1"};
    EXPECT_EQ(c.options, expected);

    // No lines configured: not even the first log line.
    clearStores();
    clearCapturedLog();
    collect({}, "17");
    EXPECT_FALSE(logContains(L"check 0 version specific vm option lines for 17"));
}

TEST_F(LaunchVmOptions, JavaArgumentsBecomeOptionsOnlyWhenConfigured) {
    ArgumentVector arguments = {L"-Jfirst", L"a", L"-J-Xmx1g", L"b", L"-J", L"-j-Xss1m"};
    Collected c = collect(arguments);
    EXPECT_TRUE(c.options.empty());

    storeConfigValue(125, "1");
    storeConfigValue(123, "-Dconfigured=1");
    c = collect(arguments);
    OptionList expected = {"-Dconfigured=1", "first", "-Xmx1g", ""};
    EXPECT_EQ(c.options, expected);

    // A -J argument may carry a directive.
    c = collect({L"-J-classpath/p c:\\pre.jar"});
    EXPECT_TRUE(c.texts.hasPrefix);
    EXPECT_EQ(c.texts.prefix, "c:\\pre.jar");
}

TEST_F(LaunchVmOptions, OnlyTheLastLocaleSwitchCountsAndAddsTheUserLocale) {
    Collected c = collect({L"-Dsun.locale.formatasdefault=true", L"x", L"-Dsun.locale.formatasdefault=false"});
    OptionList expected = {"-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=CH"};
    EXPECT_EQ(c.options, expected);

    c = collect({L"-Dsun.locale.formatasdefault=false", L"-Dsun.locale.formatasdefault=true"});
    expected = {"-Dsun.locale.formatasdefault=true"};
    EXPECT_EQ(c.options, expected);

    // Without a country only the language follows.
    setDetectedLocale("no_NO_NY");
    c = collect({L"-Dsun.locale.formatasdefault="});
    expected = {"-Dsun.locale.formatasdefault=", "-Duser.language=no"};
    EXPECT_EQ(c.options, expected);

    // No switch, no locale options.
    c = collect({L"-Dsun.locale.formatasdefaul=x", L"-Duser.language=fr"});
    EXPECT_TRUE(c.options.empty());
}

TEST_F(LaunchVmOptions, SourcesKeepTheirOrder) {
    storeConfigValue(123, "-Dconfigured=1");
    storeConfigValue(125, "1");
    storeConfigValue(10200, "1");
    storeConfigValue(10201, "1.8");
    storeConfigValue(10202, "-Dversion=1");
    Collected c = collect({L"-Dsun.locale.formatasdefault=no", L"-J-Dcommand=1"});
    OptionList expected = {"-Dconfigured=1", "-Dversion=1", "-Dcommand=1", "-Dsun.locale.formatasdefault=no",
                           "-Duser.language=de", "-Duser.country=CH"};
    EXPECT_EQ(c.options, expected);
}

TEST(LaunchOptionListEnd, ServiceSwitchesAndNoRedirection) {
    clearCapturedLog();
    OptionList options = {"-Dx=1"};
    closeOptionList(options, true, true);
    OptionList expected = {"-Dx=1", "-Xrs", "-Dvantrel.noRedir=true"};
    EXPECT_EQ(options, expected);
    EXPECT_TRUE(logContains(L"service: adding -Xrs"));

    clearCapturedLog();
    options = {"-Xrs", "-Dx=1"};
    closeOptionList(options, true, false);
    expected = {"-Xrs", "-Dx=1"};
    EXPECT_EQ(options, expected);
    EXPECT_FALSE(logContains(L"service: adding -Xrs"));

    // The comparison is exact: other spellings do not count.
    options = {"-XRS", " -Xrs"};
    closeOptionList(options, true, false);
    expected = {"-XRS", " -Xrs", "-Xrs"};
    EXPECT_EQ(options, expected);

    options = {};
    closeOptionList(options, false, false);
    EXPECT_TRUE(options.empty());
}

TEST(LaunchOptionListEnd, RollingOfTheRedirectionFilesOnlyWhenRedirected) {
    clearStores();
    clearCapturedLog();
    storeConfigValue(key::RedirectMaxSize, "1048576");
    storeConfigValue(key::RedirectKeep, "3");
    OptionList options;
    closeOptionList(options, false, false);
    EXPECT_EQ(options, (OptionList{"-Dvantrel.redirect.maxSize=1048576", "-Dvantrel.redirect.keep=3"}));
    // /run redirects nothing, so there is nothing to roll.
    options.clear();
    closeOptionList(options, false, true);
    EXPECT_EQ(options, (OptionList{"-Dvantrel.noRedir=true"}));

    // Without a count the runtime keeps its default; a value it would refuse
    // is left out with a line.
    clearStores();
    storeConfigValue(key::RedirectMaxSize, "4096");
    options.clear();
    closeOptionList(options, true, false);
    EXPECT_EQ(options, (OptionList{"-Xrs", "-Dvantrel.redirect.maxSize=4096"}));
    storeConfigValue(key::RedirectMaxSize, "10 MB");
    options.clear();
    closeOptionList(options, false, false);
    EXPECT_TRUE(options.empty());
    EXPECT_TRUE(logContains(L"ERROR: config keys 183 and 184 hold \"10 MB\" and \"\", not a size in bytes and a count "
                            L"from 0 to 999; the redirection files do not roll"));
    clearStores();
}

