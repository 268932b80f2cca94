// The resource section of a packed executable: its directory tree of
// type, id and language, the data entries and the data. Written by the
// packing tool (icon, version information, manifest) and read back by
// `vtlpack inspect`. Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rt {
constexpr uint16_t Icon = 3;
constexpr uint16_t GroupIcon = 14;
constexpr uint16_t Version = 16;
constexpr uint16_t Manifest = 24;
}  // namespace rt

// Every resource is written in US English, the language the version
// resource's translation entry names.
constexpr uint16_t kResourceLanguage = 0x0409;

struct Resource {
    uint16_t type = 0;
    uint16_t id = 0;
    uint16_t language = kResourceLanguage;
    std::string data;
};

// The bytes of a resource section whose first byte lands at `sectionRva`:
// the directories (types, then ids, then languages, each in ascending
// order), the data entries, then the data, every item on an 8-byte
// boundary. Two resources with the same type, id and language are the
// caller's mistake; the later one is dropped.
std::string encodeResourceSection(std::vector<Resource> resources, uint32_t sectionRva);

// Reads a resource section back (the bytes from the directory's RVA to the
// end of its section). Resources named by strings rather than numbers are
// skipped. False, with what is wrong, when the tree is damaged.
bool decodeResourceSection(const std::string& section, uint32_t sectionRva, std::vector<Resource>* resources,
                           std::string* error);
