#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/locale.h"
#include "config/store.h"
#include "launch/sharing.h"
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

// --- Class-data sharing: which options a runtime gets, and which files
// the launcher trusts.

TEST(LaunchSharing, FeatureVersionAndKindByRuntime) {
    struct Case {
        const char* version;
        int feature;
        SharingKind kind;
    } cases[] = {
        {"1.8.0_121", 8, SharingKind::None},       {"11.0.2", 11, SharingKind::None},
        {"13", 13, SharingKind::ArchiveAtExit},     {"17.0.15", 17, SharingKind::ArchiveAtExit},
        {"18.0.2.1", 18, SharingKind::ArchiveAtExit}, {"19-ea", 19, SharingKind::AutoCreate},
        {"24.0.1", 24, SharingKind::AutoCreate},    {"25", 25, SharingKind::AotCache},
        {"26.0.1+7", 26, SharingKind::AotCache},    {"", 0, SharingKind::None},
        {"unknown", 0, SharingKind::None},          {"1", 0, SharingKind::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(javaFeatureVersion(c.version), c.feature) << c.version;
        EXPECT_EQ(sharingKindFor(javaFeatureVersion(c.version)), c.kind) << c.version;
    }
    EXPECT_EQ(javaFeatureVersion(nullptr), 0);
}

TEST(LaunchSharing, OptionsByKindUsabilityAndWriter) {
    const std::string a = "c:\\cds\\java17-x.100.jsa", s = "c:\\cds\\java17-x.42.tmp";
    using L = OptionList;
    EXPECT_EQ(sharingOptions(SharingKind::ArchiveAtExit, a, s, true, true), L({"-XX:SharedArchiveFile=" + a}));
    EXPECT_EQ(sharingOptions(SharingKind::ArchiveAtExit, a, s, false, true), L({"-XX:ArchiveClassesAtExit=" + s}));
    EXPECT_EQ(sharingOptions(SharingKind::ArchiveAtExit, a, s, false, false), L());
    EXPECT_EQ(sharingOptions(SharingKind::AutoCreate, a, s, true, false), L({"-XX:SharedArchiveFile=" + a}));
    EXPECT_EQ(sharingOptions(SharingKind::AutoCreate, a, s, false, true),
              L({"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + s}));
    EXPECT_EQ(sharingOptions(SharingKind::AotCache, a, s, true, true), L({"-XX:AOTCache=" + a}));
    EXPECT_EQ(sharingOptions(SharingKind::AotCache, a, s, false, true),
              L({"-XX:+UnlockDiagnosticVMOptions", "-XX:-DisplayVMOutput", "-XX:AOTCacheOutput=" + s}));
    EXPECT_EQ(sharingOptions(SharingKind::AotCache, a, s, false, false), L());
    EXPECT_EQ(sharingOptions(SharingKind::None, a, s, true, true), L());
}

TEST(LaunchSharing, TheApplicationsOwnSharingOptionsWin) {
    for (const char* own : {"-Xshare:off", "-Xshare:on", "-XX:SharedArchiveFile=my.jsa", "-XX:AOTCache=app.aot",
                            "-XX:ArchiveClassesAtExit=x.jsa", "-XX:+AutoCreateSharedArchive", "-XX:AOTMode=off",
                            "-XX:-UseSharedSpaces"}) {
        OptionList options = {"-Dmorlin.isVantrel=true", "-Xmx64m", own, "-Djava.class.path=a.jar"};
        const std::string* found = ownSharingOption(options);
        ASSERT_NE(found, nullptr) << own;
        EXPECT_EQ(*found, own);
    }
    EXPECT_EQ(ownSharingOption({"-Xmx64m", "-Dshare=-Xshare:off", "-XX:+UseSerialGC"}), nullptr);
}

TEST(LaunchSharing, FingerprintFollowsRuntimeOptionsAndJarsButNotProperties) {
    OptionList options = {"-Dmorlin.tempDir=c:\\t\\1", "-Xmx64m", "-Djava.class.path=c:\\a\\x.jar;c:\\a\\y.jar"};
    std::vector<FileStamp> stamps(2);
    stamps[0].size = 10;
    stamps[1].writeTime = 5;
    uint64_t base = sharingFingerprint("C:\\JRE", "17.0.15", options, stamps);
    EXPECT_EQ(base, sharingFingerprint("c:\\jre", "17.0.15", options, stamps)) << "the home's case";
    OptionList otherTemp = options;
    otherTemp[0] = "-Dmorlin.tempDir=c:\\t\\2";
    EXPECT_EQ(base, sharingFingerprint("C:\\JRE", "17.0.15", otherTemp, stamps)) << "a property";

    EXPECT_NE(base, sharingFingerprint("C:\\JRE2", "17.0.15", options, stamps));
    EXPECT_NE(base, sharingFingerprint("C:\\JRE", "17.0.16", options, stamps));
    OptionList otherHeap = options;
    otherHeap[1] = "-Xmx4g";
    EXPECT_NE(base, sharingFingerprint("C:\\JRE", "17.0.15", otherHeap, stamps));
    OptionList otherPath = options;
    otherPath[2] = "-Djava.class.path=c:\\a\\x.jar";
    EXPECT_NE(base, sharingFingerprint("C:\\JRE", "17.0.15", otherPath, stamps));
    std::vector<FileStamp> updated = stamps;
    updated[1].writeTime = 6;  // a jar replaced in place
    EXPECT_NE(base, sharingFingerprint("C:\\JRE", "17.0.15", options, updated));

    EXPECT_EQ(classPathElements(options), (std::vector<std::string>{"c:\\a\\x.jar", "c:\\a\\y.jar"}));
    EXPECT_EQ(classPathElements({"-Djava.class.path=;a.jar;;", "-Xmx1m"}), std::vector<std::string>{"a.jar"});
    EXPECT_TRUE(classPathElements({"-Xmx1m"}).empty());
}

TEST(LaunchSharing, FileNamesRecordTheSizeAndAreReadBackExactly) {
    std::string stem = sharingStem(17, 0xFEDCBA9876543210ull);
    EXPECT_EQ(stem, "java17-ba9876543210");
    EXPECT_EQ(archiveFileName(stem, SharingKind::ArchiveAtExit, 118784), stem + ".118784.jsa");
    EXPECT_EQ(archiveFileName(stem, SharingKind::AotCache, 9), stem + ".9.aot");
    uint64_t size = 0;
    EXPECT_TRUE(parseArchiveFileName(stem + ".118784.jsa", stem, SharingKind::ArchiveAtExit, &size));
    EXPECT_EQ(size, 118784u);
    EXPECT_TRUE(parseArchiveFileName("JAVA17-BA9876543210.5.JSA", stem, SharingKind::AutoCreate, &size));
    EXPECT_EQ(size, 5u);
    for (const std::string& bad : std::vector<std::string>{stem + ".jsa", stem + "..jsa", stem + ".12x.jsa", stem + ".12.aot",
                                   stem + "0.12.jsa", "java17-000000000000.12.jsa",
                                   stem + ".99999999999999999999999.jsa"})
        EXPECT_FALSE(parseArchiveFileName(bad, stem, SharingKind::ArchiveAtExit, &size)) << bad;

    EXPECT_EQ(scratchFileName(stem, 4242), stem + ".4242.tmp");
    EXPECT_TRUE(isScratchFileName(stem + ".4242.tmp", stem));
    EXPECT_FALSE(isScratchFileName(stem + ".lock", stem));
    EXPECT_FALSE(isScratchFileName(stem + "..tmp", stem));
    EXPECT_TRUE(isSharingFileName(stem + ".lock"));
    EXPECT_TRUE(isSharingFileName("java25-00000000abcd.7.aot"));
    EXPECT_FALSE(isSharingFileName("java-00000000abcd.7.aot"));
    EXPECT_FALSE(isSharingFileName("java17-abc.jsa"));
    EXPECT_FALSE(isSharingFileName("notes.txt"));
}

TEST(LaunchSharing, ApplicationFoldersAndArchiveMagic) {
    EXPECT_EQ(applicationFolderName("com.example/App:1", "c:\\x\\a.exe"), "com.example_App_1");
    EXPECT_EQ(applicationFolderName("..", "c:\\x\\a.exe"), ".._");
    EXPECT_EQ(applicationFolderName(std::string(100, 'a').c_str(), ""), std::string(64, 'a'));
    std::string byPath = applicationFolderName("", "C:\\Apps\\My App.exe");
    EXPECT_EQ(byPath.substr(0, 7), "My_App-");
    EXPECT_EQ(byPath.size(), 15u);
    // The same folder on Windows, whose names ignore case.
    std::string otherCase = applicationFolderName(nullptr, "c:\\apps\\my app.EXE");
    EXPECT_EQ(byPath.substr(6), otherCase.substr(6)) << "a path in another case";
    EXPECT_NE(byPath, applicationFolderName("", "C:\\Other\\My App.exe"));

    const unsigned char dynamicHead[] = {0xA8, 0xAB, 0x0B, 0xF0}, staticHead[] = {0xA2, 0xAB, 0x0B, 0xF0};
    const unsigned char zeros[] = {0, 0, 0, 0};
    EXPECT_TRUE(hasArchiveMagic(dynamicHead, 4));
    EXPECT_TRUE(hasArchiveMagic(staticHead, 4));
    EXPECT_FALSE(hasArchiveMagic(zeros, 4)) << "a file cut before the VM wrote its header";
    EXPECT_FALSE(hasArchiveMagic(dynamicHead, 3));

    EXPECT_EQ(staleArchives({{"a", 1}, {"b", 3}, {"c", 2}, {"d", 0}}, 2), (std::vector<std::string>{"a", "d"}));
    EXPECT_TRUE(staleArchives({{"a", 1}}, 2).empty());
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

