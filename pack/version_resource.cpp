#include "pack/version_resource.h"

#include "pack/le_bytes.h"
#include "pack/value_limits.h"

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr size_t kFixedInfoBytes = 52;
// Unicode text (code page 1200) in US English, as the string table's name
// and the translation entry say.
const char16_t kStringTableName[] = u"040904B0";
constexpr uint32_t kTranslation = 0x04B00409u;

void putText(std::string& b, const std::u16string& text) {
    for (char16_t c : text) appendLe16(b, static_cast<uint16_t>(c));
    appendLe16(b, 0);
}

void pad4(std::string& b) {
    while (b.size() % 4) b += '\0';
}

// One node of the version tree: length, value length, type (1 text, 0
// binary), key, the value, then the children, each on a 4-byte boundary.
// The length counts no padding after the node's last byte.
std::string node(const std::u16string& key, const std::string& value, uint16_t valueLength, uint16_t type,
                 const std::vector<std::string>& children) {
    std::string b;
    appendLe16(b, 0);
    appendLe16(b, valueLength);
    appendLe16(b, type);
    putText(b, key);
    pad4(b);
    b += value;
    for (const std::string& child : children) {
        pad4(b);
        b += child;
    }
    b[0] = static_cast<char>(b.size() & 0xFF);
    b[1] = static_cast<char>(b.size() >> 8 & 0xFF);
    return b;
}

std::u16string ascii(const char* text) {
    std::u16string out;
    for (; *text; ++text) out += static_cast<char16_t>(*text);
    return out;
}

std::string fixedInfo(const VersionNumber& file, const VersionNumber& product) {
    std::string b;
    appendLe32(b, kFixedSignature);
    appendLe32(b, 0x00010000u);  // structure version 1.0
    appendLe32(b, static_cast<uint32_t>(file[0]) << 16 | file[1]);
    appendLe32(b, static_cast<uint32_t>(file[2]) << 16 | file[3]);
    appendLe32(b, static_cast<uint32_t>(product[0]) << 16 | product[1]);
    appendLe32(b, static_cast<uint32_t>(product[2]) << 16 | product[3]);
    appendLe32(b, 0x3Fu);         // every flag is meaningful, none is set
    appendLe32(b, 0);
    appendLe32(b, 0x00040004u);   // VOS_NT_WINDOWS32
    appendLe32(b, 1);             // VFT_APP
    appendLe32(b, 0);
    appendLe32(b, 0);             // no file date
    appendLe32(b, 0);
    return b;
}

// A node of the tree read back: where its key, value and children lie.
struct Node {
    size_t start = 0, end = 0, value = 0, children = 0;
    uint16_t valueLength = 0, type = 0;
    std::u16string key;
};

bool readNode(const std::string& b, size_t at, size_t limit, Node* n) {
    if (at + 6 > limit) return false;
    size_t length = le16(b, at);
    if (length < 6 || length > limit - at) return false;
    n->start = at;
    n->end = at + length;
    n->valueLength = le16(b, at + 2);
    n->type = le16(b, at + 4);
    n->key.clear();
    size_t p = at + 6;
    for (; p + 2 <= n->end && le16(b, p) != 0; p += 2) n->key += static_cast<char16_t>(le16(b, p));
    if (p + 2 > n->end) return false;
    p += 2;
    n->value = (p - at + 3) / 4 * 4 + at;
    return n->value <= n->end;
}

// The children of a node whose value takes `valueBytes`.
std::vector<Node> children(const std::string& b, const Node& parent, size_t valueBytes) {
    std::vector<Node> out;
    size_t at = (parent.value + valueBytes - parent.start + 3) / 4 * 4 + parent.start;
    Node child;
    while (at < parent.end && readNode(b, at, parent.end, &child)) {
        out.push_back(child);
        at = (child.end - parent.start + 3) / 4 * 4 + parent.start;
    }
    return out;
}

}  // namespace

