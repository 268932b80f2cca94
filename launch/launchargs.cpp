#include "launch/launchargs.h"

#include <vector>

#include "base/bounded.h"
#include "core/log.h"
#include "core/state.h"
#include "launch/runtime_contract.h"

namespace {

void addProperty(OptionList& list, const char* name, bool fits, const char* text) {
    if (fits) {
        list.push_back(text);
        return;
    }
    logError(L"launcher property %S does not fit its buffer, left out", name);
}

void addTextProperty(OptionList& list, const char* name, const std::string& value) {
    std::vector<char> text(kPropertyCapacity);
    bool fits = formatText(text.data(), text.size(), "-D%s=%s", name, value.c_str());
    addProperty(list, name, fits, text.data());
}

void addFlagProperty(OptionList& list, const char* name) {
    char text[64];
    bool fits = formatText(text, sizeof text, "-D%s=true", name);
    addProperty(list, name, fits, text);
}

bool beginsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

}  // namespace

std::string libraryPathOption(bool hasPath, const std::string& path) {
    std::string option = std::string("-D") + kPropLibraryPath + "=";
    // A cut PATH would name directories that do not exist; a value longer
    // than the environment allows is not a PATH the process could have had.
    if (!hasPath) return option;
    if (path.size() <= kEnvironmentValueLimit)
        option += path;
    else
        logError(L"PATH is too long (%d characters) for the library path", static_cast<int>(path.size()));
    return option;
}

OptionList buildLauncherProperties(const LauncherPropertyValues& values) {
    OptionList list;
    addTextProperty(list, kPropSemaphoreName, values.semaphoreName);
    if (values.family == 'v') addFlagProperty(list, kPropIsVantrel);
    if (values.serviceMode) addFlagProperty(list, kPropIsService);
    addTextProperty(list, kPropModuleName, values.modulePath);
    addTextProperty(list, kPropJavaCommand, values.modulePath);
    addTextProperty(list, kPropTempDir, values.tempDirectory);
    char number[64];
    formatText(number, sizeof number, "-D%s=%I64u", kPropUnextractedPosition,
               static_cast<unsigned long long>(values.unextractedPosition));
    list.push_back(number);
    list.push_back(libraryPathOption(values.hasPath, values.path));
    if (values.hasConsoleCodepage) {
        formatText(number, sizeof number, "-D%s=cp%u", kPropConsoleCodepage, values.consoleCodepage);
        list.push_back(number);
    }
    return list;
}

ArgumentVector buildLauncherArguments(const LauncherArgumentValues& values, const ArgumentVector& arguments,
                                      const ArgumentVector& fixedArguments, bool javaArgumentsAsVmOptions) {
    ArgumentVector out;
    out.push_back(values.executableType == 1 ? L"true" : L"false");
    out.push_back(values.mainClass);
    out.push_back(values.errorFile);
    out.push_back(values.outputFile);
    out.push_back(values.runtimeFlag ? L"true" : L"false");
    if (arguments.empty()) {
        out.insert(out.end(), fixedArguments.begin(), fixedArguments.end());
        return out;
    }
    out.push_back(arguments.front());
    out.insert(out.end(), fixedArguments.begin(), fixedArguments.end());
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (beginsWith(argument, L"-Dsun.locale.formatasdefault=")) continue;
        if (javaArgumentsAsVmOptions && beginsWith(argument, L"-J")) continue;
        out.push_back(argument);
    }
    return out;
}

bool isVerbatimRedirection(const std::wstring& name) { return !name.empty() && name[0] == L'$'; }

std::string toModifiedUtf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        unsigned u = static_cast<unsigned>(c) & 0xFFFF;
        if (u != 0 && u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}
