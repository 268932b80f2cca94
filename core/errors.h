// User-visible errors: a message box or standard error, with the log path
// appended when logging is on. The fatal forms end the process with 1
// after the temporary directory is removed.
#pragma once

// Message-box mode: on at start, switched off after the block is read when
// the executable type (key::ExecutableType) is neither 1 nor 5.
void setMessageBoxMode(bool on);

void showError(const wchar_t* text);
void showMessage(int id, const wchar_t* argument);       // argument may be null
void showMessageNarrow(int id, const char* argument);
[[noreturn]] void fatalError(const wchar_t* text);
[[noreturn]] void fatalMessage(int id, const wchar_t* argument);
[[noreturn]] void fatalMessageNarrow(int id, const char* argument);

// Failures the user can do nothing about. Each is shown as msg::InternalError
// with its code in place of "{0}"; the codes are what a user reports, so a
// code never changes its meaning.
enum class InternalError {
    TempDirectoryNotCreated,
    ExtractedFileNotCreated,
    FirstRunClassMissing,
    FirstRunMethodMissing,
    EmbeddedFilesNotExtracted,
    UnpackNotStarted,
    ArgumentArrayNotBuilt,
};
// The code as shown ("7", "11", ...).
const wchar_t* internalErrorCode(InternalError error);
[[noreturn]] void fatalInternalError(InternalError error);

// Replaces the first "{0}" of the text with the argument (portable; used by
// showMessage). Returns false when the result was cut to the capacity.
bool substituteArgument(wchar_t* text, size_t capacity, const wchar_t* argument);
