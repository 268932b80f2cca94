#include "pack/pe_stub.h"

#include <cstdio>

#include "config/block.h"

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr int kCertificateDirectory = 4;

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

// Locates the certificate directory entry in the optional header.
void readCertificateEntry(const std::string& image, StubLayout* layout) {
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
    uint64_t entry = directories + 8ull * kCertificateDirectory;
    uint64_t optionalEnd = optional + static_cast<uint64_t>(layout->optionalHeaderSize);
    if (optional + 68 <= optionalEnd && fits(image, optional + 64, 4)) {
        layout->checksumOffset = optional + 64;
        layout->checksum = u32(image, optional + 64);
    }
    if (!fits(image, countField, 4) || u32(image, countField) <= kCertificateDirectory || entry + 8 > optionalEnd ||
        !fits(image, entry, 8))
        return;
    layout->certEntryOffset = entry;
    layout->certOffset = u32(image, entry);
    layout->certSize = u32(image, entry + 4);
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
        uint64_t end = static_cast<uint64_t>(u32(image, entry + 20)) + u32(image, entry + 16);
        if (u32(image, entry + 16) > 0 && end > layout->highestRawEnd) layout->highestRawEnd = end;
    }
    layout->blockOffset = static_cast<uint64_t>(u32(image, last + 20)) + u32(image, last + 16);
    readCertificateEntry(image, layout);
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
    prefix->checksumOffset = layout.checksumOffset;
    prefix->recomputeChecksum = layout.checksum != 0;
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
