#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/errors.h"
#include "files/paths.h"

namespace {
std::wstring collapsed(const wchar_t* s) {
    wchar_t buf[64];
    wcscpy(buf, s);
    collapseBackslashesRawW(buf);
    return buf;
}
std::string collapsedNarrow(const char* s) {
    char buf[64];
    strcpy(buf, s);
    collapseBackslashesRaw(buf);
    return buf;
}
}  // namespace

TEST(Paths, RelativeOrAbsolute) {
    EXPECT_FALSE(isRelativePath("c:\\x"));
    EXPECT_FALSE(isRelativePath("\\\\server\\share"));
    EXPECT_FALSE(isRelativePath("\"c:\\x\""));
    EXPECT_TRUE(isRelativePath("c:"));
    EXPECT_TRUE(isRelativePath("c:x\\y"));
    EXPECT_TRUE(isRelativePath("\\x\\y"));
    EXPECT_TRUE(isRelativePath(".\\jre"));
    EXPECT_TRUE(isRelativePath("\"ab"));
    EXPECT_TRUE(isRelativePath(""));
    EXPECT_FALSE(isRelativePathW(L"d:\\"));
    EXPECT_TRUE(isRelativePathW(L"lib"));
}

TEST(Paths, CollapsesBackslashRunsButKeepsANetworkPrefix) {
    EXPECT_EQ(collapsed(L"c:\\a\\\\b\\\\\\c"), L"c:\\a\\b\\c");
    EXPECT_EQ(collapsed(L"\\\\server\\share\\\\x"), L"\\\\server\\share\\x");
    EXPECT_EQ(collapsed(L"\\\\\\\\server"), L"\\\\server");
    EXPECT_EQ(collapsed(L"a\\\\\\b"), L"a\\b");
    EXPECT_EQ(collapsed(L""), L"");
    EXPECT_EQ(collapsedNarrow("c:\\\\x\\"), "c:\\x\\");
}

TEST(Paths, DriveRoots) {
    EXPECT_TRUE(isDriveRoot("c:\\"));
    EXPECT_TRUE(isDriveRoot("c:\\."));
    EXPECT_TRUE(isDriveRoot("c:\\.\\."));
    EXPECT_FALSE(isDriveRoot("c:\\x"));
    EXPECT_FALSE(isDriveRoot("c:"));
    EXPECT_FALSE(isDriveRoot(""));
    EXPECT_TRUE(isDriveRootW(L"z:\\"));
}

TEST(Paths, LowerCasesAsciiOnly) {
    wchar_t text[] = {L'A', L'Z', static_cast<wchar_t>(0xC4), L'q', 0};
    lowerAsciiW(text);
    EXPECT_EQ(text[0], L'a');
    EXPECT_EQ(text[1], L'z');
    EXPECT_EQ(text[2], static_cast<wchar_t>(0xC4));
}

TEST(Messages, OnlyTheFirstPlaceholderIsReplaced) {
    wchar_t text[64] = L"code {0} and {0}";
    substituteArgument(text, 64, L"16");
    EXPECT_EQ(std::wstring(text), L"code 16 and {0}");

    wchar_t none[64] = L"no placeholder";
    substituteArgument(none, 64, L"x");
    EXPECT_EQ(std::wstring(none), L"no placeholder");

    wchar_t keep[64] = L"keeps {0}";
    substituteArgument(keep, 64, nullptr);
    EXPECT_EQ(std::wstring(keep), L"keeps {0}");

    wchar_t small[8] = L"{0}abc";
    EXPECT_FALSE(substituteArgument(small, 8, L"0123456789"));
    EXPECT_EQ(std::wstring(small), L"0123456");
}
