// The codes a tape can be written in, and the conversion of a file's bytes
// into one: line ends first, then the code.
#pragma once

#include <cstddef>

enum class Code { RAW, ASCII_EVEN, ASCII_ODD, ASCII_MARK, ASCII_SPACE, ITA2, US_TTY, EIA };
enum class Newline { KEEP, CRLF, CR, LF };

// The codes' names as the command line takes them, for messages.
extern const char CODE_NAMES[];

// False for a name that is no code.
bool CodeByName(const char* name, Code& code);
// Whether the code has CR and LF for --newline; EIA ends a line with its
// end of block.
bool HasLineEnds(Code code);
// Why a code refuses a byte, after "byte 0xNN ".
const char* RefusalReason(Code code);

// Where the conversion stands: the next byte's place in the file, counted
// from 1 with CR LF, LF or a lone CR as one line end, and the 5-hole codes'
// shift.
struct Conversion {
    Code code;
    Newline newline;
    unsigned long line;
    unsigned long column;
    bool afterCr;
    unsigned char shift;  // LTRS or FIGS in force; 0 before the first byte
    bool shiftAgain;      // a space since the shift: send it again
};

void StartConversion(Conversion& conversion, Code code, Newline newline);
// Counts the lines of bytes that are not converted (before --from), so
// that a refusal names the byte's place in the whole file.
void SkipBytes(Conversion& conversion, const unsigned char* bytes, size_t count);
// Converts count bytes into out, which has room for 2 * count + 1. Returns
// the number written, or -1 at a byte the code cannot carry; the
// conversion then holds that byte's line and column and refused its value.
long ConvertBytes(Conversion& conversion, const unsigned char* bytes, size_t count,
                  unsigned char* out, unsigned char& refused);
