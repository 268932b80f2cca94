#include "hostjvm/src/hostopts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// A Wine-like mapping: only existing folders and files map; "C:\x" maps
// to "/c/x" when x exists, otherwise translation fails.
struct FakeDrive {
    std::set<std::string> existing;
    int calls = 0;
};

bool fakeTranslate(const std::string& windowsPath, std::string& unixPath, void* context) {
    FakeDrive& drive = *static_cast<FakeDrive*>(context);
    ++drive.calls;
    std::string key = windowsPath;
    if (key.size() > 3 && (key.back() == '\\' || key.back() == '/')) key.pop_back();
    if (!drive.existing.count(key)) return false;
    std::string out = "/c";
    for (size_t i = 2; i < key.size(); ++i) out += key[i] == '\\' ? '/' : key[i];
    unixPath = out;
    return true;
}

FakeDrive drive() {
    FakeDrive d;
    d.existing = {"C:\\", "C:\\app", "C:\\app\\lib", "C:\\app\\lib\\a.jar", "C:\\Program Files"};
    return d;
}

TEST(HostPaths, ExistingPathsTranslateWhole) {
    FakeDrive d = drive();
    EXPECT_EQ("/c/app/lib/a.jar", translatePath("C:\\app\\lib\\a.jar", fakeTranslate, &d));
}

TEST(HostPaths, MissingPartsAreAppendedToTheLongestExistingPrefix) {
    FakeDrive d = drive();
    EXPECT_EQ("/c/app/lib/missing.jar", translatePath("C:\\app\\lib\\missing.jar", fakeTranslate, &d));
    EXPECT_EQ("/c/app/new/deeper/x.jar", translatePath("C:\\app\\new\\deeper\\x.jar", fakeTranslate, &d));
    // Only the drive exists: its root maps and everything else is appended.
    EXPECT_EQ("/c/nothing/here", translatePath("C:\\nothing\\here", fakeTranslate, &d));
    EXPECT_EQ("/c/app/lib/*", translatePath("C:\\app\\lib\\*", fakeTranslate, &d));
}

TEST(HostPaths, UntranslatablePathsStayAsTheyWere) {
    FakeDrive d = drive();
    EXPECT_EQ("Q:\\elsewhere\\a.jar", translatePath("Q:\\elsewhere\\a.jar", fakeTranslate, &d));
    EXPECT_EQ("relative", translatePath("relative", fakeTranslate, &d));
    // A root that does not map must not make the search go round forever.
    EXPECT_EQ("Q:\\", translatePath("Q:\\", fakeTranslate, &d));
    EXPECT_LT(d.calls, 20);
}

TEST(HostPaths, ListsUseColonsAndKeepEmptyElements) {
    FakeDrive d = drive();
    EXPECT_EQ("/c/app/lib/a.jar:/c/Program Files/x:", translatePathList("C:\\app\\lib\\a.jar;C:\\Program Files\\x;", ':', fakeTranslate, &d));
    EXPECT_EQ("/c/app::/c/app/lib", translatePathList("C:\\app;;C:\\app\\lib", ':', fakeTranslate, &d));
    EXPECT_EQ("", translatePathList("", ':', fakeTranslate, &d));
}

TEST(HostOptionKinds, VmOptionsPassAndLauncherOptionsDoNot) {
    for (const char* option : {"-Dx=y", "-Xmx512m", "-Xrs", "-Xss2m", "-XX:+UseG1GC", "-verbose", "-verbose:gc",
                               "-ea", "-da:com.x...", "-esa", "-enableassertions:pkg", "-javaagent:a.jar",
                               "-agentlib:jdwp=transport=dt_socket", "--add-opens=java.base/java.lang=ALL-UNNAMED",
                               "--enable-preview", "-Xbootclasspath/a:x.jar"}) {
        EXPECT_EQ(OptionKind::pass, classifyOption(option)) << option;
    }
    for (const char* option : {"-version", "-cp", "-jar", "main.Class", "-X", "-XshowSettings:all", "-Xdiag", "-D",
                               "--add-opens", "-server", "@args.txt", "", "-eax"}) {
        EXPECT_EQ(OptionKind::unrecognized, classifyOption(option)) << option;
    }
    for (const char* option : {"vfprintf", "exit", "abort"}) {
        EXPECT_EQ(OptionKind::hook, classifyOption(option)) << option;
    }
}

