// tapeview: the tape that a file makes, before it is punched or after, as
// text or SVG, its length and time, and the handshake of a trace's first
// bytes as a timing diagram.
#pragma once

#include "read_back.h"
#include "text_buffer.h"
#include "trace.h"

#include <cstddef>

// ---- The tape ---------------------------------------------------------------

// "1,200 rows: 10 ft, 3.05 m, 30.4 s to punch at 25.3 ms a row": the time
// is what a person waits with this program on a Facit 4070. Returns text.
const char* TapeLength(unsigned long rows, char* text, std::size_t size);
// The length, a legend line, a column header, then up to rows rows from
// row from on, in punched order; with eia, each row's EIA RS-244 character.
void TapeText(TextBuffer& text, const unsigned char* bytes, std::size_t size, std::size_t from,
              std::size_t rows, bool eia = false);
// The first maxRows bytes as a strip of tape down the page, with a note when
// there are more.
void TapeSvg(TextBuffer& svg, const unsigned char* bytes, std::size_t size, std::size_t maxRows);
// Up to maxRows bytes from row from on as a strip along the page, start on
// the left and channel 8 at the top: a tapeprep label reads as text.
void StripSvg(TextBuffer& svg, const unsigned char* bytes, std::size_t size, std::size_t from,
              std::size_t maxRows);

// ---- The handshake ----------------------------------------------------------

constexpr unsigned long long NO_TIME = ~0ULL;

// From this time on (microseconds since the trace began), a line's pin level
// (1 = HIGH) or the data register's value.
struct TimedValue {
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

// A signal as the trace shows it: its values in time order.
struct Signal {
    TimedValue* items;
    std::size_t count;
};

struct Handshake {
    unsigned base;        // 0 when the trace writes no control register
    Signal strobe;        // one value per control write
    Signal data;          // one value per data write
    Signal busy;          // one value per status read line
    struct {
        PunchedByte* items;
        std::size_t count;
    } bytes;
};

// The handshake on the port of the trace's first control write; false when
// memory ran out. Free it with FreeHandshake.
bool ReadHandshake(const TraceLine* trace, std::size_t count, Handshake& handshake);
void FreeHandshake(Handshake& handshake);

// The first byteCount bytes; the handshake must hold at least one byte.
void TimingSvg(TextBuffer& svg, const Handshake& handshake, std::size_t byteCount);
// One line: the port, the bytes drawn and their measured pauses.
void TimingSummary(TextBuffer& summary, const Handshake& handshake, std::size_t byteCount);
