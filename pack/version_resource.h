// The version information of a packed executable (VS_VERSIONINFO): the
// fixed file and product version numbers and one string table in US
// English, Unicode, which Explorer's Properties, the taskbar and the Task
// Manager show.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using VersionNumber = std::array<uint16_t, 4>;

// The fixed number of a version text: its leading numbers separated by
// dots, at most four, padded with zeros ("2.1.0-SNAPSHOT" gives 2.1.0.0,
// "3.0-rc1" 3.0.0.0). False with the reason when the text does not start
// with a number or a number is above 65535.
bool versionNumberOf(const std::string& text, VersionNumber* number, std::string* error);

// The texts of the string table, by their Windows names; empty ones are
// left out.
struct VersionTexts {
    std::u16string fileVersion;
    std::u16string productVersion;
    std::u16string productName;
    std::u16string fileDescription;
    std::u16string companyName;
    std::u16string copyright;
    std::u16string originalFilename;
    std::u16string internalName;
};

// The names of the string table in the order it is written, each with its
// text.
std::vector<std::pair<const char*, const std::u16string*>> versionTextFields(const VersionTexts& texts);

// A text of the string table: no control characters, at most the limit.
bool checkVersionText(const std::u16string& text, std::string* error);

std::string encodeVersionResource(const VersionNumber& fileVersion, const VersionNumber& productVersion,
                                  const VersionTexts& texts);

// Reads a version resource back (for `vtlpack inspect`): the fixed numbers
// and the strings of every string table. False when it is damaged.
struct VersionReport {
    VersionNumber fileVersion{};
    VersionNumber productVersion{};
    std::vector<std::pair<std::string, std::u16string>> strings;  // name (ASCII), text
};
bool decodeVersionResource(const std::string& data, VersionReport* report, std::string* error);