TEST(HostOptions, IgnoringUnrecognizedDropsThemAndTellsTheVm) {
    FakeDrive d = drive();
    HostOptions out;
    std::string error;
    ASSERT_TRUE(buildHostOptions({"-Xrs", "-version", "-Dk=v", "exit", "main.Class"}, true, ':', fakeTranslate, &d, out, error));
    std::vector<std::string> expected = {"-XX:+IgnoreUnrecognizedVMOptions", "-Djava.class.path=", "-Xrs", "-Dk=v"};
    EXPECT_EQ(expected, out.vmArgs);
}

TEST(HostOptions, StrictCreationRefusesAnUnrecognizedOption) {
    FakeDrive d = drive();
    HostOptions out;
    std::string error;
    EXPECT_FALSE(buildHostOptions({"-Xrs", "-cp"}, false, ':', fakeTranslate, &d, out, error));
    EXPECT_EQ("Unrecognized option: -cp", error);
    ASSERT_TRUE(buildHostOptions({"-Xrs", "vfprintf"}, false, ':', fakeTranslate, &d, out, error));
    std::vector<std::string> expected = {"-Djava.class.path=", "-Xrs"};
    EXPECT_EQ(expected, out.vmArgs);
}

TEST(HostOptions, PathOptionsAreTranslatedAndOthersKeptByteForByte) {
    FakeDrive d = drive();
    HostOptions out;
    std::string error;
    ASSERT_TRUE(buildHostOptions({"-Djava.class.path=C:\\app\\lib\\a.jar;C:\\app\\lib\\b.jar",
                                  "-Djava.library.path=C:\\app;C:\\gone",
                                  "-Xbootclasspath/a:C:\\app\\lib\\a.jar",
                                  "-javaagent:C:\\app\\lib\\a.jar=opt=C:\\app",
                                  "-Dmorlin.tempDir=C:\\app\\tmp",
                                  "-Dtext=Gr\xc3\xbc\xc3\x9f" "e"},
                                 true, ':', fakeTranslate, &d, out, error));
    ASSERT_EQ(8u, out.vmArgs.size());
    EXPECT_EQ("-Djava.class.path=/c/app/lib/a.jar:/c/app/lib/b.jar", out.vmArgs[2]);
    EXPECT_EQ("-Djava.library.path=/c/app:/c/gone", out.vmArgs[3]);
    EXPECT_EQ("-Xbootclasspath/a:/c/app/lib/a.jar", out.vmArgs[4]);
    EXPECT_EQ("-javaagent:/c/app/lib/a.jar=opt=C:\\app", out.vmArgs[5]);
    EXPECT_EQ("-Dmorlin.tempDir=C:\\app\\tmp", out.vmArgs[6]);
    EXPECT_EQ("-Dtext=Gr\xc3\xbc\xc3\x9f" "e", out.vmArgs[7]);
}

TEST(HostOptions, ListsCanTravelWithAnotherSeparator) {
    FakeDrive d = drive();
    HostOptions out;
    std::string error;
    ASSERT_TRUE(buildHostOptions({"-Djava.class.path=C:\\app;C:\\app\\lib", "-Dother=a;b"}, true, '\x1f',
                                 fakeTranslate, &d, out, error));
    EXPECT_EQ("-Djava.class.path=/c/app\x1f/c/app/lib", out.vmArgs[2]);
    EXPECT_EQ("-Dother=a;b", out.vmArgs[3]);
}

TEST(HostOptions, LauncherPropertiesAreRestoredOrCleared) {
    FakeDrive d = drive();
    HostOptions out;
    std::string error;
    ASSERT_TRUE(buildHostOptions({"-Dsun.java.command=C:\\app\\app.exe", "-Dsun.java.command.extra=1"}, true,
                                 ':', fakeTranslate, &d, out, error));
    ASSERT_EQ(2u, out.fixups.size());
    EXPECT_EQ("sun.java.command", out.fixups[0].key);
    EXPECT_TRUE(out.fixups[0].present);
    EXPECT_EQ("C:\\app\\app.exe", out.fixups[0].value);
    EXPECT_EQ("sun.java.launcher", out.fixups[1].key);
    EXPECT_FALSE(out.fixups[1].present);
}

}  // namespace
