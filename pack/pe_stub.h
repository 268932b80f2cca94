// Where a block goes in a launcher stub, and whether the stub may take one.
// The block starts at the end of the raw data of the last entry of the PE
// section table, exactly where the launcher looks for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/resource_section.h"

struct PeSection {
    std::string name;
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
    uint32_t characteristics = 0;
};

constexpr uint16_t kSubsystemWindows = 2;  // a windowed program
constexpr uint16_t kSubsystemConsole = 3;

struct StubLayout {
    uint32_t peOffset = 0;
    int sectionCount = 0;
    int optionalHeaderSize = 0;
    uint64_t blockOffset = 0;      // end of the raw data of the last section entry
    uint64_t highestRawEnd = 0;    // end of the raw data that lies furthest into the file
    uint64_t certEntryOffset = 0;  // file offset of the certificate directory entry; 0 when absent
    uint32_t certOffset = 0;       // certificate table (file offset and size); 0 when unsigned
    uint32_t certSize = 0;
    uint64_t checksumOffset = 0;  // file offset of the optional header's checksum field
    uint32_t checksum = 0;
    uint64_t fileSize = 0;
    // From the optional header (0 where it is too short to hold them).
    uint16_t subsystem = 0;
    uint32_t fileAlignment = 0;
    uint32_t sectionAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t resourceRva = 0;  // the resource directory entry
    uint32_t resourceSize = 0;
    uint64_t resourceEntryOffset = 0;  // file offset of that entry; 0 when the header has none
    std::vector<PeSection> sections;   // in table order
};

// Reads the headers. False (with a message) when the image is not a PE
// file or its headers lie outside it.
bool readStubLayout(const std::string& image, StubLayout* layout, std::string* error);

struct StubPrefix {
    std::string bytes;  // the image up to the block offset
    // Where the PE checksum lives. A stub that carries a checksum gets it
    // recomputed over the whole output (it is zeroed in `bytes` until then);
    // a stub without one keeps 0.
    uint64_t checksumOffset = 0;
    bool recomputeChecksum = false;
};

// The part of the stub that comes before the block. Refuses a stub that
// already carries a block, one that is signed (unless `stripSignature`,
// which drops the certificate table and clears its directory entry), and one
// with other data after its sections.
bool prepareStub(const std::string& image, bool stripSignature, StubPrefix* prefix, std::string* error);

// The PE image checksum, fed with the file's bytes in order (in pieces of
// any size) while the checksum field itself reads as zero.
class PeChecksum {
public:
    void add(const void* data, size_t n);
    uint32_t finish();

private:
    uint64_t sum_ = 0;
    uint64_t length_ = 0;
    int pending_ = -1;  // the first byte of an unfinished 16-bit word
};

// Gives the prepared stub the resource section the packing tool built: a
// new last section (the block follows it), which replaces the stub's own
// resource section. A stub whose resource section is its last one loses
// it; one elsewhere stays in the file, unused. Section count, image size,
// initialised-data size and the resource directory entry are updated; the
// checksum is computed over the whole output later. False with the reason
// when the stub cannot take another section.
bool addResourceSection(StubPrefix* prefix, const std::vector<Resource>& resources, std::string* error);

// Whether the four bytes at `offset` are the block magic number.
bool hasMagicAt(const std::string& image, uint64_t offset);
