// The emulated port's trace: one line per register access, written by
// portemu and read back by tapeview and the tests.
//   MICROS in PORT VALUE [xREPEATS]   a read; identical reads fold into one line
//   MICROS out PORT VALUE             a write
//   ERROR TEXT                        something a real port would not allow
// PORT and VALUE are hex, MICROS counts from the emulator's start.
#pragma once

#include <cstddef>

struct TraceLine {
    unsigned long long micros;
    bool isIn;
    unsigned port;
    unsigned value;
    unsigned long long repeats; // identical reads folded into this line
};

// The line's text with its newline; returns its length.
int FormatTraceLine(const TraceLine& line, char* text, std::size_t size);
// An ERROR line with its newline; returns its length.
int FormatTraceError(const char* problem, char* text, std::size_t size);

// One access line, without or with its line end (LF or CR LF). False for
// anything else, such as an ERROR line.
bool ParseTraceLine(const char* text, std::size_t length, TraceLine& line);

// Called for each line of a trace in order: line is the access, or null when
// the line is not one (an ERROR line); text and length are the line without
// its line end.
typedef void (*TraceVisitor)(const TraceLine* line, const char* text, std::size_t length,
                             void* context);
void ForEachTraceLine(const char* text, std::size_t length, TraceVisitor visit, void* context);

// The access lines of a trace into lines, at most capacity of them; returns
// how many the trace holds (call with capacity 0 to count). unread, when
// given, receives the number of lines that are not accesses.
std::size_t ParseTrace(const char* text, std::size_t length, TraceLine* lines,
                       std::size_t capacity, std::size_t* unread);
