#include "pack/manifest.h"

namespace {

// Per-monitor DPI awareness on Windows 8.1 and later, system awareness
// before ("true/PM"): what java.exe and javaw.exe declare since Java 9,
// whose AWT and Swing scale themselves. The supported-OS ids are those of
// Windows 7, 8, 8.1 and 10 (which Windows 11 shares).
const char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
    "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\n"
    "    <application>\n"
    "      <supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>\n"
    "      <supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>\n"
    "      <supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>\n"
    "      <supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>\n"
    "    </application>\n"
    "  </compatibility>\n"
    "  <dependency>\n"
    "    <dependentAssembly>\n"
    "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
    "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
    "    </dependentAssembly>\n"
    "  </dependency>\n"
    "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
    "    <windowsSettings>\n"
    "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/PM</dpiAware>\n"
    "      <longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>\n"
    "    </windowsSettings>\n"
    "  </application>\n"
    "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
    "    <security>\n"
    "      <requestedPrivileges>\n"
    "        <requestedExecutionLevel level=\"{executionLevel}\" uiAccess=\"false\"/>\n"
    "      </requestedPrivileges>\n"
    "    </security>\n"
    "  </trustInfo>\n"
    "</assembly>\n";

const char kPlaceholder[] = "{executionLevel}";

}  // namespace

const char* manifestTemplate() { return kTemplate; }

bool isExecutionLevel(const std::string& level) {
    return level == "asInvoker" || level == "highestAvailable" || level == "requireAdministrator";
}

std::string applicationManifest(const std::string& executionLevel) {
    std::string text = kTemplate;
    size_t at = text.find(kPlaceholder);
    text.replace(at, sizeof kPlaceholder - 1, executionLevel);
    return text;
}
