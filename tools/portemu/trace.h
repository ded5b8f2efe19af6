// The emulated port's trace: one line per register access, written by
// portemu and read back by tapeview and the tests.
//   MICROS in PORT VALUE [xREPEATS]   a read; identical reads fold into one line
//   MICROS out PORT VALUE             a write
//   ERROR TEXT                        something a real port would not allow
// PORT and VALUE are hex, MICROS counts from the emulator's start.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct TraceLine {
    unsigned long long micros;
    bool isIn;
    unsigned port;
    unsigned value;
    unsigned long long repeats; // identical reads folded into this line
};

// The line's text with its newline; returns its length.
int FormatTraceLine(const TraceLine& line, char* text, std::size_t size);

// Parses a trace; lines it cannot read, such as ERROR lines, go to errors.
std::vector<TraceLine> ParseTrace(const std::string& text, std::vector<std::string>* errors);
// The same for a trace file; a missing file reads as an empty trace.
std::vector<TraceLine> ReadTrace(const std::string& path, std::vector<std::string>* errors);
