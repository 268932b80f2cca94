// Assembly of the complete VM option list.
#pragma once

#include <jni.h>

#include "core/cmdline.h"
#include "launch/vmoptions.h"

JavaVMInitArgs* buildVmInitArgs(const ArgumentVector& arguments, const OptionList& launcherProperties);
void collectVmOptions(const ArgumentVector& arguments, OptionList& options, ClassPathTexts& texts);
void applyOptionTokens(const ArgumentVector& tokens, OptionList& options, ClassPathTexts& texts);
