// The pictures: the tape as text and as SVG, its length and time, and the
// timing diagram of a handshake. Fixed number formats and no clock: the same
// input gives the same bytes out.
#include "tapeview.h"

#include "eia_code.h"
#include "tape_row.h"
#include "timing.h"

#include <cmath>
#include <initializer_list>
#include <cstdio>
#include <cstdlib>

namespace {

template <typename T> T Min(T a, T b) { return a < b ? a : b; }
template <typename T> T Max(T a, T b) { return a < b ? b : a; }

const char* Hex(unsigned byte, char* text)
{
    std::snprintf(text, 4, "%02X", byte);
    return text;
}

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

// ---- SVG elements; attributes start with a space ----

void StartSvg(TextBuffer& svg, double width, double height)
{
    AppendF(svg,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%.0f\""
            " height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\""
            " font-size=\"12\" fill=\"#222\">\n"
            "<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n",
            width, height, width, height);
}

// The text must already be escaped.
void Text(TextBuffer& svg, double x, double y, const char* attributes, const char* text)
{
    AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>%s</text>\n", x, y, attributes, text);
}

void Number(TextBuffer& svg, double x, double y, const char* attributes, unsigned long n)
{
    AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>%lu</text>\n", x, y, attributes, n);
}

void Line(TextBuffer& svg, double x1, double y1, double x2, double y2, const char* attributes)
{
    AppendF(svg, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"%s/>\n", x1, y1, x2, y2,
            attributes);
}

const char CENTRED[] = " text-anchor=\"middle\"";
const char RIGHT_ALIGNED[] = " text-anchor=\"end\"";
const char TITLE[] = " font-size=\"16\" font-weight=\"bold\"";
const char NOTE[] = " fill=\"#555\"";

void Hole(TextBuffer& svg, double x, double y, double radius, const char* attributes)
{
    AppendF(svg, "<circle%s cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#2a2a2a\"/>\n", attributes,
            x, y, radius);
}

} // namespace

// ---- The tape ---------------------------------------------------------------

const char* TapeLength(unsigned long rows, char* text, std::size_t size)
{
    // Ten rows to the inch; the time at this program's pace on the punch,
    // to a tenth of a second under a minute, else to the second.
    const unsigned long feet = rows / 120, tenths = rows % 120;
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
                  Grouped(rows, grouped), length, rows * 0.00254, time, ROW_MS);
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

