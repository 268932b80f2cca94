// The dependency list handed to CreateServiceA: the names of config key
// 149, each followed by a NUL, and one more NUL at the end.
#include <cstring>
#include <string>

#include "service/commands.h"

std::string buildDependencyList(const char* commaList) {
    std::string list;
    if (!commaList || !commaList[0]) return list;  // no list at all
    // strtok semantics without strtok's hidden state: runs of commas and
    // commas at either end give no entry; blanks belong to the names.
    const char* p = commaList;
    while (*p) {
        while (*p == ',') ++p;
        if (!*p) break;
        size_t n = strcspn(p, ",");
        list.append(p, n);
        list.push_back('\0');
        p += n;
    }
    list.push_back('\0');
    return list;
}
