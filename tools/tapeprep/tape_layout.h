// A punch-ready tape: leader, a label in letters a person reads along the
// tape, the data, trailer.
#pragma once

#include <string>

// The label's letters are 5 columns of 7 dots, one tape row per column, on
// channels 1 to 7: a letter's top row is channel 7 (bit 6), its bottom row
// channel 1 (bit 0). Channel 8 stays blank in a letter. Laid with its start
// to the left and channel 8 at the top edge, the tape reads left to right.
constexpr int GLYPH_COLUMNS = 5;
constexpr int GLYPH_ROWS = 7;

// The drawing of a character: 7 rows of 5, '#' a hole, '.' none, top row
// first; null for a character the font does not have. Lower case is drawn
// as upper case.
const char* const* GlyphDrawing(char c);
// The characters the font has, in its order.
const std::string& FontCharacters();

// The tape rows of a label: a fill row, then per letter its 5 columns and a
// fill row. False for a character the font does not have, named in refused.
bool LabelRows(const std::string& text, unsigned char fill, std::string& rows, char& refused);
