// Placing the block in a stub, and refusing stubs that cannot take one.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/block.h"
#include "pack/pe_stub.h"
#include "pack/tests/test_support.h"

namespace {

std::string magicBytes() { return std::string("\xD5\x13\xE4\xE8", 4); }

// Where the launcher's own reader looks for the block in an image.
uint64_t launcherBlockOffset(const std::string& image) {
    MemoryByteSource source(image.data(), image.size());
    uint64_t offset = 0;
    BlockError error = BlockError::None;
    EXPECT_TRUE(locateBlock(source, &offset, &error));
    return offset;
}

TEST(StubPlacement, BlockGoesWhereTheLauncherLooks) {
    for (bool plus : {false, true}) {
        PeShape input;
        input.pe32plus = plus;
        input.sections = {{0x400, 0x600}, {0xA00, 0x200}, {0xC00, 0x400}};
        std::string image = makePe(input), error;
        StubPrefix prefix;
        StubLayout layout;
        ASSERT_TRUE(readStubLayout(image, &layout, &error)) << error;
        EXPECT_EQ(layout.blockOffset, 0x1000u);
        EXPECT_EQ(layout.sectionCount, 3);
        EXPECT_EQ(layout.optionalHeaderSize, plus ? 240 : 224);
        ASSERT_TRUE(prepareStub(image, false, &prefix, &error)) << error;
        EXPECT_EQ(prefix.bytes, image);
        EXPECT_EQ(launcherBlockOffset(image + magicBytes()), prefix.bytes.size());
    }
}

TEST(StubPlacement, TheLastTableEntryCountsNotTheHighestOffset) {
    // A stub whose last table entry is not the section furthest into the
    // file would have its data cut off; it is refused.
    PeShape input;
    input.sections = {{0x400, 0x200}, {0x800, 0x200}, {0x600, 0x200}};
    std::string image = makePe(input), error;
        StubPrefix prefix;
    StubLayout layout;
    ASSERT_TRUE(readStubLayout(image, &layout, &error));
    EXPECT_EQ(layout.blockOffset, 0x800u);
    EXPECT_EQ(layout.highestRawEnd, 0xA00u);
    EXPECT_EQ(launcherBlockOffset(image), 0x800u);
    EXPECT_FALSE(prepareStub(image, false, &prefix, &error));
    EXPECT_NE(error.find("last entry"), std::string::npos) << error;

    // A trailing entry without raw data puts the block at 0.
    input.sections = {{0x400, 0x200}, {0, 0}};
    EXPECT_FALSE(prepareStub(makePe(input), false, &prefix, &error));
}

TEST(StubRefusal, AlreadyPackedStub) {
    std::string image = makePe(PeShape()) + magicBytes() + std::string(28, '\0'), error;
    StubPrefix prefix;
    EXPECT_FALSE(prepareStub(image, false, &prefix, &error));
    EXPECT_NE(error.find("already carries a configuration block"), std::string::npos) << error;
    EXPECT_FALSE(prepareStub(image, true, &prefix, &error));
}

TEST(StubRefusal, OverlayIsRefusedButZeroPaddingIsDropped) {
    PeShape input;
    input.overlay = "other data";
    std::string error;
    StubPrefix prefix;
    EXPECT_FALSE(prepareStub(makePe(input), false, &prefix, &error));
    EXPECT_NE(error.find("10 bytes of data after its last section"), std::string::npos) << error;

    input.overlay = std::string(16, '\0');
    ASSERT_TRUE(prepareStub(makePe(input), false, &prefix, &error)) << error;
    EXPECT_EQ(prefix.bytes.size(), 0x800u);
}

TEST(StubRefusal, SignedStubUnlessStripped) {
    for (bool plus : {false, true}) {
        PeShape input;
        input.pe32plus = plus;
        input.certOffset = 0x808;  // 8-byte aligned, after 8 bytes of padding
        input.certificate = std::string(0x100, 'C');
        input.certSize = 0x100;
        std::string image = makePe(input), error;
        StubPrefix prefix;
        StubLayout layout;
        ASSERT_TRUE(readStubLayout(image, &layout, &error));
        EXPECT_EQ(layout.certOffset, 0x808u);

        EXPECT_FALSE(prepareStub(image, false, &prefix, &error));
        EXPECT_NE(error.find("signed"), std::string::npos) << error;
        EXPECT_NE(error.find("--strip-signature"), std::string::npos) << error;

        ASSERT_TRUE(prepareStub(image, true, &prefix, &error)) << error;
        ASSERT_EQ(prefix.bytes.size(), 0x800u);
        StubLayout stripped;
        ASSERT_TRUE(readStubLayout(prefix.bytes, &stripped, &error));
        EXPECT_EQ(stripped.certOffset, 0u);
        EXPECT_EQ(stripped.certSize, 0u);
        // Only the directory entry changed.
        size_t differences = 0;
        for (size_t i = 0; i < prefix.bytes.size(); ++i) differences += prefix.bytes[i] != image[i];
        EXPECT_EQ(differences, 3u);  // the non-zero bytes of 0x808 and 0x100
    }
}

TEST(StubRefusal, SignatureThatIsNotAtTheEndCannotBeStripped) {
    PeShape input;
    input.certOffset = 0x808;
    input.certSize = 0x10;
    input.certificate = std::string(0x10, 'C');
    input.overlay = "tail";  // data behind the certificate
    std::string error;
    StubPrefix prefix;
    EXPECT_FALSE(prepareStub(makePe(input), true, &prefix, &error));

    PeShape inside;  // a directory entry pointing into the sections
    inside.certOffset = 0x500;
    inside.certSize = 0x10;
    EXPECT_FALSE(prepareStub(makePe(inside), true, &prefix, &error));
    EXPECT_NE(error.find("cannot be removed cleanly"), std::string::npos) << error;
}

TEST(StubRefusal, NotAnExecutableOrCutShort) {
    std::string error;
    StubPrefix prefix;
    EXPECT_FALSE(prepareStub("just text", false, &prefix, &error));
    EXPECT_NE(error.find("MZ"), std::string::npos);

    std::string image = makePe(PeShape());
    EXPECT_FALSE(prepareStub(image.substr(0, 0x700), false, &prefix, &error));
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;

    std::string noPe = image;
    noPe[0x80] = 'X';
    EXPECT_FALSE(prepareStub(noPe, false, &prefix, &error));
    EXPECT_NE(error.find("PE signature"), std::string::npos);

    std::string hugeTable = image;
    hugeTable[0x86] = '\x7F';  // 127 sections: the table runs past the file
    EXPECT_FALSE(prepareStub(hugeTable, false, &prefix, &error));

    std::string negative = image;
    negative[0x87] = '\x80';  // read as a negative count, as the launcher does
    EXPECT_FALSE(prepareStub(negative, false, &prefix, &error));

    std::string farHeader = image;
    farHeader[0x3C] = '\xF0', farHeader[0x3F] = '\x7F';
    EXPECT_FALSE(prepareStub(farHeader, false, &prefix, &error));
}

TEST(PeChecksumTest, SumsWordsWithCarryFoldingPlusTheLength) {
    PeChecksum small;
    small.add("\x01\x02\x03", 3);  // 0x0201 + 0x0003 (odd last byte) + length 3
    EXPECT_EQ(small.finish(), 0x0207u);
    PeChecksum carry;
    carry.add("\xFF\xFF\x02\x00", 4);  // 0xFFFF + 0x0002 folds to 0x0002, + length 4
    EXPECT_EQ(carry.finish(), 6u);

    // Any split of the input gives the same result.
    std::string data = makePe(PeShape()) + std::string(1001, '\xEE');
    PeChecksum whole;
    whole.add(data.data(), data.size());
    uint32_t expected = whole.finish();
    for (size_t step : {1u, 3u, 7u, 4096u}) {
        PeChecksum pieces;
        for (size_t at = 0; at < data.size(); at += step) pieces.add(data.data() + at, std::min(step, data.size() - at));
        EXPECT_EQ(pieces.finish(), expected) << step;
    }
}

// The packed file is a different file, so its checksum is computed even
// when the stub had none.
TEST(PeChecksumTest, ChecksumIsAlwaysRecomputed) {
    PeShape input;
    input.checksum = 0x12345;
    std::string error;
    StubPrefix prefix;
    ASSERT_TRUE(prepareStub(makePe(input), false, &prefix, &error)) << error;
    EXPECT_TRUE(prefix.recomputeChecksum);
    EXPECT_EQ(prefix.checksumOffset, kTestChecksumOffset);
    EXPECT_EQ(le32(prefix.bytes, kTestChecksumOffset), 0u);  // zeroed until the output is complete

    ASSERT_TRUE(prepareStub(makePe(PeShape()), false, &prefix, &error)) << error;
    EXPECT_TRUE(prefix.recomputeChecksum);
}

}  // namespace
