#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/store.h"
#include "jvm/ranking.h"
#include "jvm/registrations.h"
#include "jvm/runtimepaths.h"
#include "jvm/search.h"
#include "jvm/sequence.h"
#include "tests/support/log_capture.h"

namespace {

// A machine for the search: which homes hold a runtime the bounds accept,
// which only a java.exe, and which candidates' jvm.dll loads. Every try is
// written down, so the order of the tries can be checked.
struct FakeMachine : SearchHooks {
    std::string preferred, installer;  // location file lines; empty: no file
    std::set<std::string> runtimes, javaOnly, variables, loadable;
    bool onPath = false, inRegistry = false;
    std::string previousMachine, cachedVersion, candidate;
    std::vector<std::string> calls;
    SearchOutcome outcome;

    bool found(const std::string& call, const std::string& exe, bool ok) {
        calls.push_back(call);
        candidate = ok ? exe : "";
        return ok;
    }
    const char* text(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }
    bool readLocationFile(const wchar_t* suffix, char* line, size_t cap) override {
        const std::string& s = wcsstr(suffix, L"\\pref_jre.cfg") ? preferred : installer;
        return !s.empty() && copyText(line, cap, s.c_str());
    }
    bool testLocation(const char* dir, const SearchBounds& bounds, bool existenceOnly) override {
        EXPECT_EQ(bounds.minimum, parseVersion("1.8"));
        bool exists = runtimes.count(dir) || javaOnly.count(dir);
        return found("location " + std::string(dir), dir, existenceOnly ? exists : runtimes.count(dir)) ||
               existenceOnly;
    }
    bool testEnvironmentVariable(const char* name, const SearchBounds&) override {
        return found("env " + std::string(name), "env:" + std::string(name), variables.count(name));
    }
    bool testSearchPath(const SearchBounds&) override { return found("path", "path", onPath); }
    bool scanRegistry(const SearchBounds&) override { return found("registry", "registry", inRegistry); }
    const char* previousInstallation(bool machine, const SearchBounds&) override {
        found(machine ? "previous machine" : "previous user", previousMachine, machine && !previousMachine.empty());
        return text(candidate);
    }
    const char* existingCandidate() override { return text(candidate); }
    const char* cachedCandidateVersion() override { return text(cachedVersion); }
    bool loadCandidate() override { return found("load " + candidate, candidate, loadable.count(candidate)); }
    void expand(char* t, size_t cap) override {
        if (strncmp(t, "%APP%", 5) == 0) copyText(t, cap, ("c:\\app" + std::string(t + 5)).c_str());
    }
    void search(const char* sequence) {
        clearStores();
        clearCapturedLog();
        storeConfigValue(key::SearchSequence, sequence);
        storeConfigValue(key::MinVersion, "1.8");
        searchJvmWith(*this, outcome);
        clearStores();
    }
};

using Lines = std::vector<std::wstring>;
using Calls = std::vector<std::string>;

}  // namespace

TEST(Search, EveryStageInOrderWhenNothingIsFound) {
    FakeMachine m;
    m.preferred = "c:\\pref";
    m.installer = "c:\\inst";
    // Absolute A and R entries, other letters and lower case skip the relative pass.
    m.search("Bjre;A%APP%\\jre;EJAVA_HOME;S;Y;Xbad;Ac:\\abs;R\\\\srv\\j;bjre");
    EXPECT_EQ(capturedLog(), (Lines{L"Searching for a JVM", L"MinVersion: 1.8, MaxVersion: ",
                                    L"Has preferred location c:\\pref", L"Testing location jre (type B)",
                                    L"Testing location c:\\app\\jre (type A)", L"Testing location JAVA_HOME (type E)",
                                    L"Testing location  (type S)", L"Testing location  (type Y)",
                                    L"Testing location bad (type X)", L"Testing location c:\\abs (type A)",
                                    L"Testing location \\\\srv\\j (type R)", L"Testing location jre (type b)",
                                    L"Has installer location c:\\inst", L"Testing relative location jre",
                                    L"Testing relative location %APP%\\jre", L"Search sequence finished"}));
    EXPECT_EQ(m.calls, (Calls{"location c:\\pref", "location jre", "location c:\\app\\jre", "env JAVA_HOME", "path",
                              "registry", "location c:\\abs", "location \\\\srv\\j", "location c:\\inst", "location jre",
                              "location %APP%\\jre", "previous user", "previous machine", "env MORLIN_JAVA_HOME",
                              "env VANTREL_JAVA_HOME"}));
    EXPECT_EQ(m.outcome.sourceKind, kSourceNone);
}

TEST(Search, StopsAtTheFirstLoadAndRemembersTheLastAcceptedCandidate) {
    FakeMachine m;
    m.runtimes = {"c:\\broken", "jre"};
    m.variables = {"JAVA_HOME"};
    m.loadable = {"env:JAVA_HOME", "jre"};
    m.search("Ac:\\broken;EJAVA_HOME;Bjre");
    EXPECT_EQ(m.calls, (Calls{"location c:\\broken", "load c:\\broken", "env JAVA_HOME", "load env:JAVA_HOME"}));
    EXPECT_EQ(m.outcome.sourceKind, kSourceEnvironment);
    EXPECT_EQ(m.outcome.locationText, "JAVA_HOME");
    EXPECT_TRUE(m.outcome.loaded);

    // The registry has no location text: the directory's stays for the message.
    m.calls.clear();
    m.inRegistry = true;
    m.search("Ac:\\broken;Y");
    EXPECT_EQ(m.outcome.sourceKind, kSourceRegistry);
    EXPECT_EQ(m.outcome.locationText, "c:\\broken");
    EXPECT_FALSE(m.outcome.loaded);
    EXPECT_EQ(m.calls.back(), "env VANTREL_JAVA_HOME");

    // The preferred location comes before the whole sequence.
    m.preferred = "jre";
    m.calls.clear();
    m.search("EJAVA_HOME");
    EXPECT_EQ(m.calls, (Calls{"location jre", "load jre"}));
    EXPECT_TRUE(logContains(L"Using preferred location"));
}

