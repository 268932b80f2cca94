#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launch/expand.h"
#include "tests/support/log_capture.h"

namespace {

// A buffer followed by a guard area that must stay untouched.
template <typename Ch, size_t Cap>
struct Guarded {
    Ch text[Cap];
    Ch guard[16];
    Guarded() {
        for (Ch& c : guard) c = static_cast<Ch>('#');
    }
    bool guardIntact() const {
        for (Ch c : guard)
            if (c != static_cast<Ch>('#')) return false;
        return true;
    }
};

}  // namespace

TEST(ReplaceAll, ReplacesEveryOccurrenceAndLogsEachStep) {
    char text[64] = "a${X}b${X}c";
    clearCapturedLog();
    EXPECT_TRUE(replaceAll(text, sizeof text, "${X}", "12"));
    EXPECT_STREQ(text, "a12b12c");
    ASSERT_EQ(capturedLog().size(), 2u);
    EXPECT_EQ(capturedLog()[0], L"expanding2 ${X} to 12 in a12b${X}c.");
    EXPECT_EQ(capturedLog()[1], L"expanding2 ${X} to 12 in a12b12c.");

    wchar_t wide[64] = L"${X}${X}";
    clearCapturedLog();
    EXPECT_TRUE(replaceAllW(wide, 64, L"${X}", L"\x263a"));
    EXPECT_EQ(std::wstring(wide), L"\x263a\x263a");
    EXPECT_EQ(capturedLog()[1], L"expanding2 ${X} to \x263a in \x263a\x263a.");
}

TEST(ReplaceAll, NarrowValueIsWidenedByteByByte) {
    wchar_t wide[64] = L"<${X}>";
    EXPECT_TRUE(replaceAllW(wide, 64, L"${X}", "caf\xe9"));
    EXPECT_EQ(std::wstring(wide), L"<caf\x00e9>");
}

TEST(ReplaceAll, ValueContainingThePatternIsNotSearchedAgain) {
    char text[64] = "${X}-${X}";
    EXPECT_TRUE(replaceAll(text, sizeof text, "${X}", "[${X}]"));
    EXPECT_STREQ(text, "[${X}]-[${X}]");
    // An empty value and an empty pattern.
    EXPECT_TRUE(replaceAll(text, sizeof text, "${X}", ""));
    EXPECT_STREQ(text, "[]-[]");
    EXPECT_TRUE(replaceAll(text, sizeof text, "", "zz"));
    EXPECT_STREQ(text, "[]-[]");
}

TEST(ReplaceAll, OverlongValueIsCutAtTheBufferAndLogged) {
    Guarded<char, 12> g;
    strcpy(g.text, "ab${X}cd");
    clearCapturedLog();
    EXPECT_FALSE(replaceAll(g.text, sizeof g.text, "${X}", "0123456789"));
    EXPECT_STREQ(g.text, "ab012345678");
    EXPECT_TRUE(g.guardIntact());
    EXPECT_TRUE(logContains(L"ERROR: expansion of ${X} cut to 11 characters"));
}

TEST(ReplaceAll, OverlongTailIsCutAndLaterOccurrencesLost) {
    Guarded<wchar_t, 12> g;
    wcscpy(g.text, L"${X}abc${X}");
    EXPECT_FALSE(replaceAllW(g.text, 12, L"${X}", L"123456"));
    EXPECT_EQ(std::wstring(g.text), L"123456abc${");
    EXPECT_TRUE(g.guardIntact());
}

TEST(ReplaceAll, ExactFitIsNotACut) {
    char text[8] = "${X}";
    EXPECT_TRUE(replaceAll(text, sizeof text, "${X}", "1234567"));
    EXPECT_STREQ(text, "1234567");
}

TEST(ReplaceAll, UnterminatedBufferIsTerminatedWithinItsCapacity) {
    Guarded<char, 6> g;
    memcpy(g.text, "${X}ab", 6);
    EXPECT_FALSE(replaceAll(g.text, sizeof g.text, "${X}", "1"));
    EXPECT_STREQ(g.text, "1a");
    EXPECT_TRUE(g.guardIntact());
}

TEST(ExpandCut, EnvironmentValueLongerThanTheBufferIsCut) {
    ExpansionValues v;
    v.environment = {L"BIG=" + std::wstring(10000, L'x')};
    std::vector<wchar_t> text(6000 + 8, L'#');
    wcscpy(text.data(), L"[${BIG}]");
    clearCapturedLog();
    EXPECT_FALSE(expandWithValuesW(text.data(), 6000, v));
    EXPECT_EQ(std::wstring(text.data()), L"[" + std::wstring(5998, L'x'));
    for (size_t i = 6000; i < text.size(); ++i) EXPECT_EQ(text[i], L'#');
    EXPECT_TRUE(logContains(L"ERROR: expansion of ${BIG} cut to 5999 characters"));
}
