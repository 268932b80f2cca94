#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "launch/launchargs.h"
#include "launch/nativepath.h"
#include "tests/support/log_capture.h"

namespace {

LauncherPropertyValues serviceExample() {
    LauncherPropertyValues v;
    v.semaphoreName = "Local\\c:_app_server.exe";
    v.family = 'v';
    v.serviceMode = true;
    v.modulePath = "c:\\app\\server.exe";
    v.tempDirectory = "";
    v.unextractedPosition = 0;
    v.hasPath = true;
    v.path = "c:\\windows;c:\\jre\\bin";
    v.hasConsoleCodepage = true;
    v.consoleCodepage = 850;
    return v;
}

LauncherArgumentValues serviceChildExample() {
    LauncherArgumentValues v;
    v.executableType = 4;
    v.mainClass = L"com.example.Main";
    v.errorFile = L"c:\\app\\error.log+";
    v.outputFile = L"c:\\app\\output.log";
    v.runtimeFlag = true;
    return v;
}

}  // namespace

TEST(LaunchProperties, ServiceExampleInOrder) {
    OptionList expected = {"-Dmorlin.semaphoreName=Local\\c:_app_server.exe",
                           "-Dmorlin.isVantrel=true",
                           "-Dmorlin.isService=true",
                           "-Dmorlin.moduleName=c:\\app\\server.exe",
                           "-Dsun.java.command=c:\\app\\server.exe",
                           "-Dmorlin.tempDir=",
                           "-Dmorlin.unextractedPosition=0",
                           "-Djava.library.path=c:\\windows;c:\\jre\\bin",
                           "-Dmorlin.consoleCodepage=cp850"};
    EXPECT_EQ(buildLauncherProperties(serviceExample()), expected);
}

TEST(LaunchProperties, ConditionalPropertiesAndValues) {
    LauncherPropertyValues v = serviceExample();
    v.semaphoreName = "";  // the guard has not set one
    v.family = 'm';
    v.serviceMode = false;
    v.tempDirectory = "c:\\temp\\vtl1.tmp";
    v.unextractedPosition = 5000000000ULL;
    v.hasPath = false;
    v.hasConsoleCodepage = false;  // MANPATH defined
    OptionList expected = {"-Dmorlin.semaphoreName=",
                           "-Dmorlin.moduleName=c:\\app\\server.exe",
                           "-Dsun.java.command=c:\\app\\server.exe",
                           "-Dmorlin.tempDir=c:\\temp\\vtl1.tmp",
                           "-Dmorlin.unextractedPosition=5000000000",
                           "-Djava.library.path="};
    EXPECT_EQ(buildLauncherProperties(v), expected);

    // Without a console the code page is whatever the system answers, 0 too.
    v.hasConsoleCodepage = true;
    v.consoleCodepage = 0;
    EXPECT_EQ(buildLauncherProperties(v).back(), "-Dmorlin.consoleCodepage=cp0");
}

TEST(LaunchProperties, LibraryPathTakesPathUpToTheEnvironmentLimit) {
    // A developer machine's PATH passes 12000 characters easily.
    std::string fits(32767, 'p');
    EXPECT_EQ(libraryPathOption(true, std::string(13000, 'p')), "-Djava.library.path=" + std::string(13000, 'p'));
    EXPECT_EQ(libraryPathOption(true, fits), "-Djava.library.path=" + fits);
    clearCapturedLog();
    EXPECT_EQ(libraryPathOption(true, fits + "q"), "-Djava.library.path=");
    EXPECT_TRUE(logContains(L"ERROR: PATH is too long (32768 characters) for the library path"));
    EXPECT_EQ(libraryPathOption(true, ""), "-Djava.library.path=");
    EXPECT_EQ(libraryPathOption(false, "ignored"), "-Djava.library.path=");
}

TEST(LaunchProperties, APropertyThatDoesNotFitIsLeftOutNotCut) {
    clearCapturedLog();
    LauncherPropertyValues v = serviceExample();
    v.modulePath = std::string(5980, 'm');  // "-Dmorlin.moduleName=" + 5980 > 5999
    OptionList list = buildLauncherProperties(v);
    for (const std::string& option : list) {
        EXPECT_NE(option.rfind("-Dmorlin.moduleName=", 0), 0u);
        EXPECT_LT(option.size(), kPropertyCapacity);
    }
    // "-Dsun.java.command=" is one character shorter and still fits.
    EXPECT_NE(std::find(list.begin(), list.end(), "-Dsun.java.command=" + v.modulePath), list.end());
    EXPECT_TRUE(logContains(L"ERROR: launcher property morlin.moduleName does not fit its buffer, left out"));
}

TEST(LaunchArguments, ServiceChildExample) {
    ArgumentVector expected = {L"false", L"com.example.Main", L"c:\\app\\error.log+", L"c:\\app\\output.log", L"true",
                               L"svc"};
    EXPECT_EQ(buildLauncherArguments(serviceChildExample(), {L"svc"}, {}, false), expected);
}

