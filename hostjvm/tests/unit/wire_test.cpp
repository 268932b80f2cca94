#include "hostjvm/src/wire.h"

#include <gtest/gtest.h>

namespace {

TEST(Wire, FieldsRoundTripInBigEndianOrder) {
    FrameWriter w;
    w.u8(0xab);
    w.i32(-2);
    w.i64(0x0102030405060708LL);
    w.text("h\xc3\xa9");
    const uint16_t units[] = {0x0041, 0x20ac, 0xd83d};
    w.chars(units, 3);
    std::vector<uint8_t> head(w.bytes.begin(), w.bytes.begin() + 13);
    std::vector<uint8_t> expected = {0xab, 0xff, 0xff, 0xff, 0xfe, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(expected, head);

    FrameReader r(w.bytes.data(), w.bytes.size());
    EXPECT_EQ(0xab, r.u8());
    EXPECT_EQ(-2, r.i32());
    EXPECT_EQ(0x0102030405060708LL, r.i64());
    EXPECT_EQ("h\xc3\xa9", r.text());
    std::vector<uint16_t> back = r.chars();
    EXPECT_EQ(std::vector<uint16_t>(units, units + 3), back);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(w.bytes.size(), r.pos);
}

TEST(Wire, ShortRepliesAreNeverReadBeyond) {
    const uint8_t data[] = {0, 0, 0, 9, 'a', 'b'};  // a text claiming 9 bytes, holding 2
    FrameReader r(data, sizeof data);
    EXPECT_EQ("", r.text());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(0, r.i64());

    const uint8_t negative[] = {0xff, 0xff, 0xff, 0xff};
    FrameReader n(negative, sizeof negative);
    EXPECT_TRUE(n.chars().empty());
    EXPECT_FALSE(n.ok);

    FrameReader empty(nullptr, 0);
    EXPECT_EQ(0, empty.u8());
    EXPECT_FALSE(empty.ok);
}

TEST(Wire, FrameLengthPrefix) {
    uint8_t b[4];
    putFrameLength(b, 0x01020304u);
    EXPECT_EQ(1, b[0]);
    EXPECT_EQ(4, b[3]);
    EXPECT_EQ(0x01020304u, getFrameLength(b));
}

TEST(Wire, ModifiedUtf8AsGetStringUtfCharsGivesIt) {
    const uint16_t ascii[] = {'a', 'Z'};
    EXPECT_EQ("aZ", modifiedUtf8(ascii, 2));
    // NUL takes two bytes so the result stays a C string.
    const uint16_t nul[] = {'a', 0, 'b'};
    EXPECT_EQ(std::string("a\xc0\x80" "b"), modifiedUtf8(nul, 3));
    const uint16_t twoAndThree[] = {0xe9, 0x20ac};
    EXPECT_EQ("\xc3\xa9\xe2\x82\xac", modifiedUtf8(twoAndThree, 2));
    // A supplementary character: each surrogate on its own, three bytes each.
    const uint16_t pair[] = {0xd83d, 0xde00};
    EXPECT_EQ("\xed\xa0\xbd\xed\xb8\x80", modifiedUtf8(pair, 2));
}

}  // namespace
