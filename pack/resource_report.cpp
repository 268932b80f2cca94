#include "pack/resource_report.h"

#include "pack/le_bytes.h"
#include "pack/resource_section.h"
#include "pack/text_codec.h"

namespace {

// No executable's resources come near this; a section claiming more is
// read only this far.
constexpr uint32_t kMostResourceBytes = 64u << 20;

bool readSection(ByteSource& src, const StubLayout& layout, std::string* bytes, std::string* problem) {
    for (const PeSection& s : layout.sections) {
        uint32_t size = s.virtualSize ? s.virtualSize : s.rawSize;
        if (layout.resourceRva < s.virtualAddress || layout.resourceRva - s.virtualAddress >= size) continue;
        uint32_t skip = layout.resourceRva - s.virtualAddress;
        if (skip >= s.rawSize || static_cast<uint64_t>(s.rawOffset) + s.rawSize > src.size()) {
            *problem = "the resource section's data lies outside the file";
            return false;
        }
        uint32_t want = s.rawSize - skip;
        if (want > kMostResourceBytes) want = kMostResourceBytes;
        bytes->assign(want, '\0');
        size_t got = 0, total = 0;
        if (!src.seek(s.rawOffset + static_cast<uint64_t>(skip))) return false;
        while (total < want && src.read(&(*bytes)[total], want - total, &got) && got > 0) total += got;
        bytes->resize(total);
        return true;
    }
    *problem = "the resource directory lies in no section";
    return false;
}

void readIconGroup(const Resource& group, const std::vector<Resource>& all, ResourceReport* report) {
    const std::string& b = group.data;
    IconGroupReport out;
    out.id = group.id;
    size_t count = b.size() >= 6 ? le16(b, 4) : 0;
    if (b.size() < 6 || b.size() < 6 + 14 * count) {
        report->problem = "icon group " + std::to_string(group.id) + " is cut off";
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        size_t at = 6 + 14 * i;
        IconImageReport image;
        image.width = static_cast<unsigned char>(b[at]) ? static_cast<unsigned char>(b[at]) : 256;
        image.height = static_cast<unsigned char>(b[at + 1]) ? static_cast<unsigned char>(b[at + 1]) : 256;
        image.bitCount = le16(b, at + 6);
        image.bytes = le32(b, at + 8);
        image.id = le16(b, at + 12);
        for (const Resource& r : all) {
            if (r.type != rt::Icon || r.id != image.id) continue;
            image.found = true;
            image.png = r.data.compare(0, 4, "\x89PNG") == 0;
        }
        out.images.push_back(image);
    }
    report->iconGroups.push_back(out);
}

std::string quoted(const std::u16string& text) { return "\"" + utf16ToUtf8(text) + "\""; }

std::string dotted(const VersionNumber& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

// The level="..." the manifest requests.
std::string executionLevelOf(const std::string& manifest) {
    size_t at = manifest.find("requestedExecutionLevel");
    if (at == std::string::npos) return "none";
    size_t level = manifest.find("level=\"", at);
    if (level == std::string::npos) return "none";
    level += 7;
    size_t end = manifest.find('"', level);
    return end == std::string::npos ? "none" : manifest.substr(level, end - level);
}

}  // namespace

void readResourceReport(ByteSource& src, const StubLayout& layout, ResourceReport* report) {
    *report = ResourceReport();
    report->subsystem = layout.subsystem;
    if (!layout.resourceRva) return;
    report->hasSection = true;
    std::string bytes;
    std::vector<Resource> resources;
    if (!readSection(src, layout, &bytes, &report->problem) ||
        !decodeResourceSection(bytes, layout.resourceRva, &resources, &report->problem))
        return;
    for (const Resource& r : resources) {
        if (r.type == rt::GroupIcon) readIconGroup(r, resources, report);
        if (r.type == rt::Version && !report->hasVersion) {
            std::string error;
            report->hasVersion = decodeVersionResource(r.data, &report->version, &error);
            if (!report->hasVersion) report->problem = error;
        }
        if (r.type == rt::Manifest && report->manifest.empty()) report->manifest = r.data;
    }
}

void printResourceReport(const ResourceReport& report, std::ostream& out) {
    out << "  subsystem      "
        << (report.subsystem == kSubsystemWindows   ? "windows (a windowed program: no console window)"
            : report.subsystem == kSubsystemConsole ? "console"
                                                     : "other (" + std::to_string(report.subsystem) + ")")
        << "\n";
    out << "\nResources\n";
    if (!report.hasSection) out << "  none\n";
    for (const IconGroupReport& group : report.iconGroups) {
        out << "  Icon group " << group.id << " (" << group.images.size() << " images)\n";
        for (const IconImageReport& image : group.images)
            out << "    " << image.width << "x" << image.height << ", " << image.bitCount << " bits, "
                << (!image.found ? "missing" : image.png ? "PNG" : "bitmap") << ", " << image.bytes << " bytes\n";
    }
    if (report.hasVersion) {
        out << "  Version        file " << dotted(report.version.fileVersion) << ", product "
            << dotted(report.version.productVersion) << "\n";
        for (const auto& [name, text] : report.version.strings)
            out << "    " << name << std::string(name.size() < 18 ? 18 - name.size() : 1, ' ') << quoted(text) << "\n";
    }
    if (!report.manifest.empty())
        out << "  Manifest       " << report.manifest.size() << " bytes, execution level "
            << executionLevelOf(report.manifest) << "\n";
    if (!report.problem.empty()) out << "  Damaged: " << report.problem << "\n";
}
