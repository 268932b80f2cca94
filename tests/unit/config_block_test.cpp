#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "config/block.h"
#include "config/store.h"
#include "tests/support/log_capture.h"

namespace {

using Bytes = std::vector<unsigned char>;

void putInt(Bytes& b, int32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
}
void putString(Bytes& b, const std::string& s) {
    putInt(b, static_cast<int32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}
void putWString(Bytes& b, const std::u16string& s) {
    putInt(b, static_cast<int32_t>(s.size() * 2));
    for (char16_t c : s) {
        b.push_back(static_cast<unsigned char>(c & 0xFF));
        b.push_back(static_cast<unsigned char>(c >> 8));
    }
}

struct Block {
    std::vector<std::pair<int, std::string>> config;
    std::vector<std::pair<int, std::u16string>> messages;
    std::vector<std::pair<std::string, std::vector<std::pair<int, std::u16string>>>> sections;

    Bytes bytes() const {
        Bytes b;
        putInt(b, static_cast<int32_t>(kBlockMagic));
        putInt(b, 0);
        putInt(b, static_cast<int32_t>(kBlockReserved2));
        putInt(b, 0);
        putInt(b, 0);
        putInt(b, static_cast<int32_t>(config.size()));
        for (auto& kv : config) {
            putInt(b, kv.first);
            putString(b, kv.second);
        }
        putInt(b, static_cast<int32_t>(messages.size()));
        for (auto& m : messages) {
            putInt(b, m.first);
            putWString(b, m.second);
        }
        putInt(b, static_cast<int32_t>(sections.size()));
        for (auto& s : sections) {
            putString(b, s.first);
            putInt(b, static_cast<int32_t>(s.second.size()));
            for (auto& m : s.second) {
                putInt(b, m.first);
                putWString(b, m.second);
            }
        }
        return b;
    }
};

const char* localeForTest = "en";
const char* detect() { return localeForTest; }

bool parse(const Bytes& b, BlockError* error, uint64_t* fileArea = nullptr) {
    MemoryByteSource src(b.data(), b.size());
    BlockContents contents;
    bool ok = parseBlock(src, detect, &contents, error);
    if (fileArea) *fileArea = contents.fileAreaOffset;
    return ok;
}

// Hands out at most `chunk` bytes a read and counts the calls, as a file
// might; the buffered source must parse through it exactly like memory.
class ChunkySource : public ByteSource {
public:
    ChunkySource(const Bytes& b, size_t chunk) : memory_(b.data(), b.size()), chunk_(chunk) {}
    bool read(void* dst, size_t n, size_t* got) override {
        ++reads;
        return memory_.read(dst, n < chunk_ ? n : chunk_, got);
    }
    bool seek(uint64_t offset) override { return memory_.seek(offset); }
    uint64_t position() override {
        ++queries;
        return memory_.position();
    }
    uint64_t size() override {
        ++queries;
        return memory_.size();
    }
    int reads = 0;
    int queries = 0;

private:
    MemoryByteSource memory_;
    size_t chunk_;
};

bool parseBuffered(ChunkySource& inner, BlockError* error, uint64_t* fileArea) {
    BufferedByteSource src(inner);
    BlockContents contents;
    bool ok = parseBlock(src, detect, &contents, error);
    *fileArea = contents.fileAreaOffset;
    return ok;
}

// A small block with one record of each kind and one language section.
Bytes smallBlock() {
    Block block;
    block.config = {{101, "svc"}};
    block.messages = {{1000, u"Error"}};
    block.sections = {{"de", {{1000, u"Fehler"}}}};
    return block.bytes();
}

std::wstring message(int id) {
    wchar_t buf[256];
    getMessage(id, buf, 256);
    return buf;
}

std::string config(int key) { return getConfigCopy(key); }

}  // namespace

class ConfigBlock : public ::testing::Test {
protected:
    void SetUp() override {
        clearStores();
        clearCapturedLog();
        localeForTest = "en";
    }
};

TEST_F(ConfigBlock, ReadsRecordsAndRemembersTheFileArea) {
    Block block;
    block.config = {{101, "svc"}, {122, "com.example.Main"}, {101, "second"}};
    block.messages = {{1000, u"Error"}, {1009, u"An internal error occurred (error code: {0})"}};
    Bytes b = block.bytes();
    size_t end = b.size();
    b.insert(b.end(), {1, 2, 3});
    BlockError error = BlockError::Magic;
    uint64_t area = 0;
    ASSERT_TRUE(parse(b, &error, &area));
    EXPECT_EQ(error, BlockError::None);
    EXPECT_EQ(area, end);
    EXPECT_EQ(config(101), "second");  // a later duplicate wins
    EXPECT_EQ(config(122), "com.example.Main");
    EXPECT_EQ(message(1000), L"Error");
}

TEST_F(ConfigBlock, EmptyBlockIsValid) {
    BlockError error;
    ASSERT_TRUE(parse(Block().bytes(), &error));
    EXPECT_EQ(configValueCount(), 0u);
    EXPECT_EQ(messageCount(), 0u);
}

TEST_F(ConfigBlock, WrongMagicIsRefused) {
    Bytes b = Block().bytes();
    b[0] ^= 1;
    BlockError error;
    EXPECT_FALSE(parse(b, &error));
    EXPECT_EQ(error, BlockError::Magic);
    EXPECT_STREQ(std::wstring(blockErrorText(error)).c_str(), L"Internal Error: magic");
}

TEST_F(ConfigBlock, EveryTruncationIsAReadError) {
    Bytes full = smallBlock();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        clearStores();
        Bytes b(full.begin(), full.begin() + static_cast<long>(cut));
        BlockError error = BlockError::None;
        EXPECT_FALSE(parse(b, &error)) << "cut at " << cut;
        EXPECT_NE(error, BlockError::None) << "cut at " << cut;
        EXPECT_NE(error, BlockError::Magic) << "cut at " << cut;
    }
}

