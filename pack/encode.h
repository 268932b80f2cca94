// Encoders and checks for project settings that do not depend on the TOML
// reader: command-line joining, class path and search entries, embedded
// names, locale codes, versions and name suggestions. Each check returns
// false with a message that says what is wrong and how to fix it.
#pragma once

#include <string>
#include <vector>

// Joins arguments into one text that the launcher's command-line splitter
// (blanks separate, single and double quotes group, no escapes) turns back
// into exactly these arguments.
bool joinCommandLine(const std::vector<std::string>& arguments, std::string* out, std::string* error);

// Folds line breaks and tabs of a command-line text written as one string
// into blanks (the splitter only separates at blanks) and trims the ends.
std::string flattenCommandLine(const std::string& text);

// One class path entry ("A0lib\x.jar") from its type name: archive,
// directory, env or scan.
bool classPathEntry(const std::string& type, bool mandatory, const std::string& name, std::string* entry,
                    std::string* error);
// A class path entry written in its raw form.
bool checkRawClassPathEntry(const std::string& entry, std::string* error);

// Search-sequence letter of a type name (bundled B, directory A, relative R,
// env E, path S, registry Y); 0 when unknown.
char searchTypeLetter(const std::string& type);
bool checkRawSearchEntry(const std::string& entry, std::string* error);

// A list item that the launcher will split at `separator`.
bool checkListItem(const std::string& item, char separator, std::string* error);

// Embedded file names: relative, backslashes (slashes are turned into
// backslashes), at most one directory level, no "." or ".." parts, no drive,
// no characters Windows refuses in file names.
bool normaliseEmbeddedName(const std::string& name, std::string* normalised, std::string* error);

// Locale codes of language sections: "de", "de_CH" or "no_NO_NY".
bool checkLocaleCode(const std::string& code, std::string* error);

// Java version bounds: digits separated by ".", "_", "-" or "+".
bool checkVersionText(const std::string& text, std::string* error);
// True when a minimum and a maximum leave room for some version.
bool versionBoundsCompatible(const std::string& minimum, const std::string& maximum);

// Characters the launcher would misread in a narrow value (controls).
bool checkNoControlCharacters(const std::string& text, std::string* error);

// A file size for the rolling of logs: a number of bytes, or a number and
// a unit B, KB, MB or GB (1 KB = 1024 bytes; case and a blank between do
// not matter), from 1 KB to 1024 GB.
bool parseSizeText(const std::string& text, unsigned long long* bytes, std::string* error);
bool checkSizeBytes(unsigned long long bytes, std::string* error);

size_t editDistance(const std::string& a, const std::string& b);
// The candidate closest to `name`, or empty when none is close enough.
std::string closestName(const std::string& name, const std::vector<std::string>& candidates);
