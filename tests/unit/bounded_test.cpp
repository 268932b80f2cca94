#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/bounded.h"

TEST(Bounded, CopyReportsTruncationAndStaysTerminated) {
    char buf[5];
    memset(buf, 'X', sizeof buf);
    EXPECT_FALSE(copyText(buf, sizeof buf, "abcdefgh"));
    EXPECT_STREQ(buf, "abcd");
    EXPECT_TRUE(copyText(buf, sizeof buf, "abcd"));
    EXPECT_STREQ(buf, "abcd");
    EXPECT_FALSE(copyText(buf, 0, "a"));
}

TEST(Bounded, AppendStopsAtCapacity) {
    char buf[8] = "abc";
    EXPECT_TRUE(appendText(buf, sizeof buf, "de"));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_FALSE(appendText(buf, sizeof buf, "fghij"));
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_FALSE(appendChar(buf, sizeof buf, 'z'));
    EXPECT_STREQ(buf, "abcdefg");
}

TEST(Bounded, WideFormatFollowsWindowsConventions) {
    wchar_t buf[64];
    EXPECT_TRUE(formatTextW(buf, 64, L"[%s] [%S] [%d]", L"wide", "narrow", -42));
    EXPECT_EQ(std::wstring(buf), L"[wide] [narrow] [-42]");
    EXPECT_TRUE(formatTextW(buf, 64, L"%hs|%ls|%c", "h", L"l", L'c'));
    EXPECT_EQ(std::wstring(buf), L"h|l|c");
}

TEST(Bounded, NarrowFormatFollowsWindowsConventions) {
    char buf[64];
    EXPECT_TRUE(formatText(buf, 64, "[%s] [%S] [%I64d] [%.*s]", "n", L"w", static_cast<long long>(1) << 40, 2,
                           "abcdef"));
    EXPECT_STREQ(buf, "[n] [w] [1099511627776] [ab]");
}

TEST(Bounded, FormatNumbersAndPointers) {
    char buf[64];
    formatText(buf, 64, "%02d:%5d|%-3d|%x|%X|%u", 7, 42, 1, 255, 255, 4000000000u);
    EXPECT_STREQ(buf, "07:   42|1  |ff|FF|4000000000");
    formatText(buf, 64, "%p", reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(strlen(buf), sizeof(void*) * 2);
    EXPECT_STREQ(buf + strlen(buf) - 4, "1234");
    formatText(buf, 64, "%d", -2147483647 - 1);
    EXPECT_STREQ(buf, "-2147483648");
    formatText(buf, 64, "%s", static_cast<const char*>(nullptr));
    EXPECT_STREQ(buf, "(null)");
}

TEST(Bounded, FormatCutsLongResults) {
    wchar_t buf[6];
    EXPECT_FALSE(formatTextW(buf, 6, L"%s", L"0123456789"));
    EXPECT_EQ(std::wstring(buf), L"01234");
    char small[4];
    EXPECT_FALSE(formatText(small, 4, "%d", 123456));
    EXPECT_STREQ(small, "123");
}

TEST(Bounded, WideningIsByteByByte) {
    wchar_t buf[8];
    widenText(buf, 8, "\xE4\xFF");
    EXPECT_EQ(buf[0], static_cast<wchar_t>(0xE4));
    EXPECT_EQ(buf[1], static_cast<wchar_t>(0xFF));
    char narrow[8];
    const wchar_t wide[] = {L'a', static_cast<wchar_t>(0x263A), 0};
    narrowText(narrow, 8, wide);
    EXPECT_STREQ(narrow, "a?");
}
