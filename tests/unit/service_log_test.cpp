#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "config/store.h"
#include "service/servicelog.h"

namespace {

struct Collect : LineSink {
    std::vector<std::string> lines;
    void line(const char* text, size_t length) override { lines.emplace_back(text, length); }
};

std::vector<std::string> feedAll(const std::vector<std::string>& chunks, std::string* last = nullptr) {
    OutputLines splitter;
    Collect sink;
    for (const std::string& chunk : chunks) splitter.feed(chunk.data(), chunk.size(), sink);
    splitter.finish(sink);
    if (last) *last = splitter.lastLine();
    return sink.lines;
}

// A folder of files by name and content, for the rolling.
struct FakeFolder : RollOps {
    std::map<std::wstring, std::string> files;
    std::vector<std::wstring> calls;
    bool remove(const std::wstring& path) override {
        calls.push_back(L"remove " + path);
        return files.erase(path) > 0;
    }
    bool rename(const std::wstring& from, const std::wstring& to) override {
        calls.push_back(L"rename " + from + L" " + to);
        auto found = files.find(from);
        if (found == files.end()) return false;
        files[to] = found->second;
        files.erase(found);
        return true;
    }
};

}  // namespace

TEST(ServiceLogLines, LinesAreCutAtLineFeedsWhateverTheChunks) {
    EXPECT_EQ(feedAll({"one\r\ntw", "o\n", "\nthree\r", "\nfour"}),
              (std::vector<std::string>{"one", "two", "", "three", "four"}));
    // A carriage return inside a line stays; only the one before the line feed goes.
    EXPECT_EQ(feedAll({"a\rb\r\n"}), (std::vector<std::string>{"a\rb"}));
    EXPECT_TRUE(feedAll({}).empty());
    // Byte by byte gives the same.
    std::vector<std::string> bytes;
    for (char c : std::string("Error occurred during initialization of VM\r\nCould not reserve\r\n"))
        bytes.push_back(std::string(1, c));
    EXPECT_EQ(feedAll(bytes),
              (std::vector<std::string>{"Error occurred during initialization of VM", "Could not reserve"}));
}

TEST(ServiceLogLines, AnEndlessLineGoesOutInPiecesAndTheLastWordsAreKept) {
    std::string endless(kMaxLogLine * 2 + 10, 'x');
    std::string last;
    std::vector<std::string> lines = feedAll({endless, "\nreason\n", "   \n", "\n"}, &last);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].size(), kMaxLogLine);
    EXPECT_EQ(lines[1].size(), kMaxLogLine);
    EXPECT_EQ(lines[2], std::string(10, 'x'));
    EXPECT_EQ(lines[3], "reason");
    // Blank lines do not replace the last words.
    EXPECT_EQ(last, "reason");
    std::string longLast;
    feedAll({std::string(900, 'y')}, &longLast);
    EXPECT_EQ(longLast, std::string(500, 'y'));
}

TEST(ServiceLogLines, TimeStampAndTags) {
    LogTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 7;
    t.hour = 9;
    t.minute = 5;
    t.second = 3;
    t.millisecond = 42;
    char text[40];
    EXPECT_TRUE(formatLogTime(text, sizeof text, t));
    EXPECT_STREQ(text, "2026-12-07 09:05:03.042");
    EXPECT_STREQ(kServiceLogOwnTag, "[service]");
    EXPECT_STREQ(kServiceLogAppTag, "[app]");
}

TEST(ServiceLogPlace, BesideTheExecutableUnlessConfigured) {
    EXPECT_EQ(defaultServiceLogPath(L"C:\\apps\\MyApp.exe"), L"C:\\apps\\MyApp.service.log");
    EXPECT_EQ(defaultServiceLogPath(L"C:\\apps\\MyApp.EXE"), L"C:\\apps\\MyApp.service.log");
    EXPECT_EQ(defaultServiceLogPath(L"C:\\my.apps\\MyApp"), L"C:\\my.apps\\MyApp.service.log");
    EXPECT_EQ(defaultServiceLogPath(L"C:\\apps\\MyApp.bin"), L"C:\\apps\\MyApp.bin.service.log");
    EXPECT_TRUE(serviceLogDisabled("none"));
    EXPECT_TRUE(serviceLogDisabled("NONE"));
    EXPECT_FALSE(serviceLogDisabled(""));
    EXPECT_FALSE(serviceLogDisabled("none.log"));
    EXPECT_FALSE(serviceLogDisabled("non"));
}

