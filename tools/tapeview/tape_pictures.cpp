// The tape as text and as pictures, down the page and along it, and its
// length and time. No clock: the same bytes give the same pictures.
#include "tapeview.h"

#include "eia_code.h"
#include "svg.h"
#include "tape_row.h"
#include "timing.h"

#include <cstdio>

namespace {

// The byte as SVG text: escaped, empty when it is not printable.
const char* XmlChar(unsigned char byte, char* text)
{
    switch (byte) {
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '&': return "&amp;";
    }
    text[0] = Printable(byte) ? static_cast<char>(byte) : '\0';
    text[1] = '\0';
    return text;
}

// A count with thousands separated by commas, as people read it.
const char* Grouped(unsigned long number, char* text)
{
    char digits[32];
    const int length = std::snprintf(digits, sizeof digits, "%lu", number);
    char* out = text;
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0)
            *out++ = ',';
        *out++ = digits[i];
    }
    *out = '\0';
    return text;
}

void Hole(TextBuffer& svg, double x, double y, double radius, const char* attributes)
{
    AppendF(svg, "<circle%s cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#2a2a2a\"/>\n", attributes,
            x, y, radius);
}

} // namespace

const char* TapeLength(unsigned long rows, char* text, std::size_t size)
{
    // Ten rows to the inch; the time at this program's pace on the punch,
    // to a tenth of a second under a minute, else to the second.
    const unsigned long feet = rows / ROWS_PER_FOOT, tenths = rows % ROWS_PER_FOOT;
    const double seconds = rows * ROW_MS / 1000;
    const unsigned long whole = static_cast<unsigned long>(seconds + 0.5);
    char grouped[32], length[48], time[48];
    int at = 0;
    if (feet)
        at = std::snprintf(length, sizeof length, "%lu ft", feet);
    if (tenths % 10)
        std::snprintf(length + at, sizeof length - at, "%s%lu.%lu in", feet ? " " : "",
                      tenths / 10, tenths % 10);
    else if (tenths || !feet)
        std::snprintf(length + at, sizeof length - at, "%s%lu in", feet ? " " : "", tenths / 10);
    if (whole >= 60)
        std::snprintf(time, sizeof time, "%lu min %lu s", whole / 60, whole % 60);
    else
        std::snprintf(time, sizeof time, "%.1f s", seconds);
    std::snprintf(text, size, "%s rows: %s, %.2f m, %s to punch at %.1f ms a row",
                  Grouped(rows, grouped), length, rows * METRES_PER_ROW, time, ROW_MS);
    return text;
}

// The character column of an EIA tape: "?" for a row that is no EIA
// character, a hole too many or too few.
const char* EiaShown(unsigned char row, char* text)
{
    const int character = EiaCharacter(row);
    switch (character) {
    case EIA_NONE: return "?";
    case '\n': return "EOB";
    case '\t': return "TAB";
    case 0x7F: return "DEL";
    }
    text[0] = static_cast<char>(character);  // blank tape shows nothing
    text[1] = '\0';
    return text;
}

void TapeText(TextBuffer& text, const unsigned char* bytes, std::size_t size, std::size_t from,
              std::size_t rows, bool eia)
{
    char length[128];
    AppendF(text, "%s.\nO = hole, . = feed hole; channel 8 (bit 7) left, 1 (bit 0) right\n%s",
            TapeLength(size, length, sizeof length),
            eia ? "chr: EIA RS-244, EOB = end of block; ? = no EIA character\n" : "");
    char row[40], shown[2];
    Append(text, row, TapeRowHeader(row, sizeof row));
    for (std::size_t i = from; i < size && i - from < rows; ++i)
        Append(text, row, TapeRowText(static_cast<unsigned long>(i), bytes[i], row, sizeof row,
                                      eia ? EiaShown(bytes[i], shown) : nullptr));
}

