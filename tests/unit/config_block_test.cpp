#include <gtest/gtest.h>

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
    Block block;
    block.config = {{101, "svc"}};
    block.messages = {{1000, u"Error"}};
    block.sections = {{"de", {{1000, u"Fehler"}}}};
    Bytes full = block.bytes();
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
