// One row of tape as a line of text: tapeview's text view and portemu's live
// tape draw it alike.
//   offset  87654 321  hex chr
//        0 |O  O .O  |  48  H
// Channel 8 (bit 7) on the left, the feed hole between channels 4 and 3.
// And where a row lies along the tape, ten rows to the inch.
#pragma once

#include <cstddef>

constexpr unsigned long ROWS_PER_FOOT = 120;
constexpr double METRES_PER_ROW = 0.00254;

// Across the tape from the left edge, as every view draws it: channels 8
// to 4, the feed hole, channels 3 to 1. Channel n carries bit n-1, so a row
// reads like the byte in binary.
constexpr int FEED = -1;
constexpr int TRACKS[] = {7, 6, 5, 4, 3, FEED, 2, 1, 0};
constexpr int TRACK_COUNT = sizeof TRACKS / sizeof TRACKS[0];

// A byte that shows as its own character beside the holes.
inline bool Printable(unsigned char byte)
{
    return byte >= 0x20 && byte < 0x7F;
}

// Whether a row has an odd number of holes, as a parity channel makes it.
inline bool OddHoles(unsigned row)
{
    bool odd = false;
    for (; row; row >>= 1)
        odd ^= row & 1;
    return odd;
}

// The column header with its newline; returns its length.
int TapeRowHeader(char* text, std::size_t size);
// One byte's row with its newline; returns its length. The character column
// shows shown, or by default the byte's own character when printable. Room
// for 32 bytes is always enough with up to 3 characters shown.
int TapeRowText(unsigned long offset, unsigned char byte, char* text, std::size_t size,
                const char* shown = nullptr);
// "Offset 170 is 1.7 in (4.3 cm) from the start of the data.": offset
// lies rows rows from the start of what, in tenths of an inch and of a
// centimetre.
void PrintOffsetPlace(unsigned long offset, unsigned long rows, const char* what);