namespace {

// Down the page, one-inch tape at 200 px to the inch: rows and tracks 0.1
// inch apart, data holes 0.072 inch and feed holes 0.046 inch across.
constexpr double DOWN_PITCH = 20, DOWN_HOLE = 7.2, DOWN_FEED = 4.6, DOWN_WIDTH = 200;
constexpr double DOWN_LEFT = 70, DOWN_RIGHT = DOWN_LEFT + DOWN_WIDTH, DOWN_TOP = 100;
constexpr double HEX_X = DOWN_RIGHT + 28, CHAR_X = DOWN_RIGHT + 62, LEGEND_X = DOWN_RIGHT + 100;
constexpr double CHANNEL_Y = 74, BIT_Y = 90;

double DownTrackX(int track)
{
    return DOWN_LEFT + DOWN_PITCH * (track + 1);
}

// Each track's channel and bit above the tape, and the columns beside it.
void DrawDownHeadings(TextBuffer& svg)
{
    Text(svg, DOWN_LEFT - 8, CHANNEL_Y, RIGHT_ALIGNED, "channel");
    Text(svg, DOWN_LEFT - 8, BIT_Y, RIGHT_ALIGNED, "bit");
    for (int track = 0; track < TRACK_COUNT; ++track) {
        const int bit = TRACKS[track];
        if (bit == FEED)
            continue;
        Number(svg, DownTrackX(track), CHANNEL_Y, " text-anchor=\"middle\" font-weight=\"bold\"",
               bit + 1);
        Number(svg, DownTrackX(track), BIT_Y, " text-anchor=\"middle\" fill=\"#666\"", bit);
    }
    AppendF(svg, "<g font-family=\"monospace\" fill=\"#666\">\n");
    Text(svg, HEX_X, BIT_Y, CENTRED, "hex");
    Text(svg, CHAR_X, BIT_Y, CENTRED, "chr");
    AppendF(svg, "</g>\n");
}

// The strip down to bottom; a cut tape ends in a torn edge.
void DrawDownStrip(TextBuffer& svg, double bottom, bool cut)
{
    AppendF(svg,
            "<path fill=\"#f3e7c4\" stroke=\"#b8a46a\" stroke-width=\"1.5\" d=\"M%.1f %.1f H%.1f"
            " V%.1f",
            DOWN_LEFT, DOWN_TOP, DOWN_RIGHT, bottom);
    if (cut)
        for (int tooth = 1; tooth <= 20; ++tooth)
            AppendF(svg, " L%.1f %.1f", DOWN_RIGHT - tooth * DOWN_WIDTH / 20,
                    bottom + (tooth % 2 ? 6 : 0));
    else
        AppendF(svg, " H%.1f", DOWN_LEFT);
    AppendF(svg, " Z\"/>\n");
}

// Each row's holes, with its offset, hex and character.
void DrawDownRows(TextBuffer& svg, const unsigned char* bytes, std::size_t rows)
{
    char text[8];
    AppendF(svg, "<g font-size=\"11\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        const unsigned char byte = bytes[row];
        const double y = DOWN_TOP + (row + 1) * DOWN_PITCH;
        for (int track = 0; track < TRACK_COUNT; ++track) {
            const int bit = TRACKS[track];
            if (bit == FEED)
                Hole(svg, DownTrackX(track), y, DOWN_FEED, " class=\"feed\"");
            else if (byte >> bit & 1)
                Hole(svg, DownTrackX(track), y, DOWN_HOLE, " class=\"hole\"");
        }
        Number(svg, DOWN_LEFT - 8, y + 4, " text-anchor=\"end\" fill=\"#888\"", row);
        Text(svg, HEX_X, y + 4, " text-anchor=\"middle\" font-family=\"monospace\"",
             Hex(byte, text));
        const char* ascii = XmlChar(byte, text);
        if (*ascii)
            Text(svg, CHAR_X, y + 4, " text-anchor=\"middle\" font-family=\"monospace\"", ascii);
    }
    AppendF(svg, "</g>\n");
}

void DrawHoleLegend(TextBuffer& svg)
{
    const double y = DOWN_TOP + 16;
    Hole(svg, LEGEND_X + 8, y, DOWN_HOLE, "");
    Text(svg, LEGEND_X + 24, y + 4, "", "hole: the bit is 1");
    Hole(svg, LEGEND_X + 8, y + 26, DOWN_FEED, "");
    Text(svg, LEGEND_X + 24, y + 30, "", "feed hole, in every row");
    Text(svg, LEGEND_X, y + 60, "", "Channel n carries bit n-1:");
    Text(svg, LEGEND_X, y + 76, "", "channel 8 (bit 7) on the left,");
    Text(svg, LEGEND_X, y + 92, "", "channel 1 (bit 0) on the right,");
    Text(svg, LEGEND_X, y + 108, "", "the feed holes between 3 and 4.");
}

// Along the page at 100 px to the inch, its start on the left, channel 8
// at the top edge: a tapeprep label reads as text.
constexpr double ALONG_PITCH = 10, ALONG_HOLE = 3.6, ALONG_FEED = 2.3, ALONG_HEIGHT = 100;
constexpr double ALONG_LEFT = 70, ALONG_TOP = 76, ALONG_BOTTOM = ALONG_TOP + ALONG_HEIGHT;

double AlongRowX(std::size_t row)
{
    return ALONG_LEFT + (row + 1) * ALONG_PITCH;
}

double AlongTrackY(int track)
{
    return ALONG_TOP + ALONG_PITCH * (track + 1);
}

// A torn edge at x, down the right end (direction 1) or up the left (-1).
void DrawTornEdge(TextBuffer& svg, double x, double direction)
{
    for (int tooth = 1; tooth <= 10; ++tooth)
        AppendF(svg, " L%.1f %.1f", x + (tooth % 2 ? direction * 5 : 0),
                ALONG_TOP + tooth * ALONG_HEIGHT / 10 * (direction > 0 ? 1 : -1)
                    + (direction > 0 ? 0 : ALONG_HEIGHT));
}

// The strip to right; a tape that goes on beyond the picture ends in a torn
// edge.
void DrawAlongStrip(TextBuffer& svg, double right, bool cutBefore, bool cutAfter)
{
    AppendF(svg,
            "<path fill=\"#f3e7c4\" stroke=\"#b8a46a\" stroke-width=\"1.5\" d=\"M%.1f %.1f H%.1f",
            ALONG_LEFT, ALONG_TOP, right);
    if (cutAfter)
        DrawTornEdge(svg, right, 1);
    else
        AppendF(svg, " V%.1f", ALONG_BOTTOM);
    AppendF(svg, " H%.1f", ALONG_LEFT);
    if (cutBefore)
        DrawTornEdge(svg, ALONG_LEFT, -1);
    AppendF(svg, " Z\"/>\n");
}

// The holes, and row numbers every ten rows counted from the file's first
// byte.
void DrawAlongRows(TextBuffer& svg, const unsigned char* bytes, std::size_t from, std::size_t rows)
{
    AppendF(svg, "<g fill=\"#2a2a2a\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        const unsigned char byte = bytes[from + row];
        for (int track = 0; track < TRACK_COUNT; ++track) {
            const int bit = TRACKS[track];
            if (bit == FEED || byte >> bit & 1)
                AppendF(svg, "<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>\n",
                        bit == FEED ? "feed" : "hole", AlongRowX(row), AlongTrackY(track),
                        bit == FEED ? ALONG_FEED : ALONG_HOLE);
        }
    }
    AppendF(svg, "</g>\n");
    AppendF(svg, "<g font-size=\"9\" fill=\"#888\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        if ((from + row) % 10 != 0)
            continue;
        Line(svg, AlongRowX(row), ALONG_BOTTOM + 2, AlongRowX(row), ALONG_BOTTOM + 8,
             " stroke=\"#888\"");
        Number(svg, AlongRowX(row), ALONG_BOTTOM + 20, CENTRED, from + row);
    }
    AppendF(svg, "</g>\n");
}

} // namespace

