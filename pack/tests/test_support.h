// Helpers for the packing tool's tests: synthetic PE images, temporary
// folders, and reading a block back through the launcher's own parser.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pack/le_bytes.h"
#include "pack/project.h"

struct PeShape {
    bool pe32plus = false;
    // Raw data offset and size of each section table entry, in table order.
    std::vector<std::pair<uint32_t, uint32_t>> sections = {{0x400, 0x200}, {0x600, 0x200}};
    // Certificate directory entry; the table itself is appended when
    // `certificate` is not empty (at certOffset, zero-padded up to it).
    uint32_t certOffset = 0;
    uint32_t certSize = 0;
    std::string certificate;
    std::string overlay;  // bytes appended after the sections (or certificate)
    uint32_t checksum = 0;  // the optional header's checksum field
    uint16_t subsystem = 3;  // console
    // The resource directory entry points at this section (-1: none).
    int resourceSection = -1;
};

// Sections of images made by makePe lie at 0x1000 * (index + 1) in memory,
// with file alignment 0x200 and section alignment 0x1000.

// Offset of the checksum field in images made by makePe.
constexpr size_t kTestChecksumOffset = 0x80 + 24 + 64;

std::string makePe(const PeShape& input);

// Icon inputs whose structure is sound: a PNG image (its chunks and
// checksums right, its pixels not meant to be decoded), an icon bitmap of
// size x size pixels, and an icon file of such images (width 0 is 256).
std::string testPng(uint32_t width, uint32_t height);
std::string testBitmap(int32_t size);
struct TestIconEntry {
    uint8_t width;
    std::string data;
};
std::string testIconFile(const std::vector<TestIconEntry>& entries);

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

std::string readBytes(const std::filesystem::path& path);

// Runs the launcher's parseBlock over `block` with the locale `locale`,
// filling the launcher's stores. Returns false when the parser refuses.
bool parseWithLauncher(const std::string& block, const char* locale, uint64_t* fileAreaOffset = nullptr);

// The launcher's view of one configuration key or message after parsing.
std::string launcherConfig(int key);
std::wstring launcherMessage(int id);

// le32 and the other little-endian helpers: pack/le_bytes.h.
int64_t le64(const std::string& bytes, size_t at);

// Project text through parseProjectText as "app.toml": parseOk expects
// success, parseErrors failure with at least one diagnostic.
Project parseOk(const std::string& text, const std::filesystem::path& base = ".", ProjectOptions options = {});
std::vector<Diagnostic> parseErrors(const std::string& text, const std::filesystem::path& base = ".");
std::map<int, std::string> configOf(const Project& project);
