// Command-line splitting and the parsing of service command words.
#pragma once

#include <string>
#include <vector>

using ArgumentVector = std::vector<std::wstring>;

// Appends the arguments of a wide command line. Only the space separates;
// single and double quotes group; there are no escapes.
void splitCommandLine(const wchar_t* text, ArgumentVector& arguments);

enum class ServiceCommand {
    None,  // not a command word: go on to the role selection
    Help,
    Install,
    InstallAndStart,
    InstallAuto,
    InstallDemand,
    Uninstall,
    Stop,
    Start,
    Status,
};

struct CommandRequest {
    ServiceCommand command = ServiceCommand::None;
    bool interactive = true;
    bool hasServiceName = false;  // the tail named a service after the word
    std::string serviceName;      // the name from the tail, when present
    std::string word;             // the command word as compared
    // The account options of the install words: "--user NAME" and
    // "--password-file FILE" (a value with blanks in double quotes).
    std::string user;
    std::string passwordFile;
    bool hasPasswordFile = false;
    std::string optionProblem;  // not empty: the options cannot be used, and why
};

// Parses the narrow command tail (the command line without the program
// name). Returns the request; `command` is None when the tail does not
// start with '/' or '-' or the word matches no command. Between the word
// and the service name come "non-interactive" and, for the install words,
// the account options.
CommandRequest parseCommandTail(const char* tail);

// The narrow command tail: the command line without the program name
// (quoted or not) and the blanks and tabs that follow it.
const char* skipProgramName(const char* commandLine);
