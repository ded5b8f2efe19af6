// A punch-ready tape: leader, a label in letters a person reads along the
// tape, the data, trailer.
#pragma once

#include <cstddef>

// The label's letters are 5 columns of 7 dots, one tape row per column, on
// channels 1 to 7: a letter's top row is channel 7 (bit 6), its bottom row
// channel 1 (bit 0). Channel 8 stays blank in a letter. Laid with its start
// to the left and channel 8 at the top edge, the tape reads left to right.
constexpr int GLYPH_COLUMNS = 5;
constexpr int GLYPH_ROWS = 7;
// The characters the font has, as the messages name them.
extern const char LABEL_CHARACTERS[];

// The drawing of a character: 7 rows of 5, '#' a hole, '.' none, top row
// first; null for a character the font does not have. Lower case is drawn
// as upper case.
const char* const* GlyphDrawing(char c);
// The characters the font has, in its order.
const char* FontCharacters();

// The tape rows of a label into rows, which has room for 1 + 6 per
// character: a fill row, then per letter its 5 columns and a fill row.
// Returns the number of rows, or 0 at a character the font does not have,
// named in refused.
size_t LabelRows(const char* text, unsigned char fill, unsigned char* rows, char& refused);
