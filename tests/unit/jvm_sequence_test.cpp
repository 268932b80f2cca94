#include <gtest/gtest.h>

#include <string>

#include "config/keys.h"
#include "jvm/ranking.h"
#include "jvm/registrations.h"
#include "jvm/runtimepaths.h"
#include "jvm/sequence.h"

TEST(SearchSequence, SplitsIntoLetterAndTextSkippingEmptyEntries) {
    auto entries = splitSearchSequence("B.\\jre;Y;EJAVA_HOME;EJDK_HOME;");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].letter, 'B');
    EXPECT_EQ(entries[0].text, ".\\jre");
    EXPECT_EQ(entries[1].letter, 'Y');
    EXPECT_EQ(entries[1].text, "");
    EXPECT_EQ(entries[2].text, "JAVA_HOME");
    EXPECT_EQ(entries[3].text, "JDK_HOME");

    entries = splitSearchSequence(";;b;A;;");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].letter, 'b');
    EXPECT_EQ(entries[1].letter, 'A');
    EXPECT_TRUE(splitSearchSequence("").empty());
    EXPECT_TRUE(splitSearchSequence(nullptr).empty());
}

TEST(SearchSequence, RelativePassVisitsBAlwaysAndAROnlyWhenRelative) {
    const struct {
        char letter;
        const char* text;
        bool visited;
    } cases[] = {
        {'B', ".\\jre", true},     {'B', "c:\\jre", true},     {'B', "\\\\srv\\jre", true},
        {'A', "c:\\jre", false},   {'A', "\\\\srv\\j", false}, {'A', "jre", true},
        {'A', "\\jre", true},      {'R', "x:", false},         {'R', "x", true},
        {'R', "", true},           {'E', "JAVA_HOME", false},  {'S', "", false},
        {'Y', "", false},          {'b', "jre", false},        {'a', "jre", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(visitedInRelativePass(SearchEntry{c.letter, c.text}), c.visited) << c.letter << c.text;
}

TEST(SearchSequence, OneFailureMessagePerSourceKindAndWidth) {
    const struct {
        int kind;
        bool wide;
        int id;
        FailureArgument argument;
        const wchar_t* width;
    } cases[] = {
        {kSourceNone, false, msg::NoJvmFound, FailureArgument::Width, L"32"},
        {kSourceNone, true, msg::NoJvmFound, FailureArgument::Width, L"64"},
        {kSourceSearchPath, false, msg::NoJvmFound, FailureArgument::Width, L"32"},
        {kSourceSearchPath, true, msg::NoJvmFound, FailureArgument::Width, L"64"},
        {kSourceDirectory, false, 1019, FailureArgument::Location, nullptr},
        {kSourceDirectory, true, 1020, FailureArgument::Location, nullptr},
        {kSourceEnvironment, false, 1017, FailureArgument::Location, nullptr},
        {kSourceEnvironment, true, 1018, FailureArgument::Location, nullptr},
        {kSourceRegistry, false, 1005, FailureArgument::None, nullptr},
        {kSourceRegistry, true, 1005, FailureArgument::None, nullptr},
    };
    for (const auto& c : cases) {
        FailureMessage m = failureMessageFor(c.kind, c.wide);
        EXPECT_EQ(m.id, c.id) << c.kind << c.wide;
        EXPECT_EQ(m.argument, c.argument) << c.kind << c.wide;
        if (c.width) {
            EXPECT_EQ(std::wstring(m.width), c.width);
        }
    }
}

TEST(Ranking, VersionSubkeysAreTriedGreatestFirstByBytes) {
    const VersionComponents none;
    using Names = std::vector<std::string>;
    EXPECT_EQ(orderVersionNames({"1.6.0_45", "1.8", "1.8.0_121"}, parseVersion("1.7"), none),
              (Names{"1.8.0_121", "1.8"}));
    EXPECT_EQ(orderVersionNames({"1.8.0_121", "1.8.0_45"}, none, none), (Names{"1.8.0_45", "1.8.0_121"}));
    EXPECT_EQ(orderVersionNames({"11", "9"}, none, none), (Names{"9", "11"}));
    // Bytes above 127 sort after ASCII, as unsigned values.
    EXPECT_EQ(orderVersionNames({"1.\xe9", "1.z"}, none, none), (Names{"1.\xe9", "1.z"}));
    // The range test is lenient: a family name passes a longer minimum.
    EXPECT_EQ(orderVersionNames({"1.8", "1.7"}, parseVersion("1.8.0_60"), parseVersion("1.8")), (Names{"1.8"}));
    EXPECT_TRUE(orderVersionNames({}, none, none).empty());
}

TEST(Ranking, TiesGoToTheSecondCandidate) {
    EXPECT_EQ(chooseCandidate(true, "1.8.0_121", true, "1.8.0_121"), Candidate::Second);
    EXPECT_EQ(chooseCandidate(true, "1.8.0_131", true, "1.8.0_121"), Candidate::First);
    EXPECT_EQ(chooseCandidate(true, "1.8", true, "1.8.0"), Candidate::Second);
    EXPECT_EQ(chooseCandidate(true, "1.8.0", true, "1.8"), Candidate::First);
    EXPECT_EQ(chooseCandidate(true, "1.8", false, ""), Candidate::First);
    EXPECT_EQ(chooseCandidate(false, "", true, "1.8"), Candidate::Second);
    EXPECT_EQ(chooseCandidate(false, "", false, ""), Candidate::None);
}

TEST(Ranking, NewestRegisteredCandidateWinsAndTheFirstOfEqualOnes) {
    using Versions = std::vector<std::string>;
    EXPECT_EQ(newestCandidate(Versions{}), 0u);
    EXPECT_EQ(newestCandidate(Versions{"17.0.2"}), 0u);
    // By value, not by bytes: 21 beats 17 and 9; 11.0.22 beats 11.0.3.
    EXPECT_EQ(newestCandidate(Versions{"17.0.2", "9.0.4", "21.0.1", "11"}), 2u);
    EXPECT_EQ(newestCandidate(Versions{"11.0.3", "11.0.22"}), 1u);
    // Equal versions: the earlier one (the machine's before the user's).
    EXPECT_EQ(newestCandidate(Versions{"21.0.2", "21.0.2"}), 0u);
    EXPECT_EQ(newestCandidate(Versions{"17", "21.0.2", "21.0.1", "21.0.2"}), 1u);
}

TEST(Registrations, HomesLoseTheirTrailingBackslash) {
    char home[32];
    EXPECT_TRUE(registeredHome("C:\\Program Files\\jdk\\", home, sizeof home));
    EXPECT_STREQ(home, "C:\\Program Files\\jdk");
    EXPECT_TRUE(registeredHome("C:\\jdk", home, sizeof home));
    EXPECT_STREQ(home, "C:\\jdk");
    EXPECT_FALSE(registeredHome("\\\\", home, sizeof home));
    EXPECT_FALSE(registeredHome("", home, sizeof home));
    EXPECT_FALSE(registeredHome(nullptr, home, sizeof home));
    // Cut, it would name another folder.
    EXPECT_FALSE(registeredHome(std::string(40, 'h').c_str(), home, sizeof home));
    EXPECT_STREQ(home, "");
}

TEST(Registrations, EveryMsiLayoutReadsPathAndEnumeratesTheVm) {
    for (size_t i = 0; i < registrationLayoutCount; ++i) {
        const RegistrationLayout& layout = registrationLayouts[i];
        std::string pattern = layout.keyPattern;
        ASSERT_EQ(pattern.rfind("SOFTWARE\\", 0), 0u) << pattern;
        // A MSI key's "JavaHome" is a number: its home is "Path".
        if (pattern.size() > 4 && pattern.compare(pattern.size() - 4, 4, "\\MSI") == 0) {
            EXPECT_STREQ(layout.homeValue, "Path") << pattern;
            EXPECT_NE(pattern.find("\\*\\*\\MSI"), std::string::npos) << pattern;
        }
    }
}

TEST(Ranking, SplitListSkipsEmptyPieces) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(splitList("c:\\a;;c:\\b;", ';'), (Names{"c:\\a", "c:\\b"}));
    EXPECT_TRUE(splitList("", ';').empty());
    EXPECT_TRUE(splitList(";;", ';').empty());
}

TEST(RuntimePaths, DerivedFromTheExecutablePath) {
    char out[64];
    EXPECT_TRUE(binDirectoryOf("c:\\jre\\bin\\java.exe", out, sizeof out));
    EXPECT_STREQ(out, "c:\\jre\\bin");
    EXPECT_TRUE(binDirectoryOf("c:\\jre\\bin\\javaw.exe", out, sizeof out));
    EXPECT_STREQ(out, "c:\\jre\\bin");
    EXPECT_TRUE(jvmHomeOf("c:\\jre\\bin\\java.exe", out, sizeof out));
    EXPECT_STREQ(out, "c:\\jre\\bin\\..");
    EXPECT_TRUE(jvmHomeOf("c:\\jre\\bin\\javaw.exe", out, sizeof out));
    EXPECT_STREQ(out, "c:\\jre\\bin\\..");
    // Whatever the last eight characters are, they are taken as the name.
    EXPECT_TRUE(jvmHomeOf("c:\\jre\\bin\\JAVAW.EXE", out, sizeof out));
    EXPECT_STREQ(out, "c:\\jre\\bin\\J..");
    EXPECT_TRUE(alternativeJavaExe("c:\\jdk\\bin\\java.exe", out, sizeof out));
    EXPECT_STREQ(out, "c:\\jdk\\bin\\..\\jre\\bin\\java.exe");
    EXPECT_TRUE(alternativeJavaExe("c:\\jdk\\bin\\javaw.exe", out, sizeof out));
    EXPECT_STREQ(out, "c:\\jdk\\bin\\..\\jre\\bin\\java.exe");
}

TEST(RuntimePaths, TooShortOrTooLongGivesNothing) {
    char out[16] = "x";
    EXPECT_FALSE(binDirectoryOf("java.exe", out, sizeof out));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(jvmHomeOf("a.exe", out, sizeof out));
    EXPECT_TRUE(jvmHomeOf("java.exe", out, sizeof out));
    EXPECT_STREQ(out, "..");
    EXPECT_FALSE(alternativeJavaExe("c:\\jdk\\bin\\java.exe", out, sizeof out));
    EXPECT_STREQ(out, "");
    char bin[10];
    EXPECT_FALSE(binDirectoryOf("c:\\jre\\bin\\java.exe", bin, sizeof bin));
    EXPECT_STREQ(bin, "");
}

TEST(RuntimePaths, BinDirectoryJoinsPathUpToTheEnvironmentLimit) {
    char out[64];
    EXPECT_TRUE(pathWithBinDirectory("c:\\windows", "c:\\jre\\bin", 21, out, sizeof out));
    EXPECT_STREQ(out, "c:\\windows;c:\\jre\\bin");
    EXPECT_TRUE(pathWithBinDirectory("", "c:\\b", 5, out, sizeof out));
    EXPECT_STREQ(out, ";c:\\b");
    // One character past the limit, or past the buffer: nothing, not a cut value.
    EXPECT_FALSE(pathWithBinDirectory("c:\\windows", "c:\\jre\\bin", 20, out, sizeof out));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(pathWithBinDirectory("c:\\windows", "c:\\jre\\bin", 100, out, 20));
    EXPECT_STREQ(out, "");
}

TEST(RuntimePaths, WindowedExecutableName) {
    char path[32] = "c:\\jre\\bin\\java.exe";
    EXPECT_TRUE(windowedJavaExe(path, sizeof path));
    EXPECT_STREQ(path, "c:\\jre\\bin\\javaw.exe");
    EXPECT_TRUE(windowedJavaExe(path, sizeof path));
    EXPECT_STREQ(path, "c:\\jre\\bin\\javaww.exe");
    char tight[20] = "c:\\jre\\bin\\java.exe";  // 19 characters: no room for one more
    EXPECT_FALSE(windowedJavaExe(tight, sizeof tight));
    EXPECT_STREQ(tight, "c:\\jre\\bin\\java.exe");
    char tiny[8] = "exe";
    EXPECT_FALSE(windowedJavaExe(tiny, sizeof tiny));
}
