#include "core/cmdline.h"

#include <cstring>
#include <cwchar>

void splitCommandLine(const wchar_t* text, ArgumentVector& arguments) {
    if (!text) return;
    const wchar_t* p = text;
    while (*p) {
        if (*p == L' ') {
            ++p;
            continue;
        }
        const wchar_t* dq = wcschr(p, L'"');
        const wchar_t* sq = wcschr(p, L'\'');
        const wchar_t* sp = wcschr(p, L' ');
        if (sp && (!dq || sp < dq) && (!sq || sp < sq)) {
            arguments.emplace_back(p, static_cast<size_t>(sp - p));
            p = sp + 1;
            continue;
        }
        const wchar_t* open = nullptr;
        if (dq && (!sq || dq < sq)) open = dq;
        else if (sq) open = sq;
        if (!open) {
            arguments.emplace_back(p);
            break;
        }
        std::wstring arg(p, static_cast<size_t>(open - p));
        const wchar_t* close = wcschr(open + 1, *open);
        if (!close) {
            arg.append(open + 1);
            arguments.push_back(arg);
            break;
        }
        arg.append(open + 1, static_cast<size_t>(close - open - 1));
        arguments.push_back(arg);
        p = close + 1;
        if (*p == L' ') ++p;
    }
}

namespace {

ServiceCommand serviceCommandForWord(const std::string& word) {
    static const struct {
        const char* word;
        ServiceCommand command;
    } table[] = {
        {"?", ServiceCommand::Help},
        {"help", ServiceCommand::Help},
        {"install", ServiceCommand::Install},
        {"install-and-start", ServiceCommand::InstallAndStart},
        {"install-auto", ServiceCommand::InstallAuto},
        {"install-demand", ServiceCommand::InstallDemand},
        {"uninstall", ServiceCommand::Uninstall},
        {"stop", ServiceCommand::Stop},
        {"start", ServiceCommand::Start},
        {"status", ServiceCommand::Status},
    };
    for (const auto& row : table)
        if (word == row.word) return row.command;
    return ServiceCommand::None;
}

}  // namespace

CommandRequest parseCommandTail(const char* tail) {
    CommandRequest request;
    if (!tail || (tail[0] != '/' && tail[0] != '-')) return request;
    const char* start = tail + 1;
    if (*start == '-') ++start;

    // Grammar: word, then optionally " non-interactive", then optionally a
    // space and a service name running to the end of the line. A space is
    // only looked at when more than itself follows, so a single trailing
    // space stays part of the word.
    std::string text(start);
    size_t wordEnd = std::string::npos;
    size_t cursor = 0;
    for (;;) {
        size_t space = text.find(' ', cursor);
        if (space == std::string::npos || text.size() - space <= 1) break;
        if (wordEnd == std::string::npos) wordEnd = space;
        if (text.compare(space + 1, 15, "non-interactive") == 0) {
            request.interactive = false;
            cursor = space + 16;
            continue;
        }
        request.hasServiceName = true;
        request.serviceName = text.substr(space + 1);
        break;
    }
    request.word = text.substr(0, wordEnd);
    request.command = serviceCommandForWord(request.word);
    return request;
}

const char* skipProgramName(const char* commandLine) {
    const char* p = commandLine ? commandLine : "";
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}
