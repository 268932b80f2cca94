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
    uint64_t fileSize = 0;
};

// Reads the headers. False (with a message) when the image is not a PE
// file or its headers lie outside it.
bool readStubLayout(const std::string& image, StubLayout* layout, std::string* error);

// The bytes of the stub that come before the block: the image up to the
// block offset. Refuses a stub that already carries a block, one that is
// signed (unless `stripSignature`, which drops the certificate table and
// clears its directory entry), and one with other data after its sections.
bool prepareStub(const std::string& image, bool stripSignature, std::string* prefix, std::string* error);

// Whether the four bytes at `offset` are the block magic number.
bool hasMagicAt(const std::string& image, uint64_t offset);
