#include "service/childcmd.h"

#include <cwchar>

#include "base/bounded.h"

namespace {

bool holds(const wchar_t* text, wchar_t c) { return wcschr(text, c) != nullptr; }

// The quote to wrap the text in, 0 for none.
wchar_t quoteFor(const wchar_t* text) {
    bool doubleQuote = holds(text, L'"');
    bool singleQuote = holds(text, L'\'');
    if (doubleQuote) return L'\'';
    // An empty text must be quoted, or it would vanish between two blanks.
    if (singleQuote || holds(text, L' ') || !text[0]) return L'"';
    return 0;
}

bool appendQuoted(wchar_t* buffer, size_t capacity, const wchar_t* text) {
    wchar_t quote = quoteFor(text);
    if (!quote) return appendTextW(buffer, capacity, text);
    return appendCharW(buffer, capacity, quote) && appendTextW(buffer, capacity, text) &&
           appendCharW(buffer, capacity, quote);
}

}  // namespace

bool childArgumentQuotable(const wchar_t* argument) { return !(holds(argument, L'"') && holds(argument, L'\'')); }

namespace {

// Appends a blank and the argument so that splitCommandLine gives it back
// whole: a text without blanks and quotes stands as it is; any other is
// wrapped in the quote it does not contain ('"' when it holds neither).
// False when it does not fit or holds both quotes, which the splitter
// cannot carry in one argument (it ends an argument at its closing quote
// and joins no adjacent pieces).
bool appendChildArgument(wchar_t* buffer, size_t capacity, const wchar_t* argument) {
    if (!childArgumentQuotable(argument)) return false;
    return appendCharW(buffer, capacity, L' ') && appendQuoted(buffer, capacity, argument);
}

}  // namespace

ChildLineResult buildChildCommandLine(wchar_t* buffer, size_t capacity, const ArgumentVector& ownArguments,
                                      const std::wstring& serviceName,
                                      const std::vector<std::wstring>& startParameters, std::wstring* offending) {
    if (capacity == 0) return ChildLineResult::TooLong;
    buffer[0] = 0;
    std::vector<const std::wstring*> rest;
    rest.push_back(&serviceName);
    for (size_t i = 1; i < ownArguments.size(); ++i) rest.push_back(&ownArguments[i]);
    for (const std::wstring& parameter : startParameters) rest.push_back(&parameter);

    // The program path is read by CreateProcessW too, which knows only
    // double quotes; a Windows path never holds one.
    std::wstring program = ownArguments.empty() ? std::wstring() : ownArguments[0];
    const wchar_t* refused = nullptr;
    bool fits = true;
    if (holds(program.c_str(), L'"')) {
        refused = program.c_str();
    } else if (quoteFor(program.c_str())) {
        fits = appendCharW(buffer, capacity, L'"') && appendTextW(buffer, capacity, program.c_str()) &&
               appendCharW(buffer, capacity, L'"');
    } else {
        fits = appendTextW(buffer, capacity, program.c_str());
    }
    for (size_t i = 0; fits && !refused && i < rest.size(); ++i) {
        if (!childArgumentQuotable(rest[i]->c_str())) refused = rest[i]->c_str();
        else fits = appendChildArgument(buffer, capacity, rest[i]->c_str());
    }
    fits = fits && !refused && appendTextW(buffer, capacity, L" __vtl_restart");
    if (fits) return ChildLineResult::Built;
    buffer[0] = 0;
    if (refused && offending) *offending = refused;
    return refused ? ChildLineResult::Unquotable : ChildLineResult::TooLong;
}