void TapeSvg(TextBuffer& svg, const unsigned char* bytes, std::size_t size, std::size_t maxRows)
{
    // One-inch tape at 200 px to the inch: rows and tracks 0.1 inch apart,
    // data holes 0.072 inch and feed holes 0.046 inch across.
    const double pitch = 20, holeRadius = 7.2, feedRadius = 4.6, tapeWidth = 200;
    const double tapeLeft = 70, tapeRight = tapeLeft + tapeWidth, tapeTop = 100;
    const double hexX = tapeRight + 28, charX = tapeRight + 62, legendX = tapeRight + 100;
    const double channelY = 74, bitY = 90;

    const std::size_t rows = Min(size, maxRows);
    const bool cut = rows < size;
    const double tapeBottom = tapeTop + (rows + 1) * pitch;
    // The legend is taller than a short tape.
    const double width = legendX + 210;
    const double height = Max(tapeBottom + (cut ? 50 : 24), tapeTop + 140);
    auto trackX = [&](std::size_t track) { return tapeLeft + pitch * (track + 1); };

    StartSvg(svg, width, height);
    char length[128], text[8];
    AppendF(svg, "<text x=\"16\" y=\"26\"%s>Tape, %s</text>\n", TITLE,
            TapeLength(size, length, sizeof length));
    Text(svg, 16, 46, NOTE,
         "One row per byte, the first punched at the top, with its offset, hex and ASCII.");

    Text(svg, tapeLeft - 8, channelY, RIGHT_ALIGNED, "channel");
    Text(svg, tapeLeft - 8, bitY, RIGHT_ALIGNED, "bit");
    for (int track = 0; track < TRACK_COUNT; ++track) {
        const int bit = TRACKS[track];
        if (bit == FEED)
            continue;
        Number(svg, trackX(track), channelY, " text-anchor=\"middle\" font-weight=\"bold\"",
               bit + 1);
        Number(svg, trackX(track), bitY, " text-anchor=\"middle\" fill=\"#666\"", bit);
    }
    AppendF(svg, "<g font-family=\"monospace\" fill=\"#666\">\n");
    Text(svg, hexX, bitY, CENTRED, "hex");
    Text(svg, charX, bitY, CENTRED, "chr");
    AppendF(svg, "</g>\n");

    // The strip; a cut tape ends in a torn edge.
    AppendF(svg,
            "<path fill=\"#f3e7c4\" stroke=\"#b8a46a\" stroke-width=\"1.5\" d=\"M%.1f %.1f H%.1f"
            " V%.1f",
            tapeLeft, tapeTop, tapeRight, tapeBottom);
    if (cut)
        for (int tooth = 1; tooth <= 20; ++tooth)
            AppendF(svg, " L%.1f %.1f", tapeRight - tooth * tapeWidth / 20,
                    tapeBottom + (tooth % 2 ? 6 : 0));
    else
        AppendF(svg, " H%.1f", tapeLeft);
    AppendF(svg, " Z\"/>\n");

    AppendF(svg, "<g font-size=\"11\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        const unsigned char byte = bytes[row];
        const double y = tapeTop + (row + 1) * pitch;
        for (int track = 0; track < TRACK_COUNT; ++track) {
            const int bit = TRACKS[track];
            if (bit == FEED)
                Hole(svg, trackX(track), y, feedRadius, " class=\"feed\"");
            else if (byte >> bit & 1)
                Hole(svg, trackX(track), y, holeRadius, " class=\"hole\"");
        }
        Number(svg, tapeLeft - 8, y + 4, " text-anchor=\"end\" fill=\"#888\"", row);
        Text(svg, hexX, y + 4, " text-anchor=\"middle\" font-family=\"monospace\"",
             Hex(byte, text));
        const char* ascii = XmlChar(byte, text);
        if (*ascii)
            Text(svg, charX, y + 4, " text-anchor=\"middle\" font-family=\"monospace\"", ascii);
    }
    AppendF(svg, "</g>\n");
    if (cut)
        AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>First %lu bytes shown, %lu more bytes not"
                     " drawn.</text>\n",
                tapeLeft, tapeBottom + 34, NOTE, static_cast<unsigned long>(rows),
                static_cast<unsigned long>(size - rows));

    const double y = tapeTop + 16;
    Hole(svg, legendX + 8, y, holeRadius, "");
    Text(svg, legendX + 24, y + 4, "", "hole: the bit is 1");
    Hole(svg, legendX + 8, y + 26, feedRadius, "");
    Text(svg, legendX + 24, y + 30, "", "feed hole, in every row");
    Text(svg, legendX, y + 60, "", "Channel n carries bit n-1:");
    Text(svg, legendX, y + 76, "", "channel 8 (bit 7) on the left,");
    Text(svg, legendX, y + 92, "", "channel 1 (bit 0) on the right,");
    Text(svg, legendX, y + 108, "", "the feed holes between 3 and 4.");
    AppendF(svg, "</svg>\n");
}

