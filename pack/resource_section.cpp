#include "pack/resource_section.h"

#include <algorithm>
#include <map>

#include "pack/le_bytes.h"

namespace {

constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr size_t kDirectoryHeader = 16;
constexpr size_t kDirectoryEntry = 8;
constexpr size_t kDataEntry = 16;
// More resources than this in one executable means a damaged directory.
constexpr size_t kMostResources = 65536;

size_t align8(size_t n) { return (n + 7) & ~static_cast<size_t>(7); }

// A directory with `count` id entries at `at`; the caller fills the entries.
void putDirectory(std::string& b, size_t at, size_t count) { putLe16(b, at + 14, static_cast<uint16_t>(count)); }

void putEntry(std::string& b, size_t directory, size_t index, uint32_t id, uint32_t target) {
    size_t at = directory + kDirectoryHeader + kDirectoryEntry * index;
    putLe32(b, at, id);
    putLe32(b, at + 4, target);
}

struct Reader {
    const std::string& bytes;
    uint32_t rva;
    std::vector<Resource>* out;
    std::string* error;
    size_t visited = 0;

    bool fail(const std::string& what) {
        *error = what;
        return false;
    }

    // The id entries of the directory at `at` (named entries are skipped).
    bool entries(size_t at, std::vector<std::pair<uint32_t, uint32_t>>* list) {
        if (at > bytes.size() || bytes.size() - at < kDirectoryHeader)
            return fail("a resource directory lies outside the section");
        size_t named = le16(bytes, at + 12), ids = le16(bytes, at + 14);
        size_t count = named + ids;
        if ((bytes.size() - at - kDirectoryHeader) / kDirectoryEntry < count)
            return fail("a resource directory claims more entries than the section holds");
        for (size_t i = named; i < count; ++i) {
            size_t entry = at + kDirectoryHeader + kDirectoryEntry * i;
            list->emplace_back(le32(bytes, entry), le32(bytes, entry + 4));
        }
        return true;
    }

    bool data(uint16_t type, uint16_t id, uint16_t language, uint32_t target) {
        if (target & kSubdirectory) return fail("a language entry leads to a further directory instead of data");
        if (target > bytes.size() || bytes.size() - target < kDataEntry)
            return fail("a resource data entry lies outside the section");
        uint32_t at = le32(bytes, target), size = le32(bytes, target + 4);
        if (at < rva || at - rva > bytes.size() || bytes.size() - (at - rva) < size)
            return fail("the data of resource " + std::to_string(type) + "/" + std::to_string(id) +
                        " lies outside the section");
        if (out->size() >= kMostResources) return fail("the section holds more resources than any executable needs");
        out->push_back({type, id, language, bytes.substr(at - rva, size)});
        return true;
    }

    // The tree has exactly three levels: type, id, language.
    bool level(size_t at, int depth, uint16_t type, uint16_t id) {
        // Entries may share directories; bound the walk, not only the depth.
        if (++visited > kMostResources)
            return fail("the resource directories lead to more entries than any executable has");
        std::vector<std::pair<uint32_t, uint32_t>> list;
        if (!entries(at, &list)) return false;
        for (const auto& [name, target] : list) {
            uint16_t number = static_cast<uint16_t>(name & 0xFFFF);
            if (depth == 2) {
                if (!data(type, id, number, target)) return false;
                continue;
            }
            if (!(target & kSubdirectory)) return fail("a resource directory entry leads to data too early");
            size_t next = target & ~kSubdirectory;
            if (!level(next, depth + 1, depth == 0 ? number : type, depth == 1 ? number : id)) return false;
        }
        return true;
    }
};

}  // namespace

std::string encodeResourceSection(std::vector<Resource> resources, uint32_t sectionRva) {
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        if (a.type != b.type) return a.type < b.type;
        if (a.id != b.id) return a.id < b.id;
        return a.language < b.language;
    });
    resources.erase(std::unique(resources.begin(), resources.end(),
                                [](const Resource& a, const Resource& b) {
                                    return a.type == b.type && a.id == b.id && a.language == b.language;
                                }),
                    resources.end());
    // type -> id -> indices into `resources`
    std::map<uint16_t, std::map<uint16_t, std::vector<size_t>>> tree;
    for (size_t i = 0; i < resources.size(); ++i) tree[resources[i].type][resources[i].id].push_back(i);

    size_t typeDirectories = kDirectoryHeader + kDirectoryEntry * tree.size();
    size_t idDirectories = typeDirectories, dataEntries = 0;
    for (const auto& [type, ids] : tree) {
        idDirectories += kDirectoryHeader + kDirectoryEntry * ids.size();
        for (const auto& [id, languages] : ids) dataEntries += kDirectoryHeader + kDirectoryEntry * languages.size();
    }
    dataEntries += idDirectories;
    size_t dataStart = dataEntries + kDataEntry * resources.size();
    std::vector<size_t> dataAt(resources.size());
    size_t end = dataStart;
    for (size_t i = 0; i < resources.size(); ++i) {
        dataAt[i] = end;
        end = align8(end + resources[i].data.size());
    }

    std::string b(end, '\0');
    putDirectory(b, 0, tree.size());
    size_t typeAt = typeDirectories, idAt = idDirectories, typeIndex = 0;
    for (const auto& [type, ids] : tree) {
        putEntry(b, 0, typeIndex++, type, kSubdirectory | static_cast<uint32_t>(typeAt));
        putDirectory(b, typeAt, ids.size());
        size_t idIndex = 0;
        for (const auto& [id, languages] : ids) {
            putEntry(b, typeAt, idIndex++, id, kSubdirectory | static_cast<uint32_t>(idAt));
            putDirectory(b, idAt, languages.size());
            for (size_t l = 0; l < languages.size(); ++l) {
                size_t r = languages[l];
                size_t entry = dataEntries + kDataEntry * r;
                putEntry(b, idAt, l, resources[r].language, static_cast<uint32_t>(entry));
                putLe32(b, entry, sectionRva + static_cast<uint32_t>(dataAt[r]));
                putLe32(b, entry + 4, static_cast<uint32_t>(resources[r].data.size()));
                b.replace(dataAt[r], resources[r].data.size(), resources[r].data);
            }
            idAt += kDirectoryHeader + kDirectoryEntry * languages.size();
        }
        typeAt += kDirectoryHeader + kDirectoryEntry * ids.size();
    }
    return b;
}

bool decodeResourceSection(const std::string& section, uint32_t sectionRva, std::vector<Resource>* resources,
                           std::string* error) {
    resources->clear();
    Reader reader{section, sectionRva, resources, error};
    return reader.level(0, 0, 0, 0);
}
