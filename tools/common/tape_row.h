// One row of tape as a line of text: tapeview's text view and portemu's live
// tape draw it alike.
//   offset  87654 321  hex chr
//        0 |O  O .O  |  48  H
// Channel 8 (bit 7) on the left, the feed hole between channels 4 and 3.
#pragma once

#include <cstddef>

// The column header with its newline; returns its length.
int TapeRowHeader(char* text, std::size_t size);
// One byte's row with its newline; returns its length. Room for 32 bytes is
// always enough.
int TapeRowText(unsigned long offset, unsigned char byte, char* text, std::size_t size);
