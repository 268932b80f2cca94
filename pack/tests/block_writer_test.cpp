// The writer's blocks, read back by the launcher's own parser.
#include <gtest/gtest.h>

#include <sstream>

#include "config/block.h"
#include "pack/block_writer.h"
#include "pack/tests/test_support.h"

namespace {

std::string writeToString(const BlockPlan& input) {
    StringSink sink;
    BlockWriteResult result;
    std::string error;
    EXPECT_TRUE(writeBlock(input, sink, &result, &error)) << error;
    EXPECT_EQ(result.totalBytes, sink.bytes.size());
    return sink.bytes;
}

std::string masked(const std::string& content) {
    std::string out = content;
    for (char& c : out) c = static_cast<char>(c ^ 0xA7);
    return out;
}

TEST(BlockWriter, EmptyBlockIsValidAndHasTheFixedHeaderAndTail) {
    std::string block = writeToString(BlockPlan());
    // header (20) + three zero counts (12) + tail (4 + 4 zero bytes)
    ASSERT_EQ(block.size(), 40u);
    EXPECT_EQ(le32(block, 0), kBlockMagic);
    EXPECT_EQ(le32(block, 4), 0u);
    EXPECT_EQ(le32(block, 8), 0xEAFD0C88u);
    EXPECT_EQ(le64(block, 12), 32 - 12);  // the file area starts at 32
    EXPECT_EQ(block.substr(32), std::string("\xE8\xE4\x13\xD5\0\0\0\0", 8));

    uint64_t area = 0;
    ASSERT_TRUE(parseWithLauncher(block, "en", &area));
    EXPECT_EQ(area, 32u);
    EXPECT_EQ(launcherConfig(101), "");
    EXPECT_EQ(launcherMessage(1000), L"");
}

TEST(BlockWriter, ConfigurationRecordsRoundTripAndTheLaterDuplicateWins) {
    BlockPlan input;
    input.config = {{101, "MyService"}, {122, "com.example.Main"}, {2001, "v"}, {101, "Replaced"},
                   {10003, ""}, {123, std::string("-Dx=\xE9t\xE9", 7)}, {-5, "negative key"}};
    std::string block = writeToString(input);
    ASSERT_TRUE(parseWithLauncher(block, "en"));
    EXPECT_EQ(launcherConfig(101), "Replaced");
    EXPECT_EQ(launcherConfig(122), "com.example.Main");
    EXPECT_EQ(launcherConfig(2001), "v");
    EXPECT_EQ(launcherConfig(123), "-Dx=\xE9t\xE9");  // ANSI bytes pass unchanged
    EXPECT_EQ(launcherConfig(-5), "negative key");
    // Record layout: key, length, bytes without terminator.
    EXPECT_EQ(le32(block, 20), 7u);
    EXPECT_EQ(le32(block, 24), 101u);
    EXPECT_EQ(le32(block, 28), 9u);
    EXPECT_EQ(block.substr(32, 9), "MyService");
}

TEST(BlockWriter, MessagesAreUtf16AndLanguageSectionsApplyByLocalePrefix) {
    BlockPlan input;
    input.messages = {{1000, u"Error"}, {1016, u"No JVM {0}"}, {1010, u"Main class"}, {20017, u""}};
    input.sections = {{"de", {{1000, u"Fehler"}, {1016, u"Keine JVM {0}"}}},
                     {"de_CH", {{1016, u"Kei JVM {0} \u00e4\u00f6\U0001F600"}}}};
    std::string block = writeToString(input);

    ASSERT_TRUE(parseWithLauncher(block, "de_CH"));
    EXPECT_EQ(launcherMessage(1000), L"Fehler");  // only "de" has it
    std::wstring swiss = L"Kei JVM {0} \u00e4\u00f6";
    EXPECT_EQ(launcherMessage(1016).substr(0, swiss.size()), swiss);  // the later, longer code wins
    EXPECT_EQ(launcherMessage(1016).size(), swiss.size() + 2);  // a surrogate pair
    EXPECT_EQ(launcherMessage(1010), L"Main class");

    ASSERT_TRUE(parseWithLauncher(block, "de_DE"));
    EXPECT_EQ(launcherMessage(1016), L"Keine JVM {0}");

    ASSERT_TRUE(parseWithLauncher(block, "fr_FR"));
    EXPECT_EQ(launcherMessage(1000), L"Error");
    EXPECT_EQ(launcherMessage(20017), L"");
}

TEST(BlockWriter, FileAreaIsMaskedStreamedAndTheReservedFieldPointsToIt) {
    TempDir dir;
    const std::string small = "PK\x03\x04 data";
    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
    BlockPlan input;
    input.config = {{2002, "3"}, {2003, "a.jar;empty.txt;lib\\big.bin"}};
    input.messages = {{1000, u"Error"}};
    input.files = {{"a.jar", dir.file("a.jar", small)},
                  {"empty.txt", dir.file("empty.txt", "")},
                  {"lib\\big.bin", dir.file("big.bin", big)}};
    StringSink sink;
    BlockWriteResult result;
    std::string error;
    ASSERT_TRUE(writeBlock(input, sink, &result, &error)) << error;
    const std::string& block = sink.bytes;

    uint64_t area = 0;
    ASSERT_TRUE(parseWithLauncher(block, "en", &area));
    EXPECT_EQ(area, result.headBytes);
    EXPECT_EQ(static_cast<uint64_t>(le64(block, 12)), area - 12);

    size_t at = static_cast<size_t>(area);
    ASSERT_EQ(le64(block, at), static_cast<int64_t>(small.size()));
    EXPECT_EQ(block.substr(at + 8, small.size()), masked(small));
    at += 8 + small.size();
    ASSERT_EQ(le64(block, at), 0);  // an empty file is a bare length
    at += 8;
    ASSERT_EQ(le64(block, at), 200000);
    EXPECT_TRUE(block.compare(at + 8, big.size(), masked(big)) == 0);  // too big to print on failure
    at += 8 + big.size();
    EXPECT_EQ(result.fileAreaBytes, at - area);
    EXPECT_EQ(block.substr(at), std::string("\xE8\xE4\x13\xD5\0\0\0\0", 8));
}

TEST(BlockWriter, MissingSourceFileFailsWithItsName) {
    BlockPlan input;
    input.files = {{"x.jar", std::filesystem::path("/nonexistent/dir/x.jar")}};
    StringSink sink;
    BlockWriteResult result;
    std::string error;
    EXPECT_FALSE(writeBlock(input, sink, &result, &error));
    EXPECT_NE(error.find("x.jar"), std::string::npos) << error;
}

TEST(BlockWriter, CopyMaskedStopsAtTheGivenLengthAndReportsShortInput) {
    std::istringstream in(std::string("abcdef"));
    StringSink sink;
    std::string error;
    ASSERT_TRUE(copyMasked(in, 4, sink, &error));
    EXPECT_EQ(sink.bytes, masked("abcd"));

    std::istringstream shortInput(std::string("ab"));
    StringSink other;
    EXPECT_FALSE(copyMasked(shortInput, 5, other, &error));
    EXPECT_NE(error.find("2 of 5"), std::string::npos) << error;
}

}  // namespace