void StripSvg(TextBuffer& svg, const unsigned char* bytes, std::size_t size, std::size_t from,
              std::size_t maxRows)
{
    // The tape lying along the page at 100 px to the inch, its start on the
    // left, channel 8 at the top edge: a tapeprep label reads as text.
    const double pitch = 10, holeRadius = 3.6, feedRadius = 2.3, tapeHeight = 100;
    const double tapeLeft = 70, tapeTop = 76;
    const double tapeBottom = tapeTop + tapeHeight;

    from = Min(from, size);
    const std::size_t rows = Min(size - from, maxRows);
    const bool cutBefore = from > 0, cutAfter = from + rows < size;
    const double tapeRight = tapeLeft + (rows + 1) * pitch;
    const double width = Max(tapeRight + 30, 560.0);
    const double height = tapeBottom + 56;
    auto rowX = [&](std::size_t row) { return tapeLeft + (row + 1) * pitch; };
    auto trackY = [&](std::size_t track) { return tapeTop + pitch * (track + 1); };

    StartSvg(svg, width, height);
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
            Number(svg, tapeLeft - 10, trackY(track) + 4, " text-anchor=\"end\" font-size=\"9\"",
                   TRACKS[track] + 1);

    // The strip; a tape that goes on beyond the picture ends in a torn edge.
    auto torn = [&](double x, double direction) {
        for (int tooth = 1; tooth <= 10; ++tooth)
            AppendF(svg, " L%.1f %.1f", x + (tooth % 2 ? direction * 5 : 0),
                    tapeTop + tooth * tapeHeight / 10 * (direction > 0 ? 1 : -1)
                        + (direction > 0 ? 0 : tapeHeight));
    };
    AppendF(svg,
            "<path fill=\"#f3e7c4\" stroke=\"#b8a46a\" stroke-width=\"1.5\" d=\"M%.1f %.1f H%.1f",
            tapeLeft, tapeTop, tapeRight);
    if (cutAfter)
        torn(tapeRight, 1);
    else
        AppendF(svg, " V%.1f", tapeBottom);
    AppendF(svg, " H%.1f", tapeLeft);
    if (cutBefore)
        torn(tapeLeft, -1);
    AppendF(svg, " Z\"/>\n");

    AppendF(svg, "<g fill=\"#2a2a2a\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        const unsigned char byte = bytes[from + row];
        for (int track = 0; track < TRACK_COUNT; ++track) {
            const int bit = TRACKS[track];
            if (bit == FEED || byte >> bit & 1)
                AppendF(svg, "<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>\n",
                        bit == FEED ? "feed" : "hole", rowX(row), trackY(track),
                        bit == FEED ? feedRadius : holeRadius);
        }
    }
    AppendF(svg, "</g>\n");

    // Row numbers every ten rows, counted from the file's first byte.
    AppendF(svg, "<g font-size=\"9\" fill=\"#888\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        if ((from + row) % 10 != 0)
            continue;
        Line(svg, rowX(row), tapeBottom + 2, rowX(row), tapeBottom + 8, " stroke=\"#888\"");
        Number(svg, rowX(row), tapeBottom + 20, CENTRED, from + row);
    }
    AppendF(svg, "</g>\n");
    if (cutAfter)
        AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>%lu more bytes not drawn.</text>\n", tapeLeft,
                tapeBottom + 44, NOTE, static_cast<unsigned long>(size - from - rows));
    AppendF(svg, "</svg>\n");
}

// ---- The timing diagram -----------------------------------------------------

