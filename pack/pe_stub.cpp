#include "pack/pe_stub.h"

#include <algorithm>
#include <cstdio>

#include "config/block.h"

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr int kResourceDirectory = 2;
constexpr int kCertificateDirectory = 4;
// Windows loads no image with more sections than this.
constexpr int kMostSections = 96;
constexpr uint32_t kResourceCharacteristics = 0x40000040u;  // initialised data, readable

uint32_t u32(const std::string& b, uint64_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<uint64_t>(i)]);
    return v;
}

uint16_t u16(const std::string& b, uint64_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

bool fits(const std::string& b, uint64_t at, uint64_t n) { return at <= b.size() && n <= b.size() - at; }

bool allZero(const std::string& b, uint64_t from, uint64_t to) {
    for (uint64_t i = from; i < to; ++i)
        if (b[i] != 0) return false;
    return true;
}

std::string hex(uint64_t v) {
    char buffer[24];
    snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(v));
    return buffer;
}

// Reads the optional header: checksum, alignments, subsystem, and the
// certificate and resource directory entries.
void readOptionalHeader(const std::string& image, StubLayout* layout) {
    uint64_t optional = layout->peOffset + 24ull;
    if (layout->optionalHeaderSize < 2 || !fits(image, optional, 2)) return;
    uint16_t magic = u16(image, optional);
    uint64_t countField = 0, directories = 0;
    if (magic == kPe32Magic) {
        countField = optional + 92, directories = optional + 96;
    } else if (magic == kPe32PlusMagic) {
        countField = optional + 108, directories = optional + 112;
    } else {
        return;
    }
    uint64_t optionalEnd = optional + static_cast<uint64_t>(layout->optionalHeaderSize);
    if (optional + 70 <= optionalEnd && fits(image, optional, 70)) {
        layout->sectionAlignment = u32(image, optional + 32);
        layout->fileAlignment = u32(image, optional + 36);
        layout->sizeOfHeaders = u32(image, optional + 60);
        layout->checksumOffset = optional + 64;
        layout->checksum = u32(image, optional + 64);
        layout->subsystem = u16(image, optional + 68);
    }
    if (!fits(image, countField, 4)) return;
    uint32_t count = u32(image, countField);
    auto entry = [&](int index) {
        uint64_t at = directories + 8ull * static_cast<uint64_t>(index);
        return count > static_cast<uint32_t>(index) && at + 8 <= optionalEnd && fits(image, at, 8) ? at : 0;
    };
    if (uint64_t at = entry(kResourceDirectory)) {
        layout->resourceEntryOffset = at;
        layout->resourceRva = u32(image, at);
        layout->resourceSize = u32(image, at + 4);
    }
    if (uint64_t at = entry(kCertificateDirectory)) {
        layout->certEntryOffset = at;
        layout->certOffset = u32(image, at);
        layout->certSize = u32(image, at + 4);
    }
}

void put32(std::string& b, uint64_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i) & 0xFF);
}

