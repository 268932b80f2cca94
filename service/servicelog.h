// The service log: the file beside the executable that the service process
// writes the application's output to, line by line with a time stamp,
// together with its own lines (start, stop, restarts, give-up), and the
// rolling by size that keeps it (and, on the Java side, the redirection
// files) from filling the disk. The decisions are here; the file itself is
// service/servicelog_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Tags that tell the service's own lines from the application's.
constexpr char kServiceLogOwnTag[] = "[service]";
constexpr char kServiceLogAppTag[] = "[app]";

struct LogTime {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "2026-12-07 21:30:15.123" (local time).
bool formatLogTime(char* buffer, size_t capacity, const LogTime& time);

// Splits what the application writes (in chunks as the pipe delivers them)
// into lines. A line ends at a line feed; a carriage return before it is
// dropped. A line longer than kMaxLogLine goes out in pieces of that size,
// so a program that never writes a line feed cannot grow memory without
// bound. What is left at the end goes out as a last line.
constexpr size_t kMaxLogLine = 16384;

struct LineSink {
    virtual ~LineSink() = default;
    virtual void line(const char* text, size_t length) = 0;
};

class OutputLines {
public:
    void feed(const char* data, size_t size, LineSink& sink);
    void finish(LineSink& sink);
    // The last non-empty line given to the sink (cut to 500 characters):
    // the reason of a failure is usually there.
    const std::string& lastLine() const { return last_; }

private:
    void emit(LineSink& sink);
    std::string pending_;
    std::string last_;
};

// The service log's default place: the executable's path with ".exe"
// replaced by ".service.log" (any other name gets ".service.log" added).
std::wstring defaultServiceLogPath(const std::wstring& modulePath);

// A configured log name: "none" (any case) means no log.
bool serviceLogDisabled(const char* configured);

// Rolling: "app.log" becomes "app.1.log", "app.1.log" becomes "app.2.log",
// and so on up to keep files; a name without an extension gets ".1" and so
// on at its end. Only the last path component's extension counts.
std::wstring rolledLogName(const std::wstring& path, unsigned index);

// Whether writing a line of lineBytes to a file of size bytes must roll
// the file first: never for an empty file (a line longer than the limit
// still goes in whole), and never without a limit (0).
bool rollDue(uint64_t size, uint64_t lineBytes, uint64_t maxSize);

struct RollOps {
    virtual ~RollOps() = default;
    virtual bool remove(const std::wstring& path) = 0;  // false when it is not there or cannot go
    virtual bool rename(const std::wstring& from, const std::wstring& to) = 0;
};

// Moves path to its first rolled name, each rolled file one further, and
// removes the one that would be number keep + 1. keep 0 removes path.
void rollLogFiles(const std::wstring& path, unsigned keep, RollOps& ops);