namespace {

// A stretch of time over which a signal holds one value; unknown before the
// trace first shows it.
struct Segment {
    double from;
    double to;
    unsigned value;
    bool known;
};

// The signal's segments within [from, to], in microseconds, into segments
// (room for one more than its values); returns how many.
std::size_t Segments(const Signal& signal, double from, double to, Segment* segments)
{
    std::size_t count = 0;
    Segment current = {from, to, 0, false};
    for (std::size_t i = 0; i < signal.count; ++i) {
        const double at = static_cast<double>(signal.items[i].micros);
        if (at >= to)
            break;
        if (at > from) {
            current.to = at;
            segments[count++] = current;
            current.from = at;
        }
        current.value = signal.items[i].value;
        current.known = true;
    }
    current.to = to;
    segments[count++] = current;
    return count;
}

struct TimeAxis {
    double from;  // microseconds at the plot's left edge
    double to;
    double left;  // x of the plot's left edge
    double pixelsPerMicro;
};

double TimeX(const TimeAxis& axis, double micros)
{
    return axis.left + (micros - axis.from) * axis.pixelsPerMicro;
}

// "12.6", or "-" when the trace lacks one end of the pause. Returns text.
const char* PauseText(unsigned long long from, unsigned long long to, char* text)
{
    if (from == NO_TIME || to == NO_TIME)
        return "-";
    std::snprintf(text, 16, "%.1f", (static_cast<double>(to) - static_cast<double>(from)) / 1000);
    return text;
}

// Rows of the diagram, top to bottom.
const double LATCH_PAUSE_Y = 80;
const double STROBE_HIGH = 100, STROBE_LOW = 130;
const double BLANK_PAUSE_Y = 165;
const double BUS_TOP = 185, BUS_BOTTOM = 215;
const double BUSY_HIGH = 245, BUSY_LOW = 275;
const double AXIS_Y = 300;

const char SIGNAL[] = " stroke=\"#1d4f91\"";
const char UNKNOWN[] = " stroke=\"#aaa\" stroke-dasharray=\"3 3\"";

void DrawLevels(TextBuffer& svg, const Signal& signal, const TimeAxis& axis, double high,
                double low, Segment* segments)
{
    TextBuffer path = {};
    const std::size_t count = Segments(signal, axis.from, axis.to, segments);
    for (std::size_t i = 0; i < count; ++i) {
        const Segment& segment = segments[i];
        if (!segment.known) {
            const double middle = (high + low) / 2;
            Line(svg, TimeX(axis, segment.from), middle, TimeX(axis, segment.to), middle, UNKNOWN);
            continue;
        }
        // Only the start is unknown: once the path begins, each segment joins the last.
        const double y = segment.value ? high : low;
        AppendF(path, "%s%.1f %.1f H%.1f ", path.length ? "L" : "M", TimeX(axis, segment.from), y,
                    TimeX(axis, segment.to));
    }
    if (path.length)
        AppendF(svg, "<path d=\"%s\" fill=\"none\"%s stroke-width=\"2\"/>\n", path.data, SIGNAL);
    svg.failed |= path.failed;
    FreeBuffer(path);
}

void DrawBus(TextBuffer& svg, const Signal& signal, const TimeAxis& axis, Segment* segments)
{
    const double middle = (BUS_TOP + BUS_BOTTOM) / 2;
    char hex[4];
    const std::size_t count = Segments(signal, axis.from, axis.to, segments);
    for (std::size_t i = 0; i < count; ++i) {
        const Segment& segment = segments[i];
        const double left = TimeX(axis, segment.from), right = TimeX(axis, segment.to);
        // Values change with a crossing; the plot's edges cut a segment straight.
        const double slant = Min(3.0, (right - left) / 2);
        const double leftSlant = segment.from > axis.from ? slant : 0;
        const double rightSlant = segment.to < axis.to ? slant : 0;
        AppendF(svg,
                "<polygon points=\"%.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f\""
                " fill=\"%s\" stroke-width=\"1.5\"%s/>\n",
                left, middle, left + leftSlant, BUS_TOP, right - rightSlant, BUS_TOP, right, middle,
                right - rightSlant, BUS_BOTTOM, left + leftSlant, BUS_BOTTOM,
                segment.known ? "#e3edf9" : "#f4f4f4", segment.known ? SIGNAL : UNKNOWN);
        // Two hex digits need about 20 px.
        if (segment.known && right - left >= 22)
            Text(svg, (left + right) / 2, middle + 4,
                 " text-anchor=\"middle\" font-family=\"monospace\" font-weight=\"bold\"",
                 Hex(segment.value, hex));
    }
}

// A dimension line over the pause, with guides down to the signal it measures.
void DrawPause(TextBuffer& svg, const TimeAxis& axis, unsigned long long from,
               unsigned long long to, double y, double signalTop, const char* colour)
{
    const double left = TimeX(axis, static_cast<double>(from));
    const double right = TimeX(axis, static_cast<double>(to));
    AppendF(svg, "<g stroke=\"%s\">\n", colour);
    AppendF(svg, "<path d=\"M%.1f %.1f V%.1f M%.1f %.1f V%.1f\" stroke-dasharray=\"2 2\"/>\n",
            left, y + 5, signalTop, right, y + 5, signalTop);
    AppendF(svg,
            "<path d=\"M%.1f %.1f V%.1f M%.1f %.1f V%.1f M%.1f %.1f H%.1f\""
            " stroke-width=\"1.5\"/>\n",
            left, y - 5, y + 5, right, y - 5, y + 5, left, y, right);
    AppendF(svg, "</g>\n");
    char pause[16];
    AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" font-weight=\"bold\""
                 " fill=\"%s\">%s ms</text>\n",
            (left + right) / 2, y - 8, colour, PauseText(from, to, pause));
}

