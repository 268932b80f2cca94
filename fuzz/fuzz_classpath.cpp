// Class path entries: parsing of the configured text, environment values
// and the option-file suffix handling.
#include <cstddef>
#include <cstdint>
#include <string>

#include "launch/classpath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();
    for (const ClassPathEntry& entry : parseClassPathEntries(text.c_str())) {
        environmentContribution(entry.name);
        archivePattern(entry.name.c_str(), "jar");
    }
    ClassPathTexts texts;
    texts.hasSuffix = !text.empty() && (text[0] & 1);
    texts.suffix = text.substr(0, 20);
    std::string classPath = "-Djava.class.path=" + text;
    finishClassPath(classPath, texts);
    return 0;
}
