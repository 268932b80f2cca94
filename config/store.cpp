#include "config/store.h"

#include <map>

#include "base/bounded.h"
#include "core/log.h"
#include "core/state.h"

namespace {


std::map<int, std::string>& configStore() { return configValues; }
std::map<int, std::wstring>& messageStore() { return messageTexts; }

const std::string* findConfig(int key) {
    auto it = configStore().find(key);
    return it == configStore().end() ? nullptr : &it->second;
}

// Values come from the block and may contain NUL bytes; like the C string
// they are stored as, they end at the first one.
size_t textLen(const std::string& s) {
    size_t n = 0;
    while (n < s.size() && s[n]) ++n;
    return n;
}

}  // namespace

void storeConfigValue(int key, const std::string& value) { configStore()[key] = value; }
void storeMessage(int id, const std::wstring& text) { messageStore()[id] = text; }
void clearStores() {
    configStore().clear();
    messageStore().clear();
}
size_t configValueCount() { return configStore().size(); }
size_t messageCount() { return messageStore().size(); }
bool hasConfigValue(int key) { return findConfig(key) != nullptr; }

bool getConfigString(int key, char* buffer, size_t n) {
    if (n == 0) return false;
    const std::string* value = findConfig(key);
    if (!value) {
        buffer[0] = 0;
        return true;
    }
    size_t len = textLen(*value);
    bool fits = copyTextN(buffer, n, value->c_str(), len);
    if (!fits) {
        logLine(L"ERROR: config string %d truncated (%d %d)", key, static_cast<int>(n),
                static_cast<int>(len));
    }
    return fits;
}

bool getConfigWide(int key, wchar_t* buffer, size_t n) {
    if (n == 0) return false;
    const std::string* value = findConfig(key);
    return widenText(buffer, n, value ? value->c_str() : "");
}

std::string getConfigCopy(int key) {
    const std::string* value = findConfig(key);
    return value ? value->substr(0, textLen(*value)) : std::string();
}

int getConfigInt(int key) {
    char buffer[kPathCapacity];
    getConfigString(key, buffer, sizeof buffer);
    // Decimal like atol: leading white space, one sign, digits up to the
    // first non-digit. Saturate instead of overflowing.
    const char* p = buffer;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > 2147483648LL) v = 2147483648LL;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) v = 2147483647LL;
    return static_cast<int>(v);
}

bool getMessage(int id, wchar_t* buffer, size_t n) {
    if (n == 0) return false;
    auto it = messageStore().find(id);
    return copyTextW(buffer, n, it == messageStore().end() ? L"" : it->second.c_str());
}

bool getMessageOrConfig(int id, wchar_t* buffer, size_t n) {
    bool ok = getMessage(id, buffer, n);
    if (n > 0 && buffer[0] == 0) return getConfigWide(id, buffer, n);
    return ok;
}

bool parseByteCount(const char* text, uint64_t* bytes) {
    if (!text[0]) return false;
    uint64_t value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    if (value == 0) return false;
    *bytes = value;
    return true;
}
