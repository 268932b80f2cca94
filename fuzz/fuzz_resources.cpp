// The packing tool's readers of untrusted files: an icon the project names,
// and the resources of any executable `vtlpack inspect` is given. Each must
// end in an error or a result, never in a crash, a hang or a huge
// allocation. The input is tried as an icon, as a resource section, as a
// version resource, and as a whole executable.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "pack/block_report.h"
#include "pack/icon_file.h"
#include "pack/resource_section.h"
#include "pack/version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    IconFile icon;
    std::string error;
    if (parseIcon(bytes, &icon, &error)) encodeIconGroup(icon, 1);

    std::vector<Resource> resources;
    if (decodeResourceSection(bytes, 0x1000, &resources, &error))
        for (const Resource& r : resources) {
            VersionReport version;
            decodeVersionResource(r.data, &version, &error);
        }
    VersionReport version;
    decodeVersionResource(bytes, &version, &error);

    MemoryByteSource source(data, size);
    BlockReport report;
    inspectExecutable(source, &report);
    std::ostringstream out;
    printBlockReport(report, "fuzz.exe", out);
    return 0;
}
