// Variable expansion in small buffers: values that contain patterns,
// environment entries of every shape, results that do not fit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launch/expand.h"
#include "tests/support/log_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t cap = 1 + data[0] % 200;
    std::vector<std::wstring> parts(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == '\n') parts.emplace_back();
        else if (data[i]) parts.back().push_back(static_cast<wchar_t>(data[i]));
    }
    while (parts.size() < 5) parts.emplace_back();
    ExpansionValues values;
    values.launcherDirectory = parts[1];
    values.tempDirectory = parts[2];
    values.jvmHome = parts[3];
    values.tempBase = parts[4];
    for (size_t i = 5; i < parts.size(); ++i) values.environment.push_back(parts[i]);
    std::vector<wchar_t> text(cap, 0);
    std::wstring seed = parts[0].substr(0, cap - 1);
    std::copy(seed.begin(), seed.end(), text.begin());
    expandWithValuesW(text.data(), cap, values);
    std::vector<char> narrow(cap, 0);
    ExpansionValuesA narrowValues;
    for (wchar_t c : parts[1]) narrowValues.launcherDirectory.push_back(static_cast<char>(c));
    for (size_t i = 5; i < parts.size(); ++i) {
        std::string e;
        for (wchar_t c : parts[i]) e.push_back(static_cast<char>(c));
        narrowValues.environment.push_back(e);
    }
    for (size_t i = 0; i < seed.size(); ++i) narrow[i] = static_cast<char>(seed[i]);
    expandWithValues(narrow.data(), cap, narrowValues);
    clearCapturedLog();
    return 0;
}
