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

bool isInstallCommand(ServiceCommand command) {
    return command == ServiceCommand::Install || command == ServiceCommand::InstallAndStart ||
           command == ServiceCommand::InstallAuto || command == ServiceCommand::InstallDemand;
}

// The value of an account option starting at `at`: in double quotes (no
// escapes) or up to the next blank. Returns where the text after it starts,
// or npos with the problem set.
size_t optionValue(const std::string& text, size_t at, const char* option, std::string* value,
                   std::string* problem) {
    if (at < text.size() && text[at] == '"') {
        size_t close = text.find('"', at + 1);
        if (close == std::string::npos) {
            *problem = std::string(option) + ": the closing quote is missing";
            return std::string::npos;
        }
        *value = text.substr(at + 1, close - at - 1);
        at = close + 1;
    } else {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        *value = text.substr(at, end - at);
        at = end;
    }
    if (value->empty()) {
        *problem = std::string(option) + " needs a value";
        return std::string::npos;
    }
    return at;
}

// Reads "--user NAME" or "--password-file FILE" at `at` (just after a
// blank) into the request. Returns where the text after it starts (at the
// blank before the next part), or npos when there is no such option or it
// is unusable (then optionProblem says why).
size_t accountOption(const std::string& text, size_t at, CommandRequest& request) {
    static const char user[] = "--user ";
    static const char file[] = "--password-file ";
    std::string rest = text.substr(at);
    if (rest == "--user" || rest == "--password-file") {
        request.optionProblem = rest + " needs a value";
        return std::string::npos;
    }
    if (text.compare(at, sizeof user - 1, user) == 0) {
        if (!request.user.empty()) {
            request.optionProblem = "--user is given twice";
            return std::string::npos;
        }
        return optionValue(text, at + sizeof user - 1, "--user", &request.user, &request.optionProblem);
    }
    if (text.compare(at, sizeof file - 1, file) == 0) {
        if (request.hasPasswordFile) {
            request.optionProblem = "--password-file is given twice";
            return std::string::npos;
        }
        request.hasPasswordFile = true;
        return optionValue(text, at + sizeof file - 1, "--password-file", &request.passwordFile,
                           &request.optionProblem);
    }
    return std::string::npos;
}

}  // namespace

CommandRequest parseCommandTail(const char* tail) {
    CommandRequest request;
    if (!tail || (tail[0] != '/' && tail[0] != '-')) return request;
    const char* start = tail + 1;
    if (*start == '-') ++start;

    // Grammar: word, then optionally " non-interactive" (and, after an
    // install word, the account options), then optionally a space and a
    // service name running to the end of the line. A space is only looked
    // at when more than itself follows, so a single trailing space stays
    // part of the word.
    std::string text(start);
    size_t wordEnd = std::string::npos;
    size_t cursor = 0;
    bool install = false;
    for (;;) {
        size_t space = text.find(' ', cursor);
        if (space == std::string::npos || text.size() - space <= 1) break;
        if (wordEnd == std::string::npos) {
            wordEnd = space;
            install = isInstallCommand(serviceCommandForWord(text.substr(0, wordEnd)));
        }
        if (text.compare(space + 1, 15, "non-interactive") == 0) {
            request.interactive = false;
            cursor = space + 16;
            continue;
        }
        if (install) {
            size_t next = accountOption(text, space + 1, request);
            if (!request.optionProblem.empty()) break;
            if (next != std::string::npos) {
                cursor = next;
                continue;
            }
        }
        request.hasServiceName = true;
        request.serviceName = text.substr(space + 1);
        break;
    }
    request.word = text.substr(0, wordEnd);
    request.command = serviceCommandForWord(request.word);
    if (request.optionProblem.empty() && request.hasPasswordFile && request.user.empty())
        request.optionProblem = "--password-file needs --user";
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
