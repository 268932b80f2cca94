// Version texts: parsing, bounds, ranking and the "-version" line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/store.h"
#include "jvm/version.h"
#include "tests/support/log_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string all(reinterpret_cast<const char*>(data), size);
    size_t cut1 = all.find('\n');
    std::string a = all.substr(0, cut1);
    std::string rest = cut1 == std::string::npos ? "" : all.substr(cut1 + 1);
    size_t cut2 = rest.find('\n');
    std::string b = rest.substr(0, cut2);
    std::string c = cut2 == std::string::npos ? "" : rest.substr(cut2 + 1);
    a = a.c_str();
    b = b.c_str();
    c = c.c_str();
    VersionComponents min = parseVersion(b.c_str()), max = parseVersion(c.c_str());
    checkVersion(a.c_str(), min, max, (size & 1) != 0);
    isVersionInRange(a.c_str(), min, max);
    isNewerVersion(a.c_str(), b.c_str());
    char version[16];
    parseVersionLine(a.c_str(), version, sizeof version);
    clearCapturedLog();
    return 0;
}
