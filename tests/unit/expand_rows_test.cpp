#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launch/expand.h"
#include "tests/support/log_capture.h"

namespace {

ExpansionValues sampleValues() {
    ExpansionValues v;
    v.launcherDirectory = L"C:\\app\\";
    v.tempDirectory = L"C:\\tmp\\mrl1.tmp_dir7";
    v.jvmHome = L"c:\\jre\\bin\\..";
    v.tempBase = L"C:\\tmp";
    v.environment = {L"=C:=C:\\work", L"Path=C:\\bin", L"HOME_X=hx", L"noequals"};
    return v;
}

std::wstring expandW(const std::wstring& text, const ExpansionValues& values, size_t cap = 6000) {
    std::vector<wchar_t> buffer(cap);
    wcsncpy(buffer.data(), text.c_str(), cap - 1);
    buffer[cap - 1] = 0;
    expandWithValuesW(buffer.data(), cap, values);
    return buffer.data();
}

}  // namespace

TEST(ExpandRows, EveryLauncherVariableHasTheValueItsNameSays) {
    const ExpansionValues v = sampleValues();
    // The value each name stands for, by the part of the name that says it.
    const std::pair<const char*, std::wstring> stems[] = {
        {"EXEDIR", v.launcherDirectory},   {"launcherDirectory}", v.launcherDirectory},
        {"TEMPDIR", v.tempDirectory},      {"launcherTempDirectory}", v.tempDirectory},
        {"PATHLIST_SEPARATOR", L";"},      {"pathlistSeparator}", L";"},
        {"JVM_HOME", v.jvmHome},           {"jvmHome}", v.jvmHome},
        {"sys.tempDir}", v.tempBase}};
    // Old and current names in both syntaxes, then the five launcher: names.
    ASSERT_EQ(kLauncherVariableCount, 21u);
    for (size_t i = 0; i < kLauncherVariableCount; ++i) {
        const std::string pattern = kLauncherVariables[i].pattern;
        const std::wstring wide(pattern.begin(), pattern.end());
        int matched = 0;
        for (const auto& stem : stems) {
            if (pattern.find(stem.first) == std::string::npos) continue;
            ++matched;
            EXPECT_EQ(expandW(L"<" + wide + L">", v), L"<" + stem.second + L">") << pattern;
        }
        EXPECT_EQ(matched, 1) << pattern;
        EXPECT_TRUE(pattern.rfind(i < 8 ? "%" : "${", 0) == 0 && pattern.back() == (i < 8 ? '%' : '}')) << pattern;
        EXPECT_EQ(pattern.find(i % 2 ? "VANTREL_" : "MORLIN_") != std::string::npos, i < 16) << pattern;
        // Patterns match case-sensitively.
        std::wstring lower = wide;
        for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
        EXPECT_EQ(expandW(lower, v), lower) << pattern;
    }
}

TEST(ExpandRows, LauncherDirectoryAlreadyEndsInABackslash) {
    EXPECT_EQ(expandW(L"${launcher:sys.launcherDirectory}lib", sampleValues()), L"C:\\app\\lib");
    EXPECT_EQ(expandW(L"${VANTREL_EXEDIR}a;${VANTREL_EXEDIR}b", sampleValues()), L"C:\\app\\a;C:\\app\\b");
}

TEST(ExpandRows, EmptyValuesBeforeExtractionAndBeforeARuntimeIsChosen) {
    ExpansionValues v = sampleValues();
    v.tempDirectory.clear();
    v.jvmHome.clear();
    EXPECT_EQ(expandW(L"[%VANTREL_TEMPDIR%][${launcher:sys.launcherTempDirectory}][${launcher:sys.jvmHome}]", v),
              L"[][][]");
}

TEST(ExpandRows, EnvironmentStoredSpellingAndItsUpperCaseOnly) {
    const ExpansionValues v = sampleValues();
    EXPECT_EQ(expandW(L"${Path}|${PATH}|${path}", v), L"C:\\bin|C:\\bin|${path}");
    EXPECT_EQ(expandW(L"%PATH%;%HOME_X%", v), L"%PATH%;%HOME_X%");
    EXPECT_EQ(expandW(L"${HOME_X}${home_x}${UNKNOWN}", v), L"hx${home_x}${UNKNOWN}");
    EXPECT_EQ(expandW(L"${noequals}", v), L"${noequals}");
}