TEST_F(ConfigBlock, LyingLengthsAndCountsFailWithoutHugeAllocations) {
    Bytes b;
    putInt(b, static_cast<int32_t>(kBlockMagic));
    for (int i = 0; i < 4; ++i) putInt(b, 0);
    putInt(b, 1);
    putInt(b, 101);
    putInt(b, 0x7FFFFFF0);  // string length far beyond the data
    b.insert(b.end(), {'a', 'b'});
    BlockError error;
    EXPECT_FALSE(parse(b, &error));
    EXPECT_EQ(error, BlockError::ReadString);

    Bytes m;
    putInt(m, static_cast<int32_t>(kBlockMagic));
    for (int i = 0; i < 4; ++i) putInt(m, 0);
    putInt(m, 0);
    putInt(m, 1);
    putInt(m, 1000);
    putInt(m, -4);  // negative wide length
    EXPECT_FALSE(parse(m, &error));
    EXPECT_EQ(error, BlockError::ReadWString);

    Bytes c;
    putInt(c, static_cast<int32_t>(kBlockMagic));
    for (int i = 0; i < 4; ++i) putInt(c, 0);
    putInt(c, 0x7FFFFFFF);  // two billion records announced, none present
    EXPECT_FALSE(parse(c, &error));
    EXPECT_EQ(error, BlockError::ReadInt);
}

TEST_F(ConfigBlock, NegativeCountsMeanNoRecords) {
    Bytes b;
    putInt(b, static_cast<int32_t>(kBlockMagic));
    for (int i = 0; i < 4; ++i) putInt(b, 0);
    putInt(b, -1);
    putInt(b, -5);
    putInt(b, 0);
    BlockError error;
    EXPECT_TRUE(parse(b, &error));
}

TEST_F(ConfigBlock, LanguageSectionsApplyByPrefixInFileOrder) {
    Block block;
    block.messages = {{1, u"one"}, {2, u"two"}, {3, u"three"}};
    block.sections = {{"de", {{1, u"eins"}, {2, u"zwei"}}}, {"de_CH", {{2, u"zwoi"}}}, {"fr", {{3, u"trois"}}}};
    Bytes b = block.bytes();

    localeForTest = "de_CH";
    BlockError error;
    ASSERT_TRUE(parse(b, &error));
    EXPECT_EQ(message(1), L"eins");
    EXPECT_EQ(message(2), L"zwoi");
    EXPECT_EQ(message(3), L"three");

    clearStores();
    localeForTest = "de_DE";
    ASSERT_TRUE(parse(b, &error));
    EXPECT_EQ(message(2), L"zwei");

    clearStores();
    localeForTest = "en_US";
    ASSERT_TRUE(parse(b, &error));
    EXPECT_EQ(message(1), L"one");
    EXPECT_EQ(message(2), L"two");
}

TEST_F(ConfigBlock, EmptySectionCodeMatchesEveryLocale) {
    Block block;
    block.messages = {{1, u"one"}};
    block.sections = {{"", {{1, u"all"}}}};
    BlockError error;
    ASSERT_TRUE(parse(block.bytes(), &error));
    EXPECT_EQ(message(1), L"all");
    EXPECT_TRUE(sectionMatchesLocale("de", "de"));
    EXPECT_FALSE(sectionMatchesLocale("de_CH", "de"));
    EXPECT_FALSE(sectionMatchesLocale("DE", "de_DE"));
}

