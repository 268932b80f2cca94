// The "key = value" files that steer the test runtime's programs. One
// setting a line; blank lines and lines starting with '#' or ';' are
// skipped; blanks around key and value are dropped. Values may carry the
// escapes \n, \r, \t and \\ (see unescapeValue).
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Setting {
    std::string key;
    std::string value;  // raw bytes as in the file, escapes not yet applied
    int line = 0;
};

// Reads the file; false with a message in error when it cannot be read or
// a line has no '='. A missing file is reported with missing set.
bool readSettings(const std::wstring& path, std::vector<Setting>& settings, std::string& error, bool& missing);

std::string unescapeValue(const std::string& value);

// Whole-text decimal integer (optional sign); false for anything else.
bool parseInteger(const std::string& text, long long& value);

// Prints "testrt: <text>" on standard error and ends the process with code.
[[noreturn]] void failTestRuntime(const std::string& text, unsigned code);

// UTF-8 <-> UTF-16 for paths and texts of the test programs.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

// Folder of the given module (nullptr: the executable), without a trailing backslash.
std::wstring moduleFolder(void* module);

// Appends bytes to a file (created when missing); true when all were written.
bool appendToFile(const std::wstring& path, const std::string& bytes);
