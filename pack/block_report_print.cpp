// The readable form of a block report, as `vtlpack inspect` prints it.
#include <cstdio>

#include "config/catalogue.h"
#include "pack/block_report.h"
#include "pack/text_codec.h"

namespace {

std::string hex(uint64_t v) {
    char buffer[24];
    snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(v));
    return buffer;
}

std::string offsetText(uint64_t v) { return hex(v) + " (" + std::to_string(v) + ")"; }

// Quotes a UTF-8 text with C-style escapes for everything unprintable.
std::string quoted(const std::string& utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '"' || c == '\\') out += std::string("\\") + ch;
        else if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string keyName(int32_t key) {
    const ConfigKeyInfo* info = findConfigKey(key);
    int index = 0;
    bool isOptions = false;
    if (info && versionOptionSlot(key, &index, &isOptions))
        return "version_options[" + std::to_string(index) + "]." + (isOptions ? "options" : "prefix");
    if (!info) return "(unknown key)";
    return info->readByLauncher ? info->name : std::string(info->name) + " (not read)";
}

std::string messageName(int32_t id) {
    const MessageInfo* info = findMessage(id);
    return info ? info->name : "(unknown id)";
}

void printMessages(const std::vector<MessageRecord>& messages, std::ostream& out) {
    for (const auto& m : messages)
        out << "  " << padded(std::to_string(m.id), 7) << padded(messageName(m.id), 30) << quoted(utf16ToUtf8(m.text))
            << "\n";
}

void printFiles(const BlockReport& report, std::ostream& out) {
    out << "\nEmbedded files (" << report.files.size() << ", file area at " << hex(report.fileAreaOffset) << ")\n";
    for (const auto& f : report.files)
        out << "  " << padded(ansiToUtf8(f.name), 40) << f.length << " bytes\n";
    out << "\nOffset past the file area (unextracted position): " << offsetText(report.endOffset) << "\n";
    if (report.tailPresent)
        out << "Tail: E8 E4 13 D5 and " << report.bytesAfterFileArea - 4 << " more bytes\n";
    else
        out << "Tail: " << report.bytesAfterFileArea << " bytes, without the usual E8 E4 13 D5\n";
}

}  // namespace

void printBlockReport(const BlockReport& report, const std::string& displayName, std::ostream& out) {
    out << displayName << "\n";
    if (report.status == InspectStatus::NotExecutable || report.status == InspectStatus::NoBlock) {
        out << "  " << report.problem << "\n";
        if (report.resourcesRead) printResourceReport(report.resources, out);
        return;
    }
    out << "  file size      " << report.fileSize << " bytes\n";
    out << "  block offset   " << offsetText(report.blockOffset) << "\n";
    out << "  header         reserved " << report.reserved1 << ", " << hex(report.reserved2) << ", "
        << report.reserved3 << "\n";
    printResourceReport(report.resources, out);

    out << "\nConfiguration (" << report.config.size() << " records)\n";
    for (const auto& [key, value] : report.config)
        out << "  " << padded(std::to_string(key), 7) << padded(keyName(key), 38) << quoted(ansiToUtf8(value)) << "\n";
    if (!report.messages.empty() || report.status == InspectStatus::Ok) {
        out << "\nDefault messages (" << report.messages.size() << ")\n";
        printMessages(report.messages, out);
    }
    for (const auto& section : report.sections) {
        out << "\nLanguage section " << quoted(ansiToUtf8(section.code)) << " (" << section.messages.size()
            << " messages)\n";
        printMessages(section.messages, out);
    }
    if (report.status == InspectStatus::Ok) {
        printFiles(report, out);
    } else if (!report.files.empty()) {
        out << "\nEmbedded files read before the damage\n";
        for (const auto& f : report.files) out << "  " << padded(ansiToUtf8(f.name), 40) << f.length << " bytes\n";
    }
    for (const auto& note : report.notes) out << "Note: " << note << "\n";
    if (report.status == InspectStatus::Malformed) out << "\nMalformed block: " << report.problem << "\n";
}