bool versionNumberOf(const std::string& text, VersionNumber* number, std::string* error) {
    *number = VersionNumber{};
    size_t i = 0, parts = 0;
    auto digit = [&](size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
    while (parts < 4 && digit(i)) {
        uint32_t value = 0;
        for (; digit(i); ++i) {
            value = value * 10 + static_cast<uint32_t>(text[i] - '0');
            if (value > static_cast<uint32_t>(limit::VersionPart)) {
                *error = "'" + text + "' has a number above " + std::to_string(limit::VersionPart) +
                         ", the largest a part of a Windows version can hold";
                return false;
            }
        }
        (*number)[parts++] = static_cast<uint16_t>(value);
        if (text.size() > i + 1 && text[i] == '.' && digit(i + 1)) ++i;
        else break;
    }
    if (parts == 0) {
        *error = "'" + text + "' does not start with a number; write a version such as 2.1 or 2.1.0.3 (text may "
                 "follow, as in 2.1.0-SNAPSHOT)";
        return false;
    }
    return true;
}

std::vector<std::pair<const char*, const std::u16string*>> versionTextFields(const VersionTexts& t) {
    return {{"CompanyName", &t.companyName},         {"FileDescription", &t.fileDescription},
            {"FileVersion", &t.fileVersion},         {"InternalName", &t.internalName},
            {"LegalCopyright", &t.copyright},        {"OriginalFilename", &t.originalFilename},
            {"ProductName", &t.productName},         {"ProductVersion", &t.productVersion}};
}

bool checkVersionText(const std::u16string& text, std::string* error) {
    for (char16_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            *error = c == 0 ? "contains a NUL character, which would end the text early; remove it"
                            : "contains a control character (such as a line break or tab); remove it";
            return false;
        }
    }
    if (text.size() > static_cast<size_t>(limit::VersionText)) {
        *error = "is " + std::to_string(text.size()) + " characters long; version texts may have at most " +
                 std::to_string(limit::VersionText);
        return false;
    }
    return true;
}

std::string encodeVersionResource(const VersionNumber& fileVersion, const VersionNumber& productVersion,
                                  const VersionTexts& texts) {
    std::vector<std::string> strings;
    for (const auto& [name, text] : versionTextFields(texts)) {
        if (text->empty()) continue;
        std::string value;
        putText(value, *text);
        strings.push_back(node(ascii(name), value, static_cast<uint16_t>(text->size() + 1), 1, {}));
    }
    std::vector<std::string> tables;
    if (!strings.empty()) tables.push_back(node(kStringTableName, std::string(), 0, 1, strings));
    std::string translation;
    appendLe32(translation, kTranslation);
    std::vector<std::string> blocks;
    if (!tables.empty()) blocks.push_back(node(u"StringFileInfo", std::string(), 0, 1, tables));
    blocks.push_back(node(u"VarFileInfo", std::string(), 0, 1, {node(u"Translation", translation, 4, 0, {})}));
    return node(u"VS_VERSION_INFO", fixedInfo(fileVersion, productVersion), kFixedInfoBytes, 0, blocks);
}

bool decodeVersionResource(const std::string& data, VersionReport* report, std::string* error) {
    *report = VersionReport();
    Node root;
    if (!readNode(data, 0, data.size(), &root) || root.key != u"VS_VERSION_INFO") {
        *error = "the version resource does not start with VS_VERSION_INFO";
        return false;
    }
    if (root.valueLength != kFixedInfoBytes || root.value + kFixedInfoBytes > root.end ||
        le32(data, root.value) != kFixedSignature) {
        *error = "the version resource has no valid fixed version information";
        return false;
    }
    uint32_t parts[4];
    for (size_t i = 0; i < 4; ++i) parts[i] = le32(data, root.value + 8 + 4 * i);
    report->fileVersion = {static_cast<uint16_t>(parts[0] >> 16), static_cast<uint16_t>(parts[0] & 0xFFFF),
                           static_cast<uint16_t>(parts[1] >> 16), static_cast<uint16_t>(parts[1] & 0xFFFF)};
    report->productVersion = {static_cast<uint16_t>(parts[2] >> 16), static_cast<uint16_t>(parts[2] & 0xFFFF),
                              static_cast<uint16_t>(parts[3] >> 16), static_cast<uint16_t>(parts[3] & 0xFFFF)};
    for (const Node& block : children(data, root, kFixedInfoBytes)) {
        if (block.key != u"StringFileInfo") continue;
        for (const Node& table : children(data, block, block.valueLength)) {
            for (const Node& entry : children(data, table, table.valueLength)) {
                std::u16string text;
                for (size_t p = entry.value; p + 2 <= entry.end && le16(data, p) != 0; p += 2)
                    text += static_cast<char16_t>(le16(data, p));
                std::string name;
                for (char16_t c : entry.key) name += c < 0x80 ? static_cast<char>(c) : '?';
                report->strings.emplace_back(name, text);
            }
        }
    }
    return true;
}
