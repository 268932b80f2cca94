// The executable's resources: where the resource section goes in a stub,
// the icon file checks, the version numbers and the version resource.
#include <gtest/gtest.h>

#include "config/block.h"
#include "pack/icon_file.h"
#include "pack/pe_stub.h"
#include "pack/resource_section.h"
#include "pack/tests/test_support.h"
#include "pack/version_resource.h"

namespace {

std::string iconError(const std::string& bytes) {
    IconFile icon;
    std::string error;
    EXPECT_FALSE(parseIcon(bytes, &icon, &error));
    return error;
}

TEST(ResourceSection, GoesAfterTheLastSectionAndTheBlockAfterIt) {
    for (bool plus : {false, true}) {
        PeShape input;
        input.pe32plus = plus;
        input.checksum = 0x4242;
        std::string original = makePe(input), error;
        StubPrefix prefix;
        ASSERT_TRUE(prepareStub(original, false, &prefix, &error)) << error;
        std::vector<Resource> resources = {{rt::Manifest, 1, kResourceLanguage, "<assembly/>"},
                                           {rt::Icon, 2, kResourceLanguage, std::string(1000, 'i')},
                                           {rt::Icon, 1, kResourceLanguage, "first"}};
        ASSERT_TRUE(addResourceSection(&prefix, resources, &error)) << error;

        StubLayout layout;
        ASSERT_TRUE(readStubLayout(prefix.bytes, &layout, &error)) << error;
        ASSERT_EQ(layout.sections.size(), 3u);
        const PeSection& rsrc = layout.sections[2];
        EXPECT_EQ(rsrc.name, ".rsrc");
        EXPECT_EQ(rsrc.virtualAddress, 0x3000u);  // after the two sections at 0x1000 and 0x2000
        EXPECT_EQ(rsrc.rawOffset, 0x800u);
        EXPECT_EQ(rsrc.rawSize % 0x200, 0u);
        EXPECT_EQ(layout.resourceRva, 0x3000u);
        EXPECT_EQ(layout.resourceSize, rsrc.virtualSize);
        EXPECT_EQ(le32(prefix.bytes, 0x80 + 24 + 56), (0x3000 + rsrc.virtualSize + 0xFFF) / 0x1000 * 0x1000);
        EXPECT_EQ(prefix.bytes.substr(0x400, 0x400), original.substr(0x400, 0x400));
        // The launcher's own reader finds the block behind the new section.
        std::string withBlock = prefix.bytes + std::string("\xD5\x13\xE4\xE8", 4);
        MemoryByteSource source(withBlock.data(), withBlock.size());
        uint64_t offset = 0;
        BlockError blockError = BlockError::None;
        ASSERT_TRUE(locateBlock(source, &offset, &blockError));
        EXPECT_EQ(offset, prefix.bytes.size());

        std::vector<Resource> back;
        ASSERT_TRUE(decodeResourceSection(prefix.bytes.substr(rsrc.rawOffset, rsrc.virtualSize), rsrc.virtualAddress,
                                          &back, &error))
            << error;
        ASSERT_EQ(back.size(), 3u);  // in type, id order
        EXPECT_EQ(back[0].type, rt::Icon);
        EXPECT_EQ(back[0].data, "first");
        EXPECT_EQ(back[1].data, std::string(1000, 'i'));
        EXPECT_EQ(back[2].type, rt::Manifest);
        EXPECT_EQ(back[2].language, kResourceLanguage);
    }
}

TEST(ResourceSection, ReplacesTheStubsOwn) {
    std::string error;
    std::vector<Resource> resources = {{rt::Manifest, 1, kResourceLanguage, "<assembly/>"}};
    // The stub's resources in its last section: that section is replaced.
    PeShape last;
    last.sections = {{0x400, 0x200}, {0x600, 0x200}, {0x800, 0x400}};
    last.resourceSection = 2;
    StubPrefix prefix;
    ASSERT_TRUE(prepareStub(makePe(last), false, &prefix, &error)) << error;
    ASSERT_TRUE(addResourceSection(&prefix, resources, &error)) << error;
    StubLayout layout;
    ASSERT_TRUE(readStubLayout(prefix.bytes, &layout, &error)) << error;
    ASSERT_EQ(layout.sections.size(), 3u);
    EXPECT_EQ(layout.sections[2].virtualAddress, 0x3000u);
    EXPECT_EQ(layout.sections[2].rawOffset, 0x800u);
    EXPECT_EQ(layout.resourceRva, 0x3000u);
    EXPECT_EQ(prefix.bytes.size(), 0xA00u);  // the old 0x400 bytes are gone

    // Elsewhere: it stays, unused, and the directory names the new one.
    PeShape first;
    first.resourceSection = 0;
    ASSERT_TRUE(prepareStub(makePe(first), false, &prefix, &error)) << error;
    ASSERT_TRUE(addResourceSection(&prefix, resources, &error)) << error;
    ASSERT_TRUE(readStubLayout(prefix.bytes, &layout, &error)) << error;
    ASSERT_EQ(layout.sections.size(), 3u);
    EXPECT_EQ(layout.resourceRva, 0x3000u);
}

TEST(ResourceSection, AStubWithoutRoomForAnotherSectionIsRefused) {
    PeShape input;
    input.sections = {{0x200, 0x200}, {0x400, 0x200}, {0x600, 0x200}};  // data right behind the table
    StubPrefix prefix;
    std::string error;
    ASSERT_TRUE(prepareStub(makePe(input), false, &prefix, &error)) << error;
    EXPECT_FALSE(addResourceSection(&prefix, {{rt::Manifest, 1, kResourceLanguage, "x"}}, &error));
    EXPECT_NE(error.find("no room for another section"), std::string::npos) << error;
}

TEST(ResourceSection, DamagedDirectoriesAreRefusedNotFollowed) {
    std::string section = encodeResourceSection({{rt::Version, 1, kResourceLanguage, "data"}}, 0x5000);
    std::vector<Resource> back;
    std::string error;
    ASSERT_TRUE(decodeResourceSection(section, 0x5000, &back, &error)) << error;
    std::string bad = section;
    bad[14] = '\xFF';  // the root claims 255 more entries than it has
    EXPECT_FALSE(decodeResourceSection(bad, 0x5000, &back, &error));
    EXPECT_FALSE(decodeResourceSection(section, 0x9000, &back, &error));  // data before the section
    EXPECT_FALSE(decodeResourceSection(section.substr(0, 20), 0x5000, &back, &error));
}

TEST(IconFile, ImagesAndTheirGroupAsTheFileHasThem) {
    std::string large = testPng(256, 256), small = testBitmap(32);
    IconFile icon;
    std::string error;
    ASSERT_TRUE(parseIcon(testIconFile({{0, large}, {32, small}}), &icon, &error)) << error;
    ASSERT_EQ(icon.images.size(), 2u);
    EXPECT_TRUE(icon.images[0].png);
    EXPECT_FALSE(icon.images[1].png);
    EXPECT_EQ(icon.images[0].data, large);
    EXPECT_EQ(icon.images[1].data, small);
    EXPECT_EQ(iconPixels(icon.images[0].width), 256);

    std::string group = encodeIconGroup(icon, 1);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(le32(group, 0) & 0xFFFF, 0u);
    EXPECT_EQ(le32(group, 2) & 0xFFFF, 1u);      // type: icon
    EXPECT_EQ(le32(group, 4) & 0xFFFF, 2u);      // two images
    EXPECT_EQ(le32(group, 6 + 8), large.size());  // bytes of the first
    EXPECT_EQ(le32(group, 6 + 12) & 0xFFFF, 1u);  // its id
    EXPECT_EQ(le32(group, 20 + 12) & 0xFFFF, 2u);

    // A PNG on its own is an icon of one image.
    ASSERT_TRUE(parseIcon(testPng(48, 48), &icon, &error)) << error;
    ASSERT_EQ(icon.images.size(), 1u);
    EXPECT_TRUE(icon.fromPng);
    EXPECT_EQ(icon.images[0].width, 48);
    EXPECT_EQ(icon.images[0].bitCount, 32);
}

TEST(IconFile, DamagedFilesSayWhatIsWrong) {
    std::string good = testIconFile({{0, testPng(256, 256)}, {32, testBitmap(32)}});
    EXPECT_NE(iconError("").find("neither a Windows icon file"), std::string::npos);
    EXPECT_NE(iconError("just some text").find("neither a Windows icon file"), std::string::npos);
    std::string cursor = good;
    cursor[2] = 2;
    EXPECT_NE(iconError(cursor).find("cursor"), std::string::npos);
    EXPECT_NE(iconError(testIconFile({})).find("holds no image"), std::string::npos);
    std::string many = good;
    many[4] = 65;
    EXPECT_NE(iconError(many).find("at most 64"), std::string::npos);
    EXPECT_NE(iconError(good.substr(0, 20)).find("directory of 2 images needs 38 bytes"), std::string::npos);
    EXPECT_NE(iconError(good.substr(0, good.size() - 1)).find("image 2 (32x32) lies at offset"), std::string::npos);
    std::string inside = good;
    inside[6 + 12] = 10;  // the first image's offset points into the directory
    EXPECT_NE(iconError(inside).find("inside the icon directory"), std::string::npos);
    std::string empty = good;
    empty.replace(6 + 8, 4, std::string(4, '\0'));
    EXPECT_NE(iconError(empty).find("image 1 (256x256) has no bytes"), std::string::npos);
    std::string crc = good;
    crc[38 + 8 + 8 + 3] ^= 1;  // a byte of the IHDR data
    EXPECT_NE(iconError(crc).find("checksum of its IHDR chunk is wrong"), std::string::npos);
    EXPECT_NE(iconError(testPng(512, 512)).find("512x512 pixels"), std::string::npos);
    std::string noEnd = testPng(64, 64);
    EXPECT_NE(iconError(noEnd.substr(0, noEnd.size() - 12)).find("is cut off"), std::string::npos);
    std::string shortBitmap = testBitmap(32);
    EXPECT_NE(iconError(testIconFile({{32, shortBitmap.substr(0, shortBitmap.size() - 100)}})).find("its bitmap needs"),
              std::string::npos);
    EXPECT_NE(iconError(std::string(16 * 1024 * 1024 + 1, '\0')).find("at most 16777216"), std::string::npos);
}

TEST(VersionNumbers, LeadingNumbersPaddedAndPartsOver65535Refused) {
    struct Case {
        const char* text;
        VersionNumber expected;
    } cases[] = {
        {"2.1.0-SNAPSHOT", {2, 1, 0, 0}}, {"3.0-rc1", {3, 0, 0, 0}}, {"1.2.3.4", {1, 2, 3, 4}},
        {"1.2.3.4.5", {1, 2, 3, 4}},      {"7", {7, 0, 0, 0}},       {"1..2", {1, 0, 0, 0}},
        {"65535.0.0.65535", {65535, 0, 0, 65535}}, {"2024.1 (build 7)", {2024, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        VersionNumber number;
        std::string error;
        ASSERT_TRUE(versionNumberOf(c.text, &number, &error)) << c.text << ": " << error;
        EXPECT_EQ(number, c.expected) << c.text;
    }
    for (const char* bad : {"65536", "1.70000", "99999999999999999999999", "v1.2", "", "-1", "SNAPSHOT"}) {
        VersionNumber number;
        std::string error;
        EXPECT_FALSE(versionNumberOf(bad, &number, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(VersionResource, StringsAndFixedNumbersReadBack) {
    VersionTexts texts;
    texts.fileVersion = u"2.1.0-SNAPSHOT";
    texts.productVersion = u"2.1";
    texts.productName = u"Ünïcode Äpp ☕";
    texts.companyName = u"Example";  // the other texts stay out
    std::string data = encodeVersionResource({2, 1, 0, 0}, {2, 1, 0, 0}, texts);
    EXPECT_EQ(data.size() % 2, 0u);
    EXPECT_EQ(le32(data, 0) & 0xFFFF, data.size());
    VersionReport report;
    std::string error;
    ASSERT_TRUE(decodeVersionResource(data, &report, &error)) << error;
    EXPECT_EQ(report.fileVersion, (VersionNumber{2, 1, 0, 0}));
    ASSERT_EQ(report.strings.size(), 4u);
    EXPECT_EQ(report.strings[0], (std::pair<std::string, std::u16string>{"CompanyName", u"Example"}));
    EXPECT_EQ(report.strings[1], (std::pair<std::string, std::u16string>{"FileVersion", u"2.1.0-SNAPSHOT"}));
    EXPECT_EQ(report.strings[2].second, u"Ünïcode Äpp ☕");

    std::string problem;
    EXPECT_FALSE(checkVersionText(u"two\nlines", &problem));
    EXPECT_FALSE(checkVersionText(std::u16string(1001, u'x'), &problem));
    EXPECT_TRUE(checkVersionText(std::u16string(1000, u'x'), &problem));
}

}  // namespace
