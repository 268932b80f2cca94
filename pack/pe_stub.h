// Where a block goes in a launcher stub, and whether the stub may take one.
// The block starts at the end of the raw data of the last entry of the PE
// section table, exactly where the launcher looks for it.
#pragma once

#include <cstdint>
#include <string>

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

// Whether the four bytes at `offset` are the block magic number.
bool hasMagicAt(const std::string& image, uint64_t offset);