TEST(ServiceLogRolling, SizesAreDecimalBytes) {
    uint64_t bytes = 0;
    EXPECT_TRUE(parseByteCount("1048576", &bytes));
    EXPECT_EQ(bytes, 1048576u);
    EXPECT_TRUE(parseByteCount("18446744073709551615", &bytes));
    EXPECT_EQ(bytes, 18446744073709551615u);
    for (const char* bad : {"", "0", "10 MB", "-1", "18446744073709551616", "1e6"}) {
        bytes = 7;
        EXPECT_FALSE(parseByteCount(bad, &bytes)) << bad;
        EXPECT_EQ(bytes, 7u) << bad;
    }
}

TEST(ServiceLogRolling, NamesKeepTheExtensionLast) {
    EXPECT_EQ(rolledLogName(L"C:\\logs\\app.log", 1), L"C:\\logs\\app.1.log");
    EXPECT_EQ(rolledLogName(L"C:\\logs\\app.service.log", 8), L"C:\\logs\\app.service.8.log");
    EXPECT_EQ(rolledLogName(L"C:\\my.logs\\app", 2), L"C:\\my.logs\\app.2");
    EXPECT_EQ(rolledLogName(L"C:\\logs\\.log", 3), L"C:\\logs\\.log.3");
    EXPECT_EQ(rolledLogName(L"app.log", 10), L"app.10.log");
}

TEST(ServiceLogRolling, ALineThatWouldPassTheLimitRollsFirst) {
    EXPECT_FALSE(rollDue(0, 100, 10));       // an empty file takes any line
    EXPECT_FALSE(rollDue(90, 10, 100));      // exactly full
    EXPECT_TRUE(rollDue(91, 10, 100));
    EXPECT_FALSE(rollDue(1u << 30, 10, 0));  // no limit
}

TEST(ServiceLogRolling, EachFileMovesOneOnAndTheOldestGoes) {
    FakeFolder folder;
    const std::wstring log = L"C:\\a\\app.log";
    // Four rolls with keep 3: the current file becomes .1 each time, the
    // oldest falls off.
    for (int generation = 1; generation <= 4; ++generation) {
        folder.files[log] = "generation " + std::to_string(generation);
        rollLogFiles(log, 3, folder);
    }
    EXPECT_EQ(folder.files.size(), 3u);
    EXPECT_EQ(folder.files[L"C:\\a\\app.1.log"], "generation 4");
    EXPECT_EQ(folder.files[L"C:\\a\\app.2.log"], "generation 3");
    EXPECT_EQ(folder.files[L"C:\\a\\app.3.log"], "generation 2");
    // The order of one roll: the oldest removed first, nothing overwritten.
    folder.calls.clear();
    rollLogFiles(log, 3, folder);
    EXPECT_EQ(folder.calls, (std::vector<std::wstring>{L"remove C:\\a\\app.3.log",
                                                       L"rename C:\\a\\app.2.log C:\\a\\app.3.log",
                                                       L"rename C:\\a\\app.1.log C:\\a\\app.2.log",
                                                       L"rename C:\\a\\app.log C:\\a\\app.1.log"}));
}

TEST(ServiceLogRolling, KeepOneAndKeepZero) {
    FakeFolder folder;
    const std::wstring log = L"svc.log";
    folder.files[log] = "a";
    rollLogFiles(log, 1, folder);
    folder.files[log] = "b";
    rollLogFiles(log, 1, folder);
    EXPECT_EQ(folder.files, (std::map<std::wstring, std::string>{{L"svc.1.log", "b"}}));
    folder.files[log] = "c";
    rollLogFiles(log, 0, folder);
    EXPECT_EQ(folder.files, (std::map<std::wstring, std::string>{{L"svc.1.log", "b"}}));
}
