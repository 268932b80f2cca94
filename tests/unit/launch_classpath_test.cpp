#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bounded.h"
#include "launch/classpath.h"
#include "tests/support/log_capture.h"

namespace {

// Relative pieces go below c:\app\, as resolveRelativePath does for the
// launcher directory; absolute ones stay.
bool fakeResolve(char* output, size_t cap, const char* piece) {
    bool absolute = strlen(piece) >= 3 && piece[1] == ':' && piece[2] == '\\';
    if (!copyText(output, cap, absolute ? "" : "c:\\app\\")) return false;
    return appendText(output, cap, piece);
}

std::string joined(const char* list, size_t cap = 12000, bool* whole = nullptr) {
    std::vector<char> out(cap);
    bool w = joinResolvedPieces(out.data(), cap, list, fakeResolve);
    if (whole) *whole = w;
    return out.data();
}

}  // namespace

TEST(LaunchClassPathEntries, SplitsTypesMarksAndNames) {
    std::vector<ClassPathEntry> entries = parseClassPathEntries("A0.\\lib\\app.jar;S0lib;E1EXTRA_CP");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].type, 'A');
    EXPECT_FALSE(entries[0].mandatory);
    EXPECT_EQ(entries[0].name, ".\\lib\\app.jar");
    EXPECT_EQ(entries[1].type, 'S');
    EXPECT_EQ(entries[1].name, "lib");
    EXPECT_EQ(entries[2].type, 'E');
    EXPECT_TRUE(entries[2].mandatory);
    EXPECT_EQ(entries[2].name, "EXTRA_CP");

    // Empty entries are skipped; any mark other than "1" is optional.
    entries = parseClassPathEntries(";;D2c:\\classes;;X1other;");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].type, 'D');
    EXPECT_FALSE(entries[0].mandatory);
    EXPECT_EQ(entries[0].name, "c:\\classes");
    EXPECT_EQ(entries[1].type, 'X');
    EXPECT_TRUE(entries[1].mandatory);

    // Entries too short for a name have an empty one.
    entries = parseClassPathEntries("A;A1;S0");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[0].mandatory);
    EXPECT_TRUE(entries[1].mandatory);
    for (const ClassPathEntry& e : entries) EXPECT_EQ(e.name, "");

    EXPECT_TRUE(parseClassPathEntries("").empty());
    EXPECT_TRUE(parseClassPathEntries(";;;").empty());
}

TEST(LaunchClassPathEntries, EnvironmentValuesLoseOnePairOfQuotes) {
    EXPECT_EQ(environmentContribution("\"c:\\a b\\x.jar\""), "c:\\a b\\x.jar;");
    EXPECT_EQ(environmentContribution("\"\"x\"\""), "\"x\";");
    EXPECT_EQ(environmentContribution("c:\\a.jar;c:\\b.jar;"), "c:\\a.jar;c:\\b.jar;");
    EXPECT_EQ(environmentContribution("\"c:\\a.jar;\""), "c:\\a.jar;");
    // One quote alone, or unbalanced quotes, stay.
    EXPECT_EQ(environmentContribution("\""), "\";");
    EXPECT_EQ(environmentContribution("\"c:\\x.jar"), "\"c:\\x.jar;");
    EXPECT_EQ(environmentContribution("\"\""), ";");
}

TEST(LaunchClassPathEntries, ScanPatternAddsTheDotOnlyWhenMissing) {
    EXPECT_EQ(archivePattern("c:\\x", "jar"), "c:\\x\\*.jar");
    EXPECT_EQ(archivePattern("c:\\x", ".zip"), "c:\\x\\*.zip");
    EXPECT_EQ(archivePattern("", "jar"), "\\*.jar");
}

TEST(LaunchClassPathOption, SuffixAndTrailingSeparator) {
    ClassPathTexts none;
    std::string text = "-Djava.class.path=c:\\app\\.vantrel\\vtlruntime.jar;c:\\app\\.\\lib\\app.jar;";
    finishClassPath(text, none);
    EXPECT_EQ(text, "-Djava.class.path=c:\\app\\.vantrel\\vtlruntime.jar;c:\\app\\.\\lib\\app.jar");

    ClassPathTexts suffix;
    suffix.hasSuffix = true;
    suffix.suffix = "c:\\extra.jar";
    text = "-Djava.class.path=a.jar;";
    finishClassPath(text, suffix);
    EXPECT_EQ(text, "-Djava.class.path=a.jar;c:\\extra.jar");
    text = "-Djava.class.path=a.jar";
    finishClassPath(text, suffix);
    EXPECT_EQ(text, "-Djava.class.path=a.jar;c:\\extra.jar");
    // Nothing before the suffix: an empty element stays in front of it.
    text = "-Djava.class.path=";
    finishClassPath(text, suffix);
    EXPECT_EQ(text, "-Djava.class.path=;c:\\extra.jar");

    // Only one trailing separator is removed; an empty element may remain.
    text = "-Djava.class.path=a.jar;;";
    finishClassPath(text, none);
    EXPECT_EQ(text, "-Djava.class.path=a.jar;");
    suffix.suffix = "b.jar;";
    text = "-Djava.class.path=a.jar;";
    finishClassPath(text, suffix);
    EXPECT_EQ(text, "-Djava.class.path=a.jar;b.jar");
}

TEST(LaunchPathList, ResolvesAndJoinsNonEmptyPieces) {
    EXPECT_EQ(joined("lib;c:\\native"), "c:\\app\\lib;c:\\native");
    EXPECT_EQ(joined(";;lib;;;x\\y;"), "c:\\app\\lib;c:\\app\\x\\y");
    EXPECT_EQ(joined(".\\lib\\x.jar"), "c:\\app\\.\\lib\\x.jar");
    EXPECT_EQ(joined(""), "");
    EXPECT_EQ(joined(";"), "");
}

TEST(LaunchPathList, PiecesThatDoNotFitWholeAreLeftOut) {
    clearCapturedLog();
    bool whole = true;
    // "c:\app\lib" (10) fits in 16, "c:\app\longer" would need 14 more.
    EXPECT_EQ(joined("lib;longer;c:\\x", 16, &whole), "c:\\app\\lib;c:\\x");
    EXPECT_FALSE(whole);
    EXPECT_TRUE(logContains(L"ERROR: path list full: 1 pieces left out, the first: longer"));
    clearCapturedLog();
    EXPECT_EQ(joined("one;two;three;four;five", 16, &whole), "c:\\app\\one");
    EXPECT_FALSE(whole);
    std::vector<std::wstring> expectedLog = {L"ERROR: path list full: 4 pieces left out, the first: two"};
    EXPECT_EQ(capturedLog(), expectedLog);

    // A piece that does not fit even alone is never cut.
    EXPECT_EQ(joined("averyveryverylongname", 16, &whole), "");
    EXPECT_FALSE(whole);
    EXPECT_EQ(joined("a", 16, &whole), "c:\\app\\a");
    EXPECT_TRUE(whole);

    // Exactly full: 15 characters and the terminator.
    EXPECT_EQ(joined("abcdefgh", 16, &whole), "c:\\app\\abcdefgh");
    EXPECT_TRUE(whole);
    EXPECT_EQ(joined("abcdefghi", 16, &whole), "");
    EXPECT_FALSE(whole);
}
