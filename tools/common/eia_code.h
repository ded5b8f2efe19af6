// EIA RS-244, the tape code of numerically controlled machines: a row per
// character, channel 5 punched where needed to make the holes of the row
// odd, channel 8 alone the end of a block (a line of the program). Inline,
// so that each tool carries only the direction it uses.
#pragma once

#include "tape_row.h"

constexpr unsigned char EIA_END_OF_BLOCK = 0x80;
// What EiaRow and EiaCharacter give for a character or row the code has not.
constexpr int EIA_NONE = -1;

// The code is the punched card's: a digit 1 to 9 in binary in channels 1
// to 4 (8-4-2-1), and the card's zones in channels 6 ("0") and 7 ("11"),
// both for "12". Indexed by the digit part plus 16 times the zone; 0 where
// the code has no character.
inline constexpr char EIA_BY_ZONE_AND_DIGIT[64 + 1] =
    " 123456789\0\0\0\0\0\0"    // no zone: space alone is channel 5
    "0/STUVWXYZ\0,\0\0\t\0"     // channel 6
    "-JKLMNOPQR\0\0\0\0\0\0"    // channel 7
    "+ABCDEFGHI\0.\0\0\0\x7F";  // channels 6 and 7
constexpr unsigned char EIA_CHANNEL_5 = 0x10;

// The row of a character: a letter of either case, a digit, space, + - / .
// , tab or DEL. A line end is EIA_END_OF_BLOCK, NUL blank tape.
inline int EiaRow(unsigned char character)
{
    if (character == '\r' || character == '\n')
        return EIA_END_OF_BLOCK;
    if (character == 0)
        return 0;
    if (character >= 'a' && character <= 'z')
        character = static_cast<unsigned char>(character - 'a' + 'A');
    for (unsigned index = 0; index < 64; ++index) {
        if (EIA_BY_ZONE_AND_DIGIT[index] != static_cast<char>(character))
            continue;
        const unsigned row = (index & 0x0F) | (index & 0x30) << 1;
        return static_cast<int>(OddHoles(row) ? row : row | EIA_CHANNEL_5);
    }
    return EIA_NONE;
}

// The character of a row as EiaRow takes it: upper-case letters, '\n' for
// the end of a block, 0 for blank tape.
inline int EiaCharacter(unsigned char row)
{
    if (row == EIA_END_OF_BLOCK)
        return '\n';
    if (row == 0)
        return 0;
    if (!OddHoles(row) || (row & EIA_END_OF_BLOCK))
        return EIA_NONE;
    // An odd row's channel 5 follows from the others.
    const char character = EIA_BY_ZONE_AND_DIGIT[(row & 0x0F) | (row & 0x60) >> 1];
    return character ? static_cast<unsigned char>(character) : EIA_NONE;
}