TEST_F(ConfigBlock, LocatesTheBlockFromTheLastSectionHeader) {
    // A minimal PE header: signature at 0x80, 3 sections, optional header
    // of 0xF0 bytes; the last section's raw data ends at 0x600 + 0x200.
    Bytes image(0x400, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) image[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    auto put16 = [&](size_t at, uint16_t v) {
        image[at] = static_cast<unsigned char>(v);
        image[at + 1] = static_cast<unsigned char>(v >> 8);
    };
    put32(0x3C, 0x80);
    put16(0x80 + 6, 3);
    put16(0x80 + 20, 0xF0);
    size_t last = 0x80 + 24 + 0xF0 + 40 * 2;
    put32(last + 16, 0x200);
    put32(last + 20, 0x600);
    MemoryByteSource src(image.data(), image.size());
    uint64_t offset = 0;
    BlockError error = BlockError::None;
    ASSERT_TRUE(locateBlock(src, &offset, &error));
    EXPECT_EQ(offset, 0x800u);
    EXPECT_TRUE(logContains(L"number of sections: 3"));
    EXPECT_TRUE(logContains(L"size of optional headers: 240"));
    EXPECT_TRUE(logContains(L"resSectionTableStart: " + std::to_wstring(0x80 + 0xF0 + 40 * 3 - 16)));
    EXPECT_TRUE(logContains(L"rawDataSize: 512, rawDataOffset: 1536"));
}

TEST_F(ConfigBlock, LocatingInATruncatedImageFails) {
    Bytes image(0x40, 0);
    image[0x3C] = 0xFF;
    image[0x3D] = 0xFF;
    MemoryByteSource src(image.data(), image.size());
    uint64_t offset = 0;
    BlockError error = BlockError::None;
    EXPECT_FALSE(locateBlock(src, &offset, &error));
    EXPECT_EQ(error, BlockError::ReadShort);
}

TEST_F(ConfigBlock, BufferedReadingParsesLikeMemoryInAFewReads) {
    Block block;
    block.config = {{101, "svc"}, {122, std::string(40000, 'm')}};
    block.messages = {{1000, u"Error"}};
    block.sections = {{"de", {{1000, u"Fehler"}}}, {"fr", {{1000, u"Erreur"}}}};
    Bytes b = block.bytes();
    b.insert(b.end(), 5000, 0x5A);  // a file area behind the block
    BlockError plainError = BlockError::Magic;
    uint64_t plainArea = 0;
    ASSERT_TRUE(parse(b, &plainError, &plainArea));
    std::string big = config(122);
    for (size_t chunk : {size_t(1), size_t(3), size_t(4096), size_t(1) << 20}) {
        clearStores();
        BlockError error = BlockError::Magic;
        uint64_t area = 0;
        ChunkySource inner(b, chunk);
        ASSERT_TRUE(parseBuffered(inner, &error, &area)) << chunk;
        EXPECT_EQ(error, BlockError::None);
        EXPECT_EQ(area, plainArea) << chunk;
        EXPECT_EQ(config(122), big) << chunk;
        EXPECT_EQ(config(101), "svc");
        EXPECT_EQ(message(1000), L"Error");
        if (chunk >= 4096) {
            // A 45 KB block in about as many reads as the chunks and the
            // 16 KB buffer allow, its size and position asked once.
            EXPECT_LE(static_cast<size_t>(inner.reads), b.size() / std::min(chunk, size_t(16384)) + 4) << chunk;
            EXPECT_LE(inner.queries, 2) << chunk;
        }
    }
}

TEST_F(ConfigBlock, BufferedReadingFailsLikeMemoryAtEveryCut) {
    Bytes full = smallBlock();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        Bytes b(full.begin(), full.begin() + static_cast<long>(cut));
        clearStores();
        BlockError plain = BlockError::None;
        EXPECT_FALSE(parse(b, &plain));
        for (size_t chunk : {size_t(1), size_t(7), size_t(1) << 20}) {
            clearStores();
            BlockError buffered = BlockError::None;
            uint64_t area = 0;
            ChunkySource inner(b, chunk);
            EXPECT_FALSE(parseBuffered(inner, &buffered, &area)) << "cut at " << cut;
            EXPECT_EQ(buffered, plain) << "cut at " << cut << " chunk " << chunk;
        }
    }
}

TEST(BufferedByteSource, SeeksReadsAcrossTheBufferAndStraightThrough) {
    Bytes data(70000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + i / 256);
    ChunkySource inner(data, 5000);
    BufferedByteSource src(inner);
    std::vector<unsigned char> out(40000);
    size_t got = 0;
    ASSERT_TRUE(src.seek(16380));
    ASSERT_TRUE(src.read(out.data(), 10, &got));  // crosses the first buffer's end
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(0, memcmp(out.data(), data.data() + 16380, 10));
    EXPECT_EQ(src.position(), 16390u);
    ASSERT_TRUE(src.read(out.data(), 40000, &got));  // larger than the buffer
    EXPECT_GT(got, 0u);
    EXPECT_EQ(0, memcmp(out.data(), data.data() + 16390, got));
    EXPECT_EQ(src.position(), 16390u + got);
    ASSERT_TRUE(src.seek(69995));
    ASSERT_TRUE(src.read(out.data(), 100, &got));  // a short read at the end
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(0, memcmp(out.data(), data.data() + 69995, 5));
    EXPECT_EQ(src.position(), 70000u);
    EXPECT_EQ(src.size(), 70000u);
}
