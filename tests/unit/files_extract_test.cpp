#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/state.h"
#include "files/extract.h"

namespace {

std::vector<std::string> splitAll(std::string list) {
    std::vector<std::string> names;
    char* cursor = &list[0];
    while (char* name = nextEmbeddedName(&cursor)) names.push_back(name);
    // Once used up, the cursor stays used up.
    EXPECT_EQ(nextEmbeddedName(&cursor), nullptr);
    return names;
}

}  // namespace

TEST(EmbeddedNames, SplitLikeStrtokSkippingEmptyItems) {
    EXPECT_EQ(splitAll("a.jar;lib\\b.jar;c.txt"), (std::vector<std::string>{"a.jar", "lib\\b.jar", "c.txt"}));
    EXPECT_EQ(splitAll(";;a;;b;"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitAll(" a ; b"), (std::vector<std::string>{" a ", " b"}));
    EXPECT_TRUE(splitAll("").empty());
    EXPECT_TRUE(splitAll(";;;").empty());
}

TEST(EmbeddedNames, SplittingIsReentrant) {
    // Two lists walked in turn do not disturb each other (strtok would).
    std::string first = "a;b", second = "x;y";
    char* c1 = &first[0];
    char* c2 = &second[0];
    EXPECT_STREQ(nextEmbeddedName(&c1), "a");
    EXPECT_STREQ(nextEmbeddedName(&c2), "x");
    EXPECT_STREQ(nextEmbeddedName(&c1), "b");
    EXPECT_STREQ(nextEmbeddedName(&c2), "y");
    char* none = nullptr;
    EXPECT_EQ(nextEmbeddedName(&none), nullptr);
}

TEST(EmbeddedNames, PlainAndOneLevelNamesAreSafe) {
    for (const char* name : {"app.jar", "lib\\x.jar", "a\\b\\c.txt", "lib/x.jar", ".hidden", "a..b", "x.", "..a",
                             "a\\.\\b", "dir with space\\f", "console.txt", "nullify.jar", "com10.txt", "lpt0",
                             "com", "lib\\auxiliary.dat", "cons.txt"})
        EXPECT_TRUE(isSafeEmbeddedName(name)) << name;
}

TEST(EmbeddedNames, NamesThatLeaveTheDirectoryAreRefused) {
    for (const char* name : {"", "\\x", "/x", "\\\\server\\share\\x", "\\\\?\\c:\\x", "c:\\x", "c:x", "C:", "a:b",
                             "..", "..\\x", "../x", "lib\\..\\..\\x", "lib\\..", "a/../../b", "...", "... \\x",
                             ". .\\x", "lib\\.. ", "nul", "NUL.txt", "lib\\con", "Con.tar.gz", "aux \\x",
                             "prn", "com1.jar", "LPT9", "lib\\conout$", "conin$.x", "nul \\y"})
        EXPECT_FALSE(isSafeEmbeddedName(name)) << name;
    EXPECT_FALSE(isSafeEmbeddedName(nullptr));
}

TEST(EmbeddedTargets, TargetAndFirstDirectoryLevel) {
    char target[kPathCapacity], sub[kPathCapacity];
    ASSERT_TRUE(embeddedTargetPaths("C:\\t\\mrl1.tmp_dir5", "app.jar", target, sub, kPathCapacity));
    EXPECT_STREQ(target, "C:\\t\\mrl1.tmp_dir5\\app.jar");
    EXPECT_STREQ(sub, "");

    ASSERT_TRUE(embeddedTargetPaths("C:\\t\\d", "lib\\x.jar", target, sub, kPathCapacity));
    EXPECT_STREQ(target, "C:\\t\\d\\lib\\x.jar");
    EXPECT_STREQ(sub, "C:\\t\\d\\lib");

    // Only the first level is ever created.
    ASSERT_TRUE(embeddedTargetPaths("C:\\t\\d", "a\\b\\c.txt", target, sub, kPathCapacity));
    EXPECT_STREQ(target, "C:\\t\\d\\a\\b\\c.txt");
    EXPECT_STREQ(sub, "C:\\t\\d\\a");
}

TEST(EmbeddedTargets, PathThatDoesNotFitIsReported) {
    char target[16], sub[16];
    EXPECT_TRUE(embeddedTargetPaths("C:\\d", "lib\\ab.jar", target, sub, sizeof target));  // 15 characters
    EXPECT_STREQ(target, "C:\\d\\lib\\ab.jar");
    EXPECT_FALSE(embeddedTargetPaths("C:\\d", "lib\\abc.jar", target, sub, sizeof target));
    EXPECT_EQ(strlen(target), sizeof target - 1);
    std::string longDirectory(kPathCapacity - 3, 'd');
    std::vector<char> big(kPathCapacity), bigSub(kPathCapacity);
    EXPECT_TRUE(embeddedTargetPaths(longDirectory.c_str(), "x", big.data(), bigSub.data(), kPathCapacity));
    EXPECT_FALSE(embeddedTargetPaths(longDirectory.c_str(), "xy", big.data(), bigSub.data(), kPathCapacity));
}

TEST(EmbeddedContent, UnmaskUndoesThePayloadMask) {
    unsigned char data[] = {0xA7, 0x00, 0xFF, 0xE6, 0x58};
    unmaskBytes(data, sizeof data);
    const unsigned char expected[] = {0x00, 0xA7, 0x58, 0x41, 0xFF};
    EXPECT_EQ(0, memcmp(data, expected, sizeof data));
}

TEST(EmbeddedContent, UnmaskCoversEveryByteAtAnyLengthAndAlignment) {
    // Word-wise unmasking must reach the tail bytes and start anywhere.
    std::vector<unsigned char> buffer(64 + 1);
    for (size_t offset = 0; offset < 8; ++offset) {
        for (size_t length = 0; length + offset <= 64; ++length) {
            for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i * 37 + 11);
            unmaskBytes(buffer.data() + offset, length);
            for (size_t i = 0; i < buffer.size(); ++i) {
                unsigned char original = static_cast<unsigned char>(i * 37 + 11);
                bool inside = i >= offset && i < offset + length;
                ASSERT_EQ(buffer[i], inside ? original ^ 0xA7 : original) << offset << " " << length << " " << i;
            }
        }
    }
}