void TapeSvg(TextBuffer& svg, const unsigned char* bytes, std::size_t size, std::size_t maxRows)
{
    const std::size_t rows = Min(size, maxRows);
    const bool cut = rows < size;
    const double bottom = DOWN_TOP + (rows + 1) * DOWN_PITCH;
    // The legend is taller than a short tape.
    StartSvg(svg, LEGEND_X + 210, Max(bottom + (cut ? 50 : 24), DOWN_TOP + 140));
    char length[128];
    AppendF(svg, "<text x=\"16\" y=\"26\"%s>Tape, %s</text>\n", TITLE,
            TapeLength(size, length, sizeof length));
    Text(svg, 16, 46, NOTE,
         "One row per byte, the first punched at the top, with its offset, hex and ASCII.");
    DrawDownHeadings(svg);
    DrawDownStrip(svg, bottom, cut);
    DrawDownRows(svg, bytes, rows);
    if (cut)
        AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>First %lu bytes shown, %lu more bytes not"
                     " drawn.</text>\n",
                DOWN_LEFT, bottom + 34, NOTE, static_cast<unsigned long>(rows),
                static_cast<unsigned long>(size - rows));
    DrawHoleLegend(svg);
    AppendF(svg, "</svg>\n");
}

void StripSvg(TextBuffer& svg, const unsigned char* bytes, std::size_t size, std::size_t from,
              std::size_t maxRows)
{
    from = Min(from, size);
    const std::size_t rows = Min(size - from, maxRows);
    const bool cutBefore = from > 0, cutAfter = from + rows < size;
    const double right = ALONG_LEFT + (rows + 1) * ALONG_PITCH;
    StartSvg(svg, Max(right + 30, 560.0), ALONG_BOTTOM + 56);
    char length[128];
    AppendF(svg, "<text x=\"16\" y=\"26\"%s>Tape, %s", TITLE,
            TapeLength(size, length, sizeof length));
    if (cutBefore || cutAfter)
        AppendF(svg, "; rows %lu to %lu", static_cast<unsigned long>(from),
                static_cast<unsigned long>(from + rows - 1));
    AppendF(svg, "</text>\n");
    Text(svg, 16, 46, NOTE,
         "The start on the left, channel 8 at the top, channel 1 at the bottom; "
         "the feed holes between 4 and 3.");
    for (int track = 0; track < TRACK_COUNT; ++track)
        if (TRACKS[track] != FEED)
            Number(svg, ALONG_LEFT - 10, AlongTrackY(track) + 4,
                   " text-anchor=\"end\" font-size=\"9\"", TRACKS[track] + 1);
    DrawAlongStrip(svg, right, cutBefore, cutAfter);
    DrawAlongRows(svg, bytes, from, rows);
    if (cutAfter)
        AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>%lu more bytes not drawn.</text>\n",
                ALONG_LEFT, ALONG_BOTTOM + 44, NOTE, static_cast<unsigned long>(size - from - rows));
    AppendF(svg, "</svg>\n");
}
