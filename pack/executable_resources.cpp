#include "pack/executable_resources.h"

#include "config/keys.h"
#include "pack/manifest.h"
#include "pack/text_codec.h"

namespace {

// The ids of the icon images; the group that lists them is 1, the first
// (and only) icon group, which Explorer and the taskbar show.
constexpr uint16_t kFirstIconId = 1;
constexpr uint16_t kResourceId = 1;

}  // namespace

VersionTexts completeVersionTexts(VersionTexts t, const std::u16string& applicationName,
                                  const std::u16string& fileName) {
    if (t.fileVersion.empty()) t.fileVersion = t.productVersion;
    if (t.productVersion.empty()) t.productVersion = t.fileVersion;
    if (t.productName.empty()) t.productName = applicationName;
    if (t.fileDescription.empty()) t.fileDescription = t.productName;
    if (t.internalName.empty()) t.internalName = applicationName;
    if (t.originalFilename.empty()) t.originalFilename = fileName;
    return t;
}

bool executableResources(const ResourceSettings& settings, const std::u16string& applicationName,
                         const std::u16string& fileName, std::vector<Resource>* resources, std::string* error) {
    resources->clear();
    if (settings.hasIcon) {
        for (size_t i = 0; i < settings.icon.images.size(); ++i)
            resources->push_back({rt::Icon, static_cast<uint16_t>(kFirstIconId + i), kResourceLanguage,
                                  settings.icon.images[i].data});
        resources->push_back(
            {rt::GroupIcon, kResourceId, kResourceLanguage, encodeIconGroup(settings.icon, kFirstIconId)});
    }
    VersionTexts texts = completeVersionTexts(settings.version, applicationName, fileName);
    VersionNumber fileVersion{}, productVersion{};
    if ((!texts.fileVersion.empty() && !versionNumberOf(utf16ToUtf8(texts.fileVersion), &fileVersion, error)) ||
        (!texts.productVersion.empty() && !versionNumberOf(utf16ToUtf8(texts.productVersion), &productVersion, error)))
        return false;
    resources->push_back(
        {rt::Version, kResourceId, kResourceLanguage, encodeVersionResource(fileVersion, productVersion, texts)});
    std::string level = settings.executionLevel.empty() ? kDefaultExecutionLevel : settings.executionLevel;
    resources->push_back({rt::Manifest, kResourceId, kResourceLanguage, applicationManifest(level)});
    return true;
}

bool wantsWindowedStub(const Project& project) {
    if (project.resources.windowed >= 0) return project.resources.windowed == 1;
    for (const auto& [key, value] : project.block.config)
        if (key == key::ExecutableType) return value == "1";
    return false;
}
