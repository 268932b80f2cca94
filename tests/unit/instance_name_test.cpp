#include <gtest/gtest.h>

#include <string>

#include "instance/guard.h"

TEST(SemaphoreName, BackslashesAndSpacesBecomeUnderscores) {
    char name[200];
    ASSERT_TRUE(buildSemaphoreName(name, sizeof name, false, "c:\\program files\\my app\\app.exe", -1));
    EXPECT_STREQ(name, "Local\\c:_program_files_my_app_app.exe");
    // Other characters (tabs, dots, non-ASCII bytes) stay as they are.
    ASSERT_TRUE(buildSemaphoreName(name, sizeof name, true, "z:\\a\tb\\\xe9.exe", -1));
    EXPECT_STREQ(name, "Global\\z:_a\tb_\xe9.exe");
}

TEST(SemaphoreName, NumberedNamesAppendTheDecimalNumber) {
    char name[200];
    ASSERT_TRUE(buildSemaphoreName(name, sizeof name, false, "c:\\a.exe", 0));
    EXPECT_STREQ(name, "Local\\c:_a.exe0");
    ASSERT_TRUE(buildSemaphoreName(name, sizeof name, true, "c:\\a.exe", 17));
    EXPECT_STREQ(name, "Global\\c:_a.exe17");
    ASSERT_TRUE(buildSemaphoreName(name, sizeof name, false, "c:\\a.exe", kLastSemaphoreNumber));
    EXPECT_STREQ(name, "Local\\c:_a.exe100000");
}

TEST(SemaphoreName, CutNameIsReportedAndTerminated) {
    char name[12];
    EXPECT_FALSE(buildSemaphoreName(name, sizeof name, false, "c:\\abcdef", -1));
    EXPECT_STREQ(name, "Local\\c:_ab");
    char exact[16];
    EXPECT_TRUE(buildSemaphoreName(exact, sizeof exact, false, "c:\\abcdef", -1));
    EXPECT_FALSE(buildSemaphoreName(exact, sizeof exact, false, "c:\\abcdef", 1));
    EXPECT_STREQ(exact, "Local\\c:_abcdef");
    EXPECT_FALSE(buildSemaphoreName(name, 3, true, "c:\\x", -1));
    EXPECT_STREQ(name, "Gl");
}