void put16(std::string& b, uint64_t at, uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

bool powerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

uint64_t alignUp(uint64_t v, uint32_t alignment) { return (v + alignment - 1) / alignment * alignment; }

// The section holding an RVA, or -1.
int sectionAt(const StubLayout& layout, uint32_t rva) {
    for (size_t i = 0; i < layout.sections.size(); ++i) {
        const PeSection& s = layout.sections[i];
        uint32_t size = s.virtualSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < size) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

bool hasMagicAt(const std::string& image, uint64_t offset) {
    return fits(image, offset, 4) && u32(image, offset) == kBlockMagic;
}

bool readStubLayout(const std::string& image, StubLayout* layout, std::string* error) {
    *layout = StubLayout();
    layout->fileSize = image.size();
    if (!fits(image, 0, 64) || image[0] != 'M' || image[1] != 'Z') {
        *error = "not a Windows executable (no MZ header)";
        return false;
    }
    layout->peOffset = u32(image, 0x3C);
    uint64_t h = layout->peOffset;
    if (!fits(image, h, 24) || image.compare(h, 4, std::string("PE\0\0", 4)) != 0) {
        *error = "not a Windows PE executable (no PE signature at " + hex(h) + ")";
        return false;
    }
    // The launcher reads both counts as signed 16-bit numbers.
    layout->sectionCount = static_cast<int16_t>(u16(image, h + 6));
    layout->optionalHeaderSize = static_cast<int16_t>(u16(image, h + 20));
    if (layout->sectionCount < 1 || layout->optionalHeaderSize < 0) {
        *error = "the PE header has no usable section table (" + std::to_string(layout->sectionCount) + " sections)";
        return false;
    }
    uint64_t table = h + 24 + static_cast<uint64_t>(layout->optionalHeaderSize);
    uint64_t last = table + 40ull * static_cast<uint64_t>(layout->sectionCount - 1);
    if (!fits(image, table, 40ull * static_cast<uint64_t>(layout->sectionCount))) {
        *error = "the PE section table runs past the end of the file";
        return false;
    }
    for (int i = 0; i < layout->sectionCount; ++i) {
        uint64_t entry = table + 40ull * static_cast<uint64_t>(i);
        PeSection section;
        section.name = image.substr(entry, 8);
        section.name.resize(section.name.find('\0') == std::string::npos ? 8 : section.name.find('\0'));
        section.virtualSize = u32(image, entry + 8);
        section.virtualAddress = u32(image, entry + 12);
        section.rawSize = u32(image, entry + 16);
        section.rawOffset = u32(image, entry + 20);
        section.characteristics = u32(image, entry + 36);
        uint64_t end = static_cast<uint64_t>(section.rawOffset) + section.rawSize;
        if (section.rawSize > 0 && end > layout->highestRawEnd) layout->highestRawEnd = end;
        layout->sections.push_back(section);
    }
    layout->blockOffset = static_cast<uint64_t>(u32(image, last + 20)) + u32(image, last + 16);
    readOptionalHeader(image, layout);
    return true;
}

bool prepareStub(const std::string& image, bool stripSignature, StubPrefix* prefix, std::string* error) {
    StubLayout layout;
    if (!readStubLayout(image, &layout, error)) return false;
    uint64_t at = layout.blockOffset;
    if (at < layout.highestRawEnd || at == 0) {
        *error = "the last entry of the section table ends at " + hex(at) + ", before the section data ending at " +
                 hex(layout.highestRawEnd) + "; the launcher would not find a block here, so this stub cannot be used";
        return false;
    }
    if (at > image.size()) {
        *error = "the file is cut short: its last section ends at " + hex(at) + " but the file has only " +
                 std::to_string(image.size()) + " bytes";
        return false;
    }
    if (hasMagicAt(image, at)) {
        *error = "it already carries a configuration block (at " + hex(at) +
                 "); pack the original launcher stub, not a packed executable";
        return false;
    }
    std::string head = image.substr(0, static_cast<size_t>(at));
    uint64_t tailStart = at;
    if (layout.certOffset != 0 || layout.certSize != 0) {
        if (!stripSignature) {
            *error = "it is signed (certificate table at " + hex(layout.certOffset) + ", " +
                     std::to_string(layout.certSize) +
                     " bytes); packing would break the signature. Sign after packing, or pass --strip-signature "
                     "to remove it";
            return false;
        }
        uint64_t certEnd = static_cast<uint64_t>(layout.certOffset) + layout.certSize;
        if (layout.certOffset < at || certEnd > image.size() || !allZero(image, at, layout.certOffset)) {
            *error = "its certificate table (at " + hex(layout.certOffset) +
                     ") does not directly follow the sections, so it cannot be removed cleanly";
            return false;
        }
        for (size_t i = 0; i < 8; ++i) head[layout.certEntryOffset + i] = 0;
        tailStart = certEnd;
    }
    // Zero padding after the sections (or the removed signature) is dropped;
    // anything else belongs to someone and must not be cut off silently.
    if (!allZero(image, tailStart, image.size())) {
        *error = "it has " + std::to_string(image.size() - tailStart) + " bytes of data after its last section (at " +
                 hex(tailStart) + "); use an unmodified launcher stub";
        return false;
    }
    // The packed file differs from the stub, so its checksum is computed
    // afresh whatever the stub held.
    prefix->checksumOffset = layout.checksumOffset;
    prefix->recomputeChecksum = layout.checksumOffset != 0;
    if (prefix->recomputeChecksum)
        for (size_t i = 0; i < 4; ++i) head[layout.checksumOffset + i] = 0;
    prefix->bytes = std::move(head);
    return true;
}

void PeChecksum::add(const void* data, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    length_ += n;
    size_t i = 0;
    if (pending_ >= 0 && n > 0) {
        sum_ += static_cast<unsigned>(pending_) | static_cast<unsigned>(p[0]) << 8;
        pending_ = -1;
        i = 1;
    }
    for (; i + 1 < n; i += 2) {
        sum_ += static_cast<unsigned>(p[i]) | static_cast<unsigned>(p[i + 1]) << 8;
        // Folding now and then keeps the sum far from overflowing.
        if (sum_ >> 48) sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    }
    if (i < n) pending_ = p[i];
}

uint32_t PeChecksum::finish() {
    if (pending_ >= 0) sum_ += static_cast<unsigned>(pending_);
    pending_ = -1;
    while (sum_ >> 16) sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    return static_cast<uint32_t>(sum_ + length_);
}

bool addResourceSection(StubPrefix* prefix, const std::vector<Resource>& resources, std::string* error) {
    std::string& image = prefix->bytes;
    StubLayout layout;
    if (!readStubLayout(image, &layout, error)) return false;
    if (!layout.resourceEntryOffset || !layout.checksumOffset) {
        *error = "its optional header has no resource directory entry, so it cannot carry an icon, version "
                 "information or a manifest";
        return false;
    }
    if (!powerOfTwo(layout.fileAlignment) || !powerOfTwo(layout.sectionAlignment) || layout.fileAlignment > 0x10000 ||
        layout.sectionAlignment < layout.fileAlignment) {
        *error = "its section alignment (" + hex(layout.sectionAlignment) + ") and file alignment (" +
                 hex(layout.fileAlignment) + ") are not valid";
        return false;
    }
    std::vector<PeSection> sections = layout.sections;
    uint64_t table = layout.peOffset + 24ull + static_cast<uint64_t>(layout.optionalHeaderSize);
    int old = layout.resourceRva ? sectionAt(layout, layout.resourceRva) : -1;
    uint64_t initialisedData = u32(image, layout.peOffset + 24ull + 8);
    if (old == static_cast<int>(sections.size()) - 1 && sections.size() > 1) {
        // The stub's own resource section is its last: drop it, and its slot
        // in the table takes the new one.
        image.resize(sections.back().rawOffset);
        if (sections.back().characteristics & 0x40u)
            initialisedData -= std::min<uint64_t>(initialisedData, sections.back().rawSize);
        sections.pop_back();
    } else {
        uint64_t slot = table + 40ull * sections.size();
        uint64_t firstRaw = layout.sizeOfHeaders;
        for (const PeSection& s : sections)
            if (s.rawSize > 0 && s.rawOffset < firstRaw) firstRaw = s.rawOffset;
        if (sections.size() >= static_cast<size_t>(kMostSections) || slot + 40 > firstRaw || !fits(image, slot, 40) ||
            !allZero(image, slot, slot + 40)) {
            *error = "its headers have no room for another section (the resource section); use an unmodified "
                     "launcher stub";
            return false;
        }
        put16(image, layout.peOffset + 6, static_cast<uint16_t>(sections.size() + 1));
    }
    uint64_t virtualEnd = 0;
    for (const PeSection& s : sections) {
        uint64_t size = s.virtualSize ? s.virtualSize : s.rawSize;
        uint64_t end = s.virtualAddress + alignUp(size, layout.sectionAlignment);
        if (end > virtualEnd) virtualEnd = end;
    }
    uint64_t rva = alignUp(virtualEnd, layout.sectionAlignment);
    uint64_t rawOffset = alignUp(image.size(), layout.fileAlignment);
    std::string data = encodeResourceSection(resources, static_cast<uint32_t>(rva));
    uint64_t rawSize = alignUp(data.size(), layout.fileAlignment);
    if (rva + data.size() > 0xFFFFFFFFull || rawOffset + rawSize > 0xFFFFFFFFull) {
        *error = "the resources do not fit into a 32-bit image";
        return false;
    }
    image.resize(static_cast<size_t>(rawOffset), '\0');
    image += data;
    image.resize(static_cast<size_t>(rawOffset + rawSize), '\0');

    uint64_t slot = table + 40ull * sections.size();
    image.replace(slot, 40, std::string(40, '\0'));
    image.replace(slot, 5, ".rsrc");
    put32(image, slot + 8, static_cast<uint32_t>(data.size()));
    put32(image, slot + 12, static_cast<uint32_t>(rva));
    put32(image, slot + 16, static_cast<uint32_t>(rawSize));
    put32(image, slot + 20, static_cast<uint32_t>(rawOffset));
    put32(image, slot + 36, kResourceCharacteristics);
    uint64_t optional = layout.peOffset + 24ull;
    put32(image, optional + 8, static_cast<uint32_t>(initialisedData + rawSize));
    put32(image, optional + 56, static_cast<uint32_t>(alignUp(rva + data.size(), layout.sectionAlignment)));
    put32(image, layout.resourceEntryOffset, static_cast<uint32_t>(rva));
    put32(image, layout.resourceEntryOffset + 4, static_cast<uint32_t>(data.size()));
    return true;
}
