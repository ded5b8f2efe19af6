// tapeview: the tape that a file makes, before it is punched or after, as
// text or SVG, and the handshake of a trace's first bytes as a timing
// diagram.
#pragma once

#include "trace.h"

#include <cstddef>
#include <string>
#include <vector>

// ---- The tape ---------------------------------------------------------------

// A legend line, a column header, then one row per byte in punched order.
std::string TapeText(const std::string& punched);
// The column header and one byte's row of that text, each with its newline.
std::string TapeTextHeader();
std::string TapeTextRow(unsigned long offset, unsigned char byte);
// The first maxRows bytes as a strip of tape down the page, with a note when
// there are more.
std::string TapeSvg(const std::string& punched, std::size_t maxRows);
// Up to maxRows bytes from row from on as a strip along the page, start on
// the left and channel 8 at the top: a tapeprep label reads as text.
std::string StripSvg(const std::string& bytes, std::size_t from, std::size_t maxRows);

// ---- The handshake ----------------------------------------------------------

constexpr unsigned long long NO_TIME = ~0ULL;

// From this time on (microseconds since the trace began), a line's pin level
// (1 = HIGH) or the data register's value.
struct Step {
    unsigned long long micros;
    unsigned value;
};

struct PunchedByte {
    unsigned value;
    unsigned long long blankAt;  // data FF just before the byte; NO_TIME without it
    unsigned long long byteAt;   // the last data write before the latch
    unsigned long long latchAt;  // control 00: STROBE rises, the punch takes the byte
    unsigned long long restAt;   // the next control 01; NO_TIME when the trace ends first
};

struct Handshake {
    unsigned base = 0;          // 0 when the trace writes no control register
    std::vector<Step> strobe;   // one step per control write
    std::vector<Step> data;     // one step per data write
    std::vector<Step> busy;     // one step per status read line
    std::vector<PunchedByte> bytes;
};

// The handshake on the port of the trace's first control write.
Handshake ReadHandshake(const std::vector<TraceLine>& trace);

// The first byteCount bytes; the handshake must hold at least one byte.
std::string TimingSvg(const Handshake& handshake, std::size_t byteCount);
// One line: the port, the bytes drawn and their measured pauses.
std::string TimingSummary(const Handshake& handshake, std::size_t byteCount);
