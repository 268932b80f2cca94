#include <gtest/gtest.h>

#include <string>

#include "config/store.h"
#include "tests/support/log_capture.h"

class ConfigStore : public ::testing::Test {
protected:
    void SetUp() override {
        clearStores();
        clearCapturedLog();
    }
};

TEST_F(ConfigStore, IntegerForms) {
    const struct {
        const char* text;
        int value;
    } cases[] = {{"4", 4}, {" 4", 4}, {"+4", 4}, {"4x", 4}, {"", 0}, {"x", 0}, {"-12", -12},
                 {"\t7", 7}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const auto& c : cases) {
        storeConfigValue(107, c.text);
        EXPECT_EQ(getConfigInt(107), c.value) << c.text;
    }
    EXPECT_EQ(getConfigInt(999), 0);
}

TEST_F(ConfigStore, StringTruncationIsLogged) {
    storeConfigValue(101, "0123456789");
    char buf[5];
    EXPECT_FALSE(getConfigString(101, buf, sizeof buf));
    EXPECT_STREQ(buf, "0123");
    EXPECT_TRUE(logContains(L"ERROR: config string 101 truncated (5 10)"));

    storeConfigValue(2001, "vv");
    char family[2];
    getConfigString(2001, family, sizeof family);
    EXPECT_STREQ(family, "v");
    EXPECT_TRUE(logContains(L"ERROR: config string 2001 truncated (2 2)"));
}

TEST_F(ConfigStore, AbsentKeysReadEmpty) {
    char buf[8] = "junk";
    EXPECT_TRUE(getConfigString(5, buf, sizeof buf));
    EXPECT_STREQ(buf, "");
    wchar_t wide[8] = L"junk";
    getConfigWide(5, wide, 8);
    EXPECT_EQ(std::wstring(wide), L"");
    EXPECT_EQ(getConfigCopy(5), "");
    EXPECT_TRUE(capturedLog().empty());
}

TEST_F(ConfigStore, WideValuesAreWidenedByteByByte) {
    storeConfigValue(146, "c:\\\xE4pp");
    wchar_t wide[16];
    getConfigWide(146, wide, 16);
    EXPECT_EQ(wide[3], static_cast<wchar_t>(0xE4));
    EXPECT_EQ(getConfigCopy(146), "c:\\\xE4pp");
}

TEST_F(ConfigStore, MessageFallsBackToConfigurationKey) {
    wchar_t text[32];
    storeConfigValue(1009, "from config");
    getMessageOrConfig(1009, text, 32);
    EXPECT_EQ(std::wstring(text), L"from config");
    storeMessage(1009, L"");
    getMessageOrConfig(1009, text, 32);
    EXPECT_EQ(std::wstring(text), L"from config");
    storeMessage(1009, L"message {0}");
    getMessageOrConfig(1009, text, 32);
    EXPECT_EQ(std::wstring(text), L"message {0}");
    getMessageOrConfig(4242, text, 32);
    EXPECT_EQ(std::wstring(text), L"");
}

TEST_F(ConfigStore, LookupsDoNotChangeTheStore) {
    storeConfigValue(1, "a");
    char buf[4];
    getConfigString(2, buf, sizeof buf);
    getConfigInt(3);
    EXPECT_EQ(configValueCount(), 1u);
    EXPECT_FALSE(hasConfigValue(2));
}