// 1, 2 or 5 times a power of ten, so that about ten ticks span the plot.
double TickStep(double spanMs)
{
    const double rough = spanMs / 10;
    double power = 1;
    while (power > rough)
        power /= 10;
    while (power * 10 <= rough)
        power *= 10;
    for (const double factor : {1.0, 2.0, 5.0})
        if (factor * power >= rough)
            return factor * power;
    return 10 * power;
}

void DrawTimeAxis(TextBuffer& svg, const TimeAxis& axis)
{
    const double step = TickStep((axis.to - axis.from) / 1000);
    Line(svg, TimeX(axis, axis.from), AXIS_Y, TimeX(axis, axis.to), AXIS_Y, " stroke=\"#444\"");
    for (double tick = std::ceil(axis.from / 1000 / step); tick * step <= axis.to / 1000; ++tick) {
        const double x = TimeX(axis, tick * step * 1000);
        Line(svg, x, LATCH_PAUSE_Y - 20, x, AXIS_Y, " stroke=\"#eee\"");
        Line(svg, x, AXIS_Y, x, AXIS_Y + 5, " stroke=\"#444\"");
        char label[32];
        std::snprintf(label, sizeof label, "%g", tick * step);
        Text(svg, x, AXIS_Y + 18, " text-anchor=\"middle\" font-size=\"11\"", label);
    }
    Text(svg, (TimeX(axis, axis.from) + TimeX(axis, axis.to)) / 2, AXIS_Y + 38,
         " text-anchor=\"middle\" fill=\"#555\"", "time in ms since the trace began");
}

void DrawRowLabel(TextBuffer& svg, double y, const char* name, const char* detail)
{
    Text(svg, 16, y - 2, " font-weight=\"bold\"", name);
    Text(svg, 16, y + 12, " font-size=\"11\" fill=\"#666\"", detail);
}

void DrawLevelNames(TextBuffer& svg, double x, double high, double low)
{
    const char attributes[] = " text-anchor=\"end\" font-size=\"10\" fill=\"#888\"";
    Text(svg, x, high + 4, attributes, "H");
    Text(svg, x, low + 4, attributes, "L");
}

} // namespace

