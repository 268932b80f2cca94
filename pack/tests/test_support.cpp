#include "pack/tests/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

#include "config/block.h"
#include "config/store.h"
#include "pack/le_bytes.h"

namespace {

void putBe32(std::string& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b += static_cast<char>(v >> (8 * i) & 0xFF);
}

uint32_t crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::string chunk(const std::string& type, const std::string& data) {
    std::string out;
    putBe32(out, static_cast<uint32_t>(data.size()));
    out += type + data;
    putBe32(out, crc32(type + data));
    return out;
}

const char* gLocale = "en";
const char* detectTestLocale() { return gLocale; }

}  // namespace

std::string makePe(const PeShape& input) {
    const size_t h = 0x80;
    const uint16_t optionalSize = input.pe32plus ? 240 : 224;
    size_t end = h + 24 + optionalSize + 40 * input.sections.size();
    for (const auto& s : input.sections)
        if (s.second > 0 && s.first + s.second > end) end = s.first + s.second;
    std::string image(end, '\0');
    image[0] = 'M', image[1] = 'Z';
    putLe32(image, 0x3C, static_cast<uint32_t>(h));
    image.replace(h, 4, std::string("PE\0\0", 4));
    putLe16(image, h + 4, input.pe32plus ? 0x8664 : 0x14C);
    putLe16(image, h + 6, static_cast<uint16_t>(input.sections.size()));
    putLe16(image, h + 20, optionalSize);
    size_t optional = h + 24;
    putLe16(image, optional, input.pe32plus ? 0x20B : 0x10B);
    size_t countField = optional + (input.pe32plus ? 108 : 92);
    size_t directories = optional + (input.pe32plus ? 112 : 96);
    putLe32(image, countField, 16);
    putLe32(image, optional + 32, 0x1000);  // section alignment
    putLe32(image, optional + 36, 0x200);   // file alignment
    putLe32(image, optional + 56, static_cast<uint32_t>(0x1000 * (input.sections.size() + 1)));
    putLe32(image, optional + 60, 0x400);   // size of the headers
    putLe32(image, optional + 64, input.checksum);
    putLe16(image, optional + 68, input.subsystem);
    putLe32(image, directories + 4 * 8, input.certOffset);
    putLe32(image, directories + 4 * 8 + 4, input.certSize);
    if (input.resourceSection >= 0) {
        putLe32(image, directories + 2 * 8, static_cast<uint32_t>(0x1000 * (input.resourceSection + 1)));
        putLe32(image, directories + 2 * 8 + 4, input.sections[static_cast<size_t>(input.resourceSection)].second);
    }
    size_t table = optional + optionalSize;
    for (size_t i = 0; i < input.sections.size(); ++i) {
        size_t entry = table + 40 * i;
        bool resources = static_cast<int>(i) == input.resourceSection;
        image.replace(entry, 5, resources ? std::string(".rsrc") : ".sec" + std::to_string(i % 10));
        putLe32(image, entry + 8, input.sections[i].second);
        putLe32(image, entry + 12, static_cast<uint32_t>(0x1000 * (i + 1)));
        putLe32(image, entry + 16, input.sections[i].second);
        putLe32(image, entry + 20, input.sections[i].first);
        putLe32(image, entry + 36, 0x40000040);
        for (uint32_t k = 0; k < input.sections[i].second; ++k)
            image[input.sections[i].first + k] = static_cast<char>(0x40 + (i + k) % 50);
    }
    if (!input.certificate.empty()) {
        if (image.size() < input.certOffset) image.resize(input.certOffset, '\0');
        image += input.certificate;
    }
    return image + input.overlay;
}

// A PNG image of the given size: its chunks are sound; the picture itself
// is not decoded by the checks.
std::string testPng(uint32_t width, uint32_t height) {
    std::string header;
    putBe32(header, width);
    putBe32(header, height);
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA
    return std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header) + chunk("IDAT", "pixels") + chunk("IEND", "");
}

// An icon bitmap: header, 32-bit colour rows and the one-bit mask.
std::string testBitmap(int32_t size) {
    std::string b;
    appendLe32(b, 40);
    appendLe32(b, static_cast<uint32_t>(size));
    appendLe32(b, static_cast<uint32_t>(2 * size));
    appendLe16(b, 1);
    appendLe16(b, 32);
    b += std::string(24, '\0');
    b += std::string(static_cast<size_t>(size * size * 4), '\x55');
    b += std::string(static_cast<size_t>((size + 31) / 32 * 4 * size), '\0');
    return b;
}

std::string testIconFile(const std::vector<TestIconEntry>& entries) {
    std::string b;
    appendLe16(b, 0);
    appendLe16(b, 1);
    appendLe16(b, static_cast<uint16_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
    for (const TestIconEntry& e : entries) {
        b += static_cast<char>(e.width);
        b += static_cast<char>(e.width);
        b += std::string(2, '\0');
        appendLe16(b, 1);
        appendLe16(b, 32);
        appendLe32(b, static_cast<uint32_t>(e.data.size()));
        appendLe32(b, offset);
        offset += static_cast<uint32_t>(e.data.size());
    }
    for (const TestIconEntry& e : entries) b += e.data;
    return b;
}

TempDir::TempDir() {
    static std::mt19937_64 random(static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    path_ = std::filesystem::temp_directory_path() / ("vtlpack-test-" + std::to_string(random() % 1000000000));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::file(const std::string& name, const std::string& content) const {
    std::filesystem::path p = path_ / std::filesystem::u8path(name);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return p;
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool parseWithLauncher(const std::string& block, const char* locale, uint64_t* fileAreaOffset) {
    clearStores();
    gLocale = locale;
    MemoryByteSource source(block.data(), block.size());
    BlockContents contents;
    BlockError error = BlockError::None;
    bool ok = parseBlock(source, detectTestLocale, &contents, &error);
    if (fileAreaOffset) *fileAreaOffset = contents.fileAreaOffset;
    return ok;
}

std::string launcherConfig(int key) { return getConfigCopy(key); }

std::wstring launcherMessage(int id) {
    static wchar_t buffer[6000];
    getMessage(id, buffer, sizeof buffer / sizeof buffer[0]);
    return buffer;
}

int64_t le64(const std::string& b, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return static_cast<int64_t>(v);
}

std::map<int, std::string> configOf(const Project& project) {
    std::map<int, std::string> out;
    for (const auto& [key, value] : project.block.config) out[key] = value;
    return out;
}

Project parseOk(const std::string& text, const std::filesystem::path& base, ProjectOptions options) {
    Project project;
    std::vector<Diagnostic> diagnostics;
    bool ok = parseProjectText(text, "app.toml", base, options, &project, &diagnostics);
    std::string all;
    for (const auto& d : diagnostics) all += formatDiagnostic(d) + "\n";
    EXPECT_TRUE(ok) << all;
    return project;
}

std::vector<Diagnostic> parseErrors(const std::string& text, const std::filesystem::path& base) {
    Project project;
    std::vector<Diagnostic> diagnostics;
    EXPECT_FALSE(parseProjectText(text, "app.toml", base, ProjectOptions(), &project, &diagnostics)) << text;
    EXPECT_FALSE(diagnostics.empty());
    return diagnostics;
}
