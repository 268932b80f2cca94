// Included ahead of every launcher source in the Windows builds.
//
// libstdc++ declares std::string and std::wstring as instantiated in the
// library, so any use links its whole instantiation object: every member,
// with exception handling inside. On x86_64 the linker cannot drop a
// function that has an unwind table entry, so all of it stays, and it
// pulls the exception runtime back in. Switching those declarations off
// (the library's own setting for its assertion mode, which does only this)
// makes each source instantiate just the members it uses, compiled
// without exceptions like the rest of the launcher.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
