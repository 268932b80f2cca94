// The configuration and message stores, filled once from the block and
// read only through these accessors. An absent key reads as empty or 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Filling (block reader and tests only). A later value replaces an earlier one.
void storeConfigValue(int key, const std::string& value);
void storeMessage(int id, const std::wstring& text);
void clearStores();
size_t configValueCount();
size_t messageCount();

// Copies the value; a value longer than n - 1 is cut and the truncation is
// logged. Returns false when the value was cut.
bool getConfigString(int key, char* buffer, size_t n);
// Each byte becomes the code unit of the same value. Returns false when cut.
bool getConfigWide(int key, wchar_t* buffer, size_t n);
std::string getConfigCopy(int key);
int getConfigInt(int key);
bool getMessage(int id, wchar_t* buffer, size_t n);
// The message, or the configuration key of the same number when the
// message is empty or absent.
bool getMessageOrConfig(int id, wchar_t* buffer, size_t n);

// Whether the configuration block holds the key at all.
bool hasConfigValue(int key);

// A size as the packing tool writes it (the rolling of logs): decimal
// bytes, at least 1, nothing else. False for anything else.
bool parseByteCount(const char* text, uint64_t* bytes);
