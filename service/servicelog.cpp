#include "service/servicelog.h"

#include <cwctype>

#include "base/bounded.h"

namespace {

constexpr size_t kLastLineCapacity = 500;

bool blankOnly(const std::string& text) {
    for (char c : text)
        if (c != ' ' && c != '\t') return false;
    return true;
}

// Where the last path component starts.
size_t nameStart(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

}  // namespace

bool formatLogTime(char* buffer, size_t capacity, const LogTime& t) {
    return formatText(buffer, capacity, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.year, t.month, t.day, t.hour,
                      t.minute, t.second, t.millisecond);
}

void OutputLines::emit(LineSink& sink) {
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    sink.line(pending_.data(), pending_.size());
    if (!blankOnly(pending_)) last_.assign(pending_, 0, kLastLineCapacity);
    pending_.clear();
}

void OutputLines::feed(const char* data, size_t size, LineSink& sink) {
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            emit(sink);
            continue;
        }
        pending_.push_back(data[i]);
        if (pending_.size() >= kMaxLogLine) emit(sink);
    }
}

void OutputLines::finish(LineSink& sink) {
    if (!pending_.empty()) emit(sink);
}

std::wstring defaultServiceLogPath(const std::wstring& modulePath) {
    size_t start = nameStart(modulePath);
    std::wstring path = modulePath;
    size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos && dot >= start && path.size() - dot == 4 && towlower(path[dot + 1]) == L'e' &&
        towlower(path[dot + 2]) == L'x' && towlower(path[dot + 3]) == L'e')
        path.resize(dot);
    return path + L".service.log";
}

bool serviceLogDisabled(const char* configured) {
    const char* none = "none";
    for (size_t i = 0; i < 5; ++i) {
        char c = configured[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != none[i]) return false;
    }
    return true;
}

std::wstring rolledLogName(const std::wstring& path, unsigned index) {
    wchar_t number[16];
    formatTextW(number, sizeof number / sizeof number[0], L".%u", index);
    size_t start = nameStart(path);
    size_t dot = path.rfind(L'.');
    // A leading dot (".log") is the name, not an extension.
    if (dot == std::wstring::npos || dot <= start) return path + number;
    return path.substr(0, dot) + number + path.substr(dot);
}

bool rollDue(uint64_t size, uint64_t lineBytes, uint64_t maxSize) {
    return maxSize != 0 && size != 0 && size + lineBytes > maxSize;
}

void rollLogFiles(const std::wstring& path, unsigned keep, RollOps& ops) {
    if (keep == 0) {
        ops.remove(path);
        return;
    }
    ops.remove(rolledLogName(path, keep));
    for (unsigned i = keep - 1; i >= 1; --i) ops.rename(rolledLogName(path, i), rolledLogName(path, i + 1));
    ops.rename(path, rolledLogName(path, 1));
}