void TimingSvg(TextBuffer& svg, const Handshake& handshake, std::size_t byteCount)
{
    const std::size_t count = Min(byteCount, handshake.bytes.count);
    const PunchedByte& last = handshake.bytes.items[count - 1];
    // From the first access to the port to the rest after the last byte drawn.
    unsigned long long first = last.latchAt;
    for (const Signal* signal : {&handshake.strobe, &handshake.data, &handshake.busy})
        if (signal->count)
            first = Min(first, signal->items[0].micros);
    const unsigned long long end = last.restAt != NO_TIME ? last.restAt : last.latchAt;
    const double margin = Max(200.0, 0.03 * static_cast<double>(end - first));
    TimeAxis axis = {Max(0.0, static_cast<double>(first) - margin),
                     static_cast<double>(end) + margin, 170, 0};
    // At least 12 px per ms keeps each pause's label clear of the next one.
    const double plotWidth = Max(900.0, 12 * (axis.to - axis.from) / 1000);
    axis.pixelsPerMicro = plotWidth / (axis.to - axis.from);

    StartSvg(svg, axis.left + plotWidth + 30, AXIS_Y + 56);
    char title[96];
    std::snprintf(title, sizeof title, "Punch handshake on port %03X: the first %lu of %lu bytes",
                  handshake.base, static_cast<unsigned long>(count),
                  static_cast<unsigned long>(handshake.bytes.count));
    Text(svg, 16, 24, TITLE, title);
    Text(svg, 16, 44, NOTE,
         "Pin levels (H/L): control 01 drives STROBE low, status bit 7 set means BUSY low."
         " Ticks under BUSY are status reads; dashed: not yet known.");

    DrawTimeAxis(svg, axis);
    DrawRowLabel(svg, LATCH_PAUSE_Y, "1 ms pause", "control 00 to next 01");
    DrawRowLabel(svg, (STROBE_HIGH + STROBE_LOW) / 2, "STROBE", "pin 1, control bit 0");
    DrawRowLabel(svg, BLANK_PAUSE_Y, "12 ms pause", "data FF to the byte");
    DrawRowLabel(svg, (BUS_TOP + BUS_BOTTOM) / 2, "D0-D7", "pins 2-9, data");
    DrawRowLabel(svg, (BUSY_HIGH + BUSY_LOW) / 2, "BUSY", "pin 11, status bit 7");
    DrawLevelNames(svg, axis.left - 6, STROBE_HIGH, STROBE_LOW);
    DrawLevelNames(svg, axis.left - 6, BUSY_HIGH, BUSY_LOW);

    // Room for the segments of the signal with the most values.
    const std::size_t most =
        Max(handshake.strobe.count, Max(handshake.data.count, handshake.busy.count));
    Segment* segments = static_cast<Segment*>(std::malloc(sizeof(Segment) * (most + 1)));
    if (!segments) {
        svg.failed = true;
        return;
    }
    DrawLevels(svg, handshake.strobe, axis, STROBE_HIGH, STROBE_LOW, segments);
    DrawBus(svg, handshake.data, axis, segments);
    DrawLevels(svg, handshake.busy, axis, BUSY_HIGH, BUSY_LOW, segments);
    std::free(segments);
    for (std::size_t i = 0; i < handshake.busy.count; ++i) {
        const TimedValue& read = handshake.busy.items[i];
        const double x = TimeX(axis, read.micros);
        if (read.micros >= axis.from && read.micros <= axis.to)
            Line(svg, x, BUSY_LOW + 4, x, BUSY_LOW + 10, SIGNAL);
    }

    for (std::size_t index = 0; index < count; ++index) {
        const PunchedByte& byte = handshake.bytes.items[index];
        if (byte.blankAt != NO_TIME)
            DrawPause(svg, axis, byte.blankAt, byte.byteAt, BLANK_PAUSE_Y, BUS_TOP, "#b0392b");
        if (byte.restAt != NO_TIME)
            DrawPause(svg, axis, byte.latchAt, byte.restAt, LATCH_PAUSE_Y, STROBE_HIGH, "#7b3294");
    }
    AppendF(svg, "</svg>\n");
}

void TimingSummary(TextBuffer& summary, const Handshake& handshake, std::size_t byteCount)
{
    const std::size_t count = Min(byteCount, handshake.bytes.count);
    AppendF(summary, "port %03X: %lu of %lu bytes drawn; data FF to the byte (ms):",
            handshake.base, static_cast<unsigned long>(count),
            static_cast<unsigned long>(handshake.bytes.count));
    char pause[16];
    for (std::size_t index = 0; index < count; ++index) {
        const PunchedByte& byte = handshake.bytes.items[index];
        AppendF(summary, " %s", PauseText(byte.blankAt, byte.byteAt, pause));
    }
    AppendF(summary, "; control 00 to next 01 (ms):");
    for (std::size_t index = 0; index < count; ++index) {
        const PunchedByte& byte = handshake.bytes.items[index];
        AppendF(summary, " %s", PauseText(byte.latchAt, byte.restAt, pause));
    }
}
