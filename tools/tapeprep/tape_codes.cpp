#include "tape_codes.h"

#include "eia_code.h"

#include <cstring>

const char CODE_NAMES[] = "raw, ascii-even, ascii-odd, ascii-mark, ascii-space, ita2, us-tty, eia";

namespace {

const char* const NAMES[] = {"raw", "ascii-even", "ascii-odd", "ascii-mark", "ascii-space",
                             "ita2", "us-tty", "eia"};

// The 5-hole codes, channel 1 in bit 0: the letters A to Z, and the
// figures by the letter key they share.
const unsigned char LETTERS[26] = {0x03, 0x19, 0x0E, 0x09, 0x01, 0x0D, 0x1A, 0x14, 0x06,
                                   0x0B, 0x0F, 0x12, 0x1C, 0x0C, 0x18, 0x16, 0x17, 0x0A,
                                   0x05, 0x10, 0x07, 0x1E, 0x13, 0x1D, 0x15, 0x11};
const char FIGURES[] = "1Q2W3E4R5T6Y7U8I9O0P-A?B:C(K)L.M,N/X";
const char ITA2_FIGURES[] = "'S=V+Z\aJ";
const char US_TTY_FIGURES[] = "'J;V\"Z$D!F&G#H\aS";
constexpr unsigned char LTRS = 0x1F, FIGS = 0x1B;
constexpr unsigned char SPACE = 0x04, CR = 0x08, LF = 0x02, BLANK = 0x00;
constexpr int NO_CODE = -1;

// The letter key of a figure, or 0.
char FigureKey(const char* pairs, unsigned char c)
{
    for (; *pairs; pairs += 2)
        if (static_cast<unsigned char>(pairs[0]) == c)
            return pairs[1];
    return 0;
}

// The 5-hole code of a character and the shift it needs (0: none).
int FiveHole(Code code, unsigned char c, unsigned char& shift)
{
    shift = 0;
    switch (c) {
    case ' ': return SPACE;
    case '\r': return CR;
    case '\n': return LF;
    case 0: return BLANK;
    }
    if (c >= 'a' && c <= 'z')
        c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') {
        shift = LTRS;
        return LETTERS[c - 'A'];
    }
    char key = FigureKey(FIGURES, c);
    if (!key)
        key = FigureKey(code == Code::ITA2 ? ITA2_FIGURES : US_TTY_FIGURES, c);
    if (!key)
        return NO_CODE;
    shift = FIGS;
    return LETTERS[key - 'A'];
}

// One character of the data in the code; false when the code has none.
bool Encode(Conversion& conversion, unsigned char c, unsigned char*& out)
{
    const Code code = conversion.code;
    if (code == Code::RAW) {
        *out++ = c;
        return true;
    }
    if (code == Code::EIA) {
        const int row = EiaRow(c);
        if (row == EIA_NONE)
            return false;
        *out++ = static_cast<unsigned char>(row);
        return true;
    }
    if (code != Code::ITA2 && code != Code::US_TTY) {
        if (c > 0x7F)
            return false;
        const bool odd = OddHoles(c);
        const bool parity = code == Code::ASCII_MARK  ? true
                            : code == Code::ASCII_EVEN ? odd
                            : code == Code::ASCII_ODD  ? !odd
                                                       : false;
        *out++ = static_cast<unsigned char>(c | (parity ? 0x80 : 0));
        return true;
    }
    unsigned char shift = 0;
    const int value = FiveHole(code, c, shift);
    if (value == NO_CODE)
        return false;
    if (shift && (shift != conversion.shift || conversion.shiftAgain)) {
        *out++ = shift;
        conversion.shift = shift;
        conversion.shiftAgain = false;
    }
    if (c == ' ')
        conversion.shiftAgain = true;
    *out++ = static_cast<unsigned char>(value);
    return true;
}

// Moves the place on past one byte. True when the byte is the LF of a
// CR LF, which ended its line already.
bool Advance(Conversion& conversion, unsigned char c)
{
    const bool secondHalf = c == '\n' && conversion.afterCr;
    conversion.afterCr = c == '\r';
    if (secondHalf)
        return true;
    if (c == '\r' || c == '\n') {
        ++conversion.line;
        conversion.column = 1;
    } else {
        ++conversion.column;
    }
    return false;
}

} // namespace

bool CodeByName(const char* name, Code& code)
{
    for (size_t i = 0; i < sizeof NAMES / sizeof NAMES[0]; ++i)
        if (std::strcmp(name, NAMES[i]) == 0) {
            code = static_cast<Code>(i);
            return true;
        }
    return false;
}

bool HasLineEnds(Code code)
{
    return code != Code::RAW && code != Code::EIA;
}

const char* RefusalReason(Code code)
{
    switch (code) {
    case Code::ITA2: return "has no ita2 character";
    case Code::US_TTY: return "has no us-tty character";
    case Code::EIA: return "has no eia character";
    default: return "is not 7-bit ASCII";
    }
}

void StartConversion(Conversion& conversion, Code code, Newline newline)
{
    // EIA ends each line with one end of block, whatever the line end was.
    conversion = {code, code == Code::EIA ? Newline::CR : newline, 1, 1, false, 0, false};
}

void SkipBytes(Conversion& conversion, const unsigned char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        Advance(conversion, bytes[i]);
}

long ConvertBytes(Conversion& conversion, const unsigned char* bytes, size_t count,
                  unsigned char* out, unsigned char& refused)
{
    static const char* const LINE_ENDS[] = {"", "\r\n", "\r", "\n"};
    const bool fiveHole = conversion.code == Code::ITA2 || conversion.code == Code::US_TTY;
    unsigned char* const start = out;
    for (size_t i = 0; i < count; ++i) {
        const unsigned char c = bytes[i];
        if (fiveHole && !conversion.shift) {
            *out++ = LTRS;
            conversion.shift = LTRS;
        }
        const bool lineEnd = c == '\r' || c == '\n';
        const unsigned long line = conversion.line, column = conversion.column;
        const bool secondHalf = Advance(conversion, c);
        if (lineEnd && conversion.newline != Newline::KEEP) {
            if (!secondHalf)
                for (const char* end = LINE_ENDS[static_cast<int>(conversion.newline)]; *end;
                     ++end)
                    Encode(conversion, static_cast<unsigned char>(*end), out);
            continue;
        }
        if (!Encode(conversion, c, out)) {
            conversion.line = line;
            conversion.column = column;
            refused = c;
            return -1;
        }
    }
    return static_cast<long>(out - start);
}