TEST(Search, RelativePassAndEarlierInstallations) {
    FakeMachine m;
    m.javaOnly = {"jre", "c:\\abs"};
    m.loadable = {"jre"};
    m.cachedVersion = "1.8.0_99";
    m.search("Ac:\\abs;Rmissing;Ajre");
    Lines log = capturedLog();
    EXPECT_EQ(Lines(log.end() - 4, log.end()), (Lines{L"Testing relative location missing",
                                                      L"Testing relative location jre", L"jre exists",
                                                      L"got version from registry 1.8.0_99"}));
    EXPECT_EQ(m.outcome.locationText, "jre");

    m.calls.clear();
    m.previousMachine = "c:\\old\\bin\\java.exe";
    m.loadable = {m.previousMachine};
    m.search("");
    EXPECT_EQ(m.calls, (Calls{"previous user", "previous machine", "load c:\\old\\bin\\java.exe"}));
    EXPECT_TRUE(logContains(L"found JRE from previous installation (machine) c:\\old\\bin\\java.exe"));
    EXPECT_EQ(m.outcome.sourceKind, kSourceRegistry);
}

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

TEST(Registrations, EveryLayoutHasItsHivesAndMsiLayoutsReadPath) {
    for (size_t i = 0; i < registrationLayoutCount; ++i) {
        const RegistrationLayout& layout = registrationLayouts[i];
        std::string pattern = layout.keyPattern;
        ASSERT_EQ(pattern.rfind("SOFTWARE\\", 0), 0u) << pattern;
        // Oracle, Semeru, Zulu, Liberica and SapMachine install for the machine only.
        bool perUser = pattern.find("Adopt") != std::string::npos || pattern.find("Eclipse") != std::string::npos ||
                       pattern.find("Microsoft") != std::string::npos;
        EXPECT_TRUE(layoutScannedInHive(layout, true)) << pattern;
        EXPECT_EQ(layoutScannedInHive(layout, false), perUser) << pattern;
        // A MSI key's "JavaHome" is a number: its home is "Path".
        if (pattern.size() > 4 && pattern.compare(pattern.size() - 4, 4, "\\MSI") == 0) {
            EXPECT_STREQ(layout.homeValue, "Path") << pattern;
            EXPECT_NE(pattern.find("\\*\\*\\MSI"), std::string::npos) << pattern;
        }
    }
}

namespace {
std::string keyPathFor(const char* jdk, const char* jre, bool requireJdk, const char* minimum = "",
                       const char* maximum = "") {
    char path[200];
    EXPECT_TRUE(currentVersionKeyPath(jdk, jre, requireJdk, parseVersion(minimum), parseVersion(maximum), path,
                                      sizeof path));
    return path;
}
}  // namespace

TEST(Ranking, CurrentVersionKeyFollowsTheNewerTextInsideTheBounds) {
    const std::string jdk = std::string(kJavaSoftJdkKey) + "\\", jre = std::string(kJavaSoftJreKey) + "\\";
    EXPECT_EQ(keyPathFor("11", "1.8", false), jdk + "11");
    EXPECT_EQ(keyPathFor("1.8", "1.8", false), jre + "1.8");
    EXPECT_EQ(keyPathFor("1.8", "11", false), jre + "11");
    // Out of bounds or unreadable texts do not count; with neither, the runtime key itself.
    EXPECT_EQ(keyPathFor("11", "1.8", false, "", "1.8"), jre + "1.8");
    EXPECT_EQ(keyPathFor(nullptr, "1.8", false), jre + "1.8");
    EXPECT_EQ(keyPathFor("1.7", nullptr, false, "1.8"), jre);
    // A kit required: the runtime's text is not even considered.
    EXPECT_EQ(keyPathFor("1.8", "11", true), jdk + "1.8");
    EXPECT_EQ(keyPathFor(nullptr, "11", true), jre);
    const char* keys[2];
    ASSERT_EQ(javaSoftScanKeys(false, keys), 2u);
    EXPECT_TRUE(keys[0] == kJavaSoftJreKey && keys[1] == kJavaSoftJdkKey);
    ASSERT_EQ(javaSoftScanKeys(true, keys), 1u);
    EXPECT_EQ(keys[0], kJavaSoftJdkKey);
}

TEST(Ranking, LocatedRuntimesAndEarlierInstallations) {
    char exe[32];
    EXPECT_TRUE(locatedJavaExe("c:/jre/bin/java.exe", false, exe, sizeof exe));
    EXPECT_STREQ(exe, "c:\\jre\\bin\\java.exe");
    EXPECT_FALSE(locatedJavaExe("c:/jre/bin/java.exe", true, exe, sizeof exe));
    EXPECT_TRUE(locatedJavaExe("c:/app/vtl_jres/1/bin/java.exe", true, exe, sizeof exe));
    EXPECT_FALSE(locatedJavaExe("c:/app/VTL_JRES/1/java.exe", true, exe, sizeof exe));
    // Empty pieces of the list are skipped.
    using Names = std::vector<std::string>;
    EXPECT_EQ(installationHomes(";c:\\a;;c:\\b\\;"), (Names{"c:\\a\\jre", "c:\\b\\\\jre"}));
    EXPECT_TRUE(installationHomes("").empty());
    EXPECT_TRUE(installationHomes(";;").empty());
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
