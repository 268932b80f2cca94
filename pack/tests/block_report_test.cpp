// Reading blocks back: well-formed ones in full, damaged ones without a
// crash and with a clear problem.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "pack/block_report.h"
#include "pack/tests/test_support.h"

namespace {

BlockPlan sampleInput(const TempDir& dir) {
    BlockPlan input;
    input.config = {{101, "Svc"}, {2002, "2"}, {2003, "a.jar;lib\\b.bin"}, {10201, "1.8"}, {99999, "x"}};
    input.messages = {{1000, u"Error"}, {1016, u"No JVM\nfound"}};
    input.sections = {{"de", {{1000, u"Fehler"}}}, {"de_CH", {{1000, u"F\u00e4hler"}}}};
    input.files = {{"a.jar", dir.file("a.jar", "AAAA")}, {"lib\\b.bin", dir.file("b.bin", std::string(300, 'b'))}};
    return input;
}

std::string packedImage(const BlockPlan& input) {
    StringSink sink;
    BlockWriteResult result;
    std::string error;
    EXPECT_TRUE(writeBlock(input, sink, &result, &error)) << error;
    return makePe(PeShape()) + sink.bytes;
}

BlockReport inspectBytes(const std::string& image) {
    MemoryByteSource source(image.data(), image.size());
    BlockReport report;
    inspectExecutable(source, &report);
    return report;
}

TEST(Inspect, ReadsEverythingTheWriterWrote) {
    TempDir dir;
    BlockPlan input = sampleInput(dir);
    std::string image = packedImage(input);
    BlockReport report = inspectBytes(image);
    ASSERT_EQ(report.status, InspectStatus::Ok) << report.problem;
    EXPECT_EQ(report.blockOffset, 0x800u);
    EXPECT_EQ(report.reserved2, 0xEAFD0C88u);
    EXPECT_EQ(report.config, input.config);
    ASSERT_EQ(report.messages.size(), 2u);
    EXPECT_EQ(report.messages[1].text, u"No JVM\nfound");
    ASSERT_EQ(report.sections.size(), 2u);
    EXPECT_EQ(report.sections[1].code, "de_CH");
    EXPECT_EQ(report.sections[1].messages[0].text, u"F\u00e4hler");
    ASSERT_EQ(report.files.size(), 2u);
    EXPECT_EQ(report.files[1].name, "lib\\b.bin");
    EXPECT_EQ(report.files[1].length, 300);
    EXPECT_EQ(report.endOffset, image.size() - 8);
    EXPECT_TRUE(report.tailPresent);
    EXPECT_TRUE(report.notes.empty());

    std::ostringstream out;
    printBlockReport(report, "app.exe", out);
    std::string text = out.str();
    for (const char* expected : {"application.service_name", "\"Svc\"", "version_options[0].prefix",
                                 "(unknown key)", "error_caption", "\"No JVM\\nfound\"", "Language section \"de_CH\"",
                                 "F\xC3\xA4hler", "lib\\b.bin", "300 bytes", "unextracted position"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

TEST(Inspect, SaysWhenThereIsNoBlockOrNoExecutable) {
    BlockReport report = inspectBytes(makePe(PeShape()));
    EXPECT_EQ(report.status, InspectStatus::NoBlock);
    EXPECT_NE(report.problem.find("no configuration block"), std::string::npos);
    EXPECT_NE(report.problem.find("0x800"), std::string::npos);

    report = inspectBytes(makePe(PeShape()) + "garbage that is not a block");
    EXPECT_EQ(report.status, InspectStatus::NoBlock);

    report = inspectBytes("hello");
    EXPECT_EQ(report.status, InspectStatus::NotExecutable);
    report = inspectBytes("");
    EXPECT_EQ(report.status, InspectStatus::NotExecutable);
}

TEST(Inspect, EveryTruncationIsReportedNotCrashed) {
    TempDir dir;
    std::string image = packedImage(sampleInput(dir));
    size_t block = 0x800;
    for (size_t cut = block + 4; cut < image.size() - 8; ++cut) {
        BlockReport report = inspectBytes(image.substr(0, cut));
        EXPECT_EQ(report.status, InspectStatus::Malformed) << "cut at " << cut;
        EXPECT_FALSE(report.problem.empty());
        std::ostringstream out;
        printBlockReport(report, "cut.exe", out);
        EXPECT_NE(out.str().find("Malformed block"), std::string::npos);
    }
}

TEST(Inspect, LyingCountsAndLengthsAreBoundedByTheFile) {
    TempDir dir;
    std::string image = packedImage(sampleInput(dir));
    auto withInt = [&](size_t at, uint32_t value) {
        std::string copy = image;
        for (int i = 0; i < 4; ++i) copy[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
        return copy;
    };
    const size_t count = 0x800 + 20;
    BlockReport report = inspectBytes(withInt(count, 0x7FFFFFFF));
    EXPECT_EQ(report.status, InspectStatus::Malformed);
    EXPECT_NE(report.problem.find("cannot fit"), std::string::npos) << report.problem;

    report = inspectBytes(withInt(count + 8, 0x7FFFFFF0));  // length of the first value
    EXPECT_EQ(report.status, InspectStatus::Malformed);
    EXPECT_NE(report.problem.find("configuration record 1 of 5"), std::string::npos) << report.problem;

    report = inspectBytes(withInt(count, 0xFFFFFFFF));  // -1 records: none, as the launcher reads it
    EXPECT_TRUE(report.config.empty());
    ASSERT_FALSE(report.notes.empty());
    EXPECT_NE(report.notes[0].find("negative"), std::string::npos);
}

TEST(Inspect, RandomDamageNeverCrashes) {
    TempDir dir;
    std::string image = packedImage(sampleInput(dir));
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string copy = image;
        int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            size_t at = 0x800 + random() % (copy.size() - 0x800);
            copy[at] = static_cast<char>(random());
        }
        BlockReport report = inspectBytes(copy);
        std::ostringstream out;
        printBlockReport(report, "damaged.exe", out);
        EXPECT_FALSE(out.str().empty());
    }
}

TEST(Inspect, FileByteSourceReadsFromDisk) {
    TempDir dir;
    std::string image = packedImage(sampleInput(dir));
    FileByteSource source;
    ASSERT_TRUE(source.open(dir.file("app.exe", image)));
    BlockReport report;
    inspectExecutable(source, &report);
    EXPECT_EQ(report.status, InspectStatus::Ok) << report.problem;
    EXPECT_EQ(report.files.size(), 2u);
    EXPECT_FALSE(FileByteSource().open(dir.path() / "missing.exe"));
}

}  // namespace