TEST(ExpandRows, PerDriveEntryFillsTheEmptyName) {
    EXPECT_EQ(expandW(L"[${}]", sampleValues()), L"[C:=C:\\work]");
    ExpansionValues v = sampleValues();
    v.environment = {L"=C:=C:\\work", L"=D:=D:\\"};
    EXPECT_EQ(expandW(L"${}${}", v), L"C:=C:\\workC:=C:\\work");
}

TEST(ExpandRows, ValuesInsertedEarlierMeetLaterRowsOnly) {
    ExpansionValues v = sampleValues();
    v.environment = {L"LATE=${launcher:sys.jvmHome}", L"TEMP=T"};
    v.launcherDirectory = L"C:\\${TEMP}\\";
    EXPECT_EQ(expandW(L"${LATE}", v), L"${launcher:sys.jvmHome}");
    EXPECT_EQ(expandW(L"${VANTREL_EXEDIR}", v), L"C:\\T\\");
    // Environment values are inserted unchanged.
    v.environment = {L"P=%VANTREL_EXEDIR%"};
    EXPECT_EQ(expandW(L"${P}", v), L"%VANTREL_EXEDIR%");
}

TEST(ExpandRows, AValueHoldingItsOwnPatternDoesNotLoop) {
    ExpansionValues v = sampleValues();
    v.environment = {L"SELF=<${SELF}>", L"Mixed=(${Mixed}${MIXED})"};
    EXPECT_EQ(expandW(L"${SELF}${SELF}", v), L"<${SELF}><${SELF}>");
    // The stored spelling first, then the upper-case form, each once.
    EXPECT_EQ(expandW(L"${Mixed}", v), L"(${Mixed}(${Mixed}${MIXED}))");
    v.launcherDirectory = L"${VANTREL_EXEDIR}";
    EXPECT_EQ(expandW(L"${VANTREL_EXEDIR}", v), L"${VANTREL_EXEDIR}");
}

TEST(ExpandRows, NarrowFormAppliesTheSameRows) {
    ExpansionValuesA v;
    v.launcherDirectory = "C:\\app\\";
    v.tempBase = "C:\\tmp";
    v.environment = {"Path=C:\\bin", "=C:=C:\\w"};
    char text[200] = "${launcher:sys.launcherDirectory}x;%MORLIN_PATHLIST_SEPARATOR%;${PATH};${};%PATH%";
    clearCapturedLog();
    EXPECT_TRUE(expandWithValues(text, sizeof text, v));
    EXPECT_STREQ(text, "C:\\app\\x;;;C:\\bin;C:=C:\\w;%PATH%");
    // The separator variables come before the launcher: names, so their
    // replacement already shows in the logged text.
    EXPECT_TRUE(logContains(L"expanding2 ${launcher:sys.launcherDirectory} to C:\\app\\ in C:\\app\\x;;;"
                            L"${PATH};${};%PATH%."));
}

TEST(ExpandRows, TheSyntaxCheckNeverSkipsATextThatWouldChange) {
    // The launcher skips gathering the values when the check says no
    // pattern can match; every such text must come out of the full
    // expansion unchanged.
    const wchar_t* texts[] = {L"",          L"C:\\plain\\path", L"$", L"$Path", L"{Path}", L"$ {Path}",
                              L"%",         L"50%",             L"${Path}", L"%MORLIN_EXEDIR%", L"a${}b",
                              L"x$${HOME_X}", L"${launcher:sys.tempDir}"};
    for (const wchar_t* text : texts) {
        std::wstring original = text;
        bool check = hasVariableSyntaxW(original.c_str(), original.size() + 1);
        std::wstring expanded = expandW(original, sampleValues());
        if (!check) {
            EXPECT_EQ(expanded, original);
        }
        bool hasSyntax = original.find(L'%') != std::wstring::npos || original.find(L"${") != std::wstring::npos;
        EXPECT_EQ(check, hasSyntax) << std::string(original.begin(), original.end());
    }
    char narrow[] = "no variables here";
    EXPECT_FALSE(hasVariableSyntax(narrow, sizeof narrow));
    EXPECT_TRUE(hasVariableSyntax("${Path}", 8));
    // A buffer without its terminator goes the full way, where it is cut.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_TRUE(hasVariableSyntax(full, sizeof full));
    // "$" as the last character before the capacity ends is not "${".
    const char edge[3] = {'a', '$', '{'};
    EXPECT_TRUE(hasVariableSyntax(edge, 3));
    EXPECT_TRUE(hasVariableSyntax(edge, 2));
}
