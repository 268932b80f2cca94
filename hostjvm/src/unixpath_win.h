// Windows paths as the host sees them, through Wine's own mapping.
#pragma once

#include <windows.h>

#include <string>

// The Unix path of a Windows path (kernel32's wine_get_unix_file_name).
// False outside Wine, or when the path cannot be mapped (Wine refuses a
// path whose parent folder is missing).
bool unixPathOf(const std::wstring& windowsPath, std::string& unixPath);

// The same for UTF-8 text, in the form the option translation takes.
bool translateUtf8Path(const std::string& windowsPath, std::string& unixPath, void* context);

// The folder of a loaded module, ending in a backslash.
std::wstring moduleFolder(HMODULE module);
