// The catalogue of every configuration key and message id: readable name,
// value type, what the launcher sees when it is absent, and one line saying
// what it does. The packing tool names keys after it, checks lengths against
// it and writes the English message texts from it; the launcher may use it
// for readable trace lines.
#pragma once

#include <cstddef>

enum class ConfigValueType {
    Text,     // free narrow text
    List,     // narrow text holding ";"- or ","-separated items
    Integer,  // decimal integer
    Flag,     // integer, true when not 0
};

struct ConfigKeyInfo {
    int key;
    const char* name;  // dotted name as used in project files, e.g. "jvm.min_version"
    ConfigValueType type;
    // Characters the launcher reads at most (its buffer size minus the
    // terminator); 0 when it takes a heap copy of any length.
    int maxLength;
    const char* absent;  // what the launcher sees when the key is missing
    const char* description;
    bool readByLauncher;  // false: carried by older blocks, ignored
};

struct MessageInfo {
    int id;
    const char* name;
    const wchar_t* englishText;  // default text; "{0}" takes the argument
    const char* description;
    bool shownByLauncher;  // false: kept for older blocks only
};

// The fixed rows, in ascending key order. The version-specific option
// lines (10201 + 2i and 10202 + 2i) are represented by their first pair.
const ConfigKeyInfo* configKeyCatalogue(size_t* count);
const MessageInfo* messageCatalogue(size_t* count);

// Row of a key, or nullptr. Keys of the version-specific option lines map
// to the row of 10201 or 10202; versionOptionSlot tells which line.
const ConfigKeyInfo* findConfigKey(int key);
const ConfigKeyInfo* findConfigKeyByName(const char* name);
const MessageInfo* findMessage(int id);
const MessageInfo* findMessageByName(const char* name);

// The catalogue names this many version-specific option lines; the
// packing tool writes no more.
constexpr int kMaxVersionOptionLines = 1000;

// For 10201 + 2i and 10202 + 2i (0 <= i < kMaxVersionOptionLines): sets i
// and whether the key holds the options (true) or the version prefix (false).
bool versionOptionSlot(int key, int* index, bool* isOptions);