TEST(LaunchArguments, FirstArgumentThenFixedThenFilteredRest) {
    LauncherArgumentValues v = serviceChildExample();
    v.executableType = 1;
    v.errorFile = L"";
    v.outputFile = L"";
    v.runtimeFlag = false;
    ArgumentVector head = {L"true", L"com.example.Main", L"", L"", L"false"};

    ArgumentVector expected = head;
    expected.insert(expected.end(), {L"a", L"f1", L"f2", L"b"});
    EXPECT_EQ(buildLauncherArguments(v, {L"a", L"-Jx", L"b"}, {L"f1", L"f2"}, true), expected);

    // Without key 125 the -J arguments reach the application.
    expected = head;
    expected.insert(expected.end(), {L"a", L"f1", L"-Jx", L"b"});
    EXPECT_EQ(buildLauncherArguments(v, {L"a", L"-Jx", L"b"}, {L"f1"}, false), expected);

    // The first argument is never filtered, even a -J or locale one.
    expected = head;
    expected.insert(expected.end(), {L"-Jfirst", L"f1", L"keep"});
    EXPECT_EQ(buildLauncherArguments(v, {L"-Jfirst", L"-Jx", L"keep", L"-Dsun.locale.formatasdefault=true"}, {L"f1"},
                                     true),
              expected);
    expected = head;
    expected.insert(expected.end(), {L"-Dsun.locale.formatasdefault=true", L"-Dsun.locale.formatasdefaults"});
    EXPECT_EQ(buildLauncherArguments(v,
                                     {L"-Dsun.locale.formatasdefault=true", L"-Dsun.locale.formatasdefault=false",
                                      L"-Dsun.locale.formatasdefaults"},
                                     {}, false),
              expected);

    // No arguments: the fixed ones still follow the five launcher values.
    expected = head;
    expected.insert(expected.end(), {L"f1", L"f2"});
    EXPECT_EQ(buildLauncherArguments(v, {}, {L"f1", L"f2"}, true), expected);
    EXPECT_EQ(buildLauncherArguments(v, {}, {}, true), head);
}

TEST(LaunchArguments, GuiFlagOnlyForTypeOne) {
    LauncherArgumentValues v = serviceChildExample();
    for (int type : {0, 2, 4, 5, -1}) {
        v.executableType = type;
        EXPECT_EQ(buildLauncherArguments(v, {}, {}, false)[0], L"false") << type;
    }
    v.executableType = 1;
    EXPECT_EQ(buildLauncherArguments(v, {}, {}, false)[0], L"true");
}

TEST(LaunchArguments, DollarNamesAreVerbatim) {
    EXPECT_TRUE(isVerbatimRedirection(L"$x"));
    EXPECT_TRUE(isVerbatimRedirection(L"$"));
    EXPECT_FALSE(isVerbatimRedirection(L"error.log+"));
    EXPECT_FALSE(isVerbatimRedirection(L"x$"));
    EXPECT_FALSE(isVerbatimRedirection(L""));
}

TEST(LaunchNativePath, DirectoriesGoInFrontOfPath) {
    char out[64];
    EXPECT_TRUE(composeNativePath(out, sizeof out, "c:\\app\\lib;c:\\native", "c:\\windows"));
    EXPECT_STREQ(out, "c:\\app\\lib;c:\\native;c:\\windows");
    EXPECT_TRUE(composeNativePath(out, sizeof out, "c:\\app\\lib;", "c:\\windows"));
    EXPECT_STREQ(out, "c:\\app\\lib;c:\\windows");
    EXPECT_TRUE(composeNativePath(out, sizeof out, "", "c:\\windows"));
    EXPECT_STREQ(out, "c:\\windows");
    EXPECT_TRUE(composeNativePath(out, sizeof out, "c:\\app\\lib", nullptr));
    EXPECT_STREQ(out, "c:\\app\\lib;");
    EXPECT_TRUE(composeNativePath(out, sizeof out, "", nullptr));
    EXPECT_STREQ(out, "");
}

TEST(LaunchNativePath, AValueThatDoesNotFitIsRefusedWhole) {
    char out[16];
    EXPECT_TRUE(composeNativePath(out, sizeof out, "c:\\a", "c:\\windows"));  // 15 characters
    EXPECT_STREQ(out, "c:\\a;c:\\windows");
    EXPECT_FALSE(composeNativePath(out, sizeof out, "c:\\ab", "c:\\windows"));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(composeNativePath(out, sizeof out, "c:\\abcdefghijklmnop", nullptr));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(composeNativePath(out, sizeof out, "c:\\abcdefghijkl", nullptr));  // the ";" no longer fits
    EXPECT_STREQ(out, "");
}

TEST(LaunchModifiedUtf8, EncodesEachCodeUnit) {
    EXPECT_EQ(toModifiedUtf8(L"Version 1.0"), "Version 1.0");
    EXPECT_EQ(toModifiedUtf8(L"caf\u00e9"), "caf\xc3\xa9");
    EXPECT_EQ(toModifiedUtf8(L"\u20ac"), "\xe2\x82\xac");
    EXPECT_EQ(toModifiedUtf8(L"\u07ff\u0800"), "\xdf\xbf\xe0\xa0\x80");
    EXPECT_EQ(toModifiedUtf8(std::wstring(1, L'\0')), "\xc0\x80");
    // A surrogate pair: two three-byte sequences, not one four-byte one.
    std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(toModifiedUtf8(pair), "\xed\xa0\xbd\xed\xb8\x80");
    EXPECT_EQ(toModifiedUtf8(L""), "");
}
