#include <windows.h>

#include <vector>

#include "core/log.h"
#include "core/state.h"
#include "jvm/loading_win.h"
#include "launch/classpath.h"
#include "launch/expand.h"
#include "launch/sharing_win.h"
#include "launch/vmargs.h"

namespace {


OptionLineHooks launcherHooks(OptionList& options, ClassPathTexts& texts) {
    OptionLineHooks hooks;
    hooks.expand = [](wchar_t* text, size_t cap) { expandVariablesW(text, cap, true); };
    hooks.apply = [&options, &texts](const std::wstring& line) {
        applyVmOptionLine(nullptr, line.c_str(), options, texts);
    };
    return hooks;
}

}  // namespace

void collectVmOptions(const ArgumentVector& arguments, OptionList& options, ClassPathTexts& texts) {
    collectVmOptionsWith(arguments, selectedJvmVersion, launcherHooks(options, texts));
}

void applyOptionTokens(const ArgumentVector& tokens, OptionList& options, ClassPathTexts& texts) {
    applyOptionTokensWith(tokens, launcherHooks(options, texts).apply);
}

JavaVMInitArgs* buildVmInitArgs(const ArgumentVector& arguments, const OptionList& launcherProperties) {
    vmOptions = launcherProperties;
    ClassPathTexts texts;
    collectVmOptions(arguments, vmOptions, texts);

    FILE* file = openDefaultVmOptionsFile();
    logLine(L"default vmoptions file: %p", file);
    readDefaultVmOptionsFile(file, vmOptions, texts);

    vmOptions.push_back(buildClassPathOption(texts));
    appendSharingOptions(vmOptions);
    closeOptionList(vmOptions, serviceMode, noRedirect);

    vmOptionRecords.assign(vmOptions.size(), JavaVMOption());
    for (size_t i = 0; i < vmOptions.size(); ++i) {
        vmOptionRecords[i].optionString = &vmOptions[i][0];
        vmOptionRecords[i].extraInfo = nullptr;
    }
    vmInitArgs.version = JNI_VERSION_1_2;
    vmInitArgs.nOptions = static_cast<jint>(vmOptionRecords.size());
    vmInitArgs.options = vmOptionRecords.data();
    vmInitArgs.ignoreUnrecognized = JNI_TRUE;

    logLine(L"vmoption count %d", static_cast<int>(vmOptions.size()));
    for (size_t i = 0; i < vmOptions.size(); ++i)
        logLine(L"vmoption %d: %S", static_cast<int>(i), vmOptions[i].c_str());
    return &vmInitArgs;
}
