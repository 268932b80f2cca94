// The executable around the block, as `vtlpack inspect` shows it: its
// subsystem and what its resource section holds (icon groups, version
// information, manifest). Every offset and length is checked, so a damaged
// section gives a problem line, never a crash.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "config/block.h"
#include "pack/pe_stub.h"
#include "pack/version_resource.h"

struct IconImageReport {
    uint16_t id = 0;
    int width = 0;
    int height = 0;
    uint16_t bitCount = 0;
    uint32_t bytes = 0;
    bool found = false;  // an icon resource of that id exists
    bool png = false;
};

struct IconGroupReport {
    uint16_t id = 0;
    std::vector<IconImageReport> images;
};

struct ResourceReport {
    uint16_t subsystem = 0;
    bool hasSection = false;
    std::string problem;  // what is damaged, when something is
    std::vector<IconGroupReport> iconGroups;
    bool hasVersion = false;
    VersionReport version;
    std::string manifest;  // empty: none
};

void readResourceReport(ByteSource& src, const StubLayout& layout, ResourceReport* report);
void printResourceReport(const ResourceReport& report, std::ostream& out);
