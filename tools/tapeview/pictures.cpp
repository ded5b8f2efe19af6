// The pictures: the tape as text and as SVG, and the timing diagram of a
// handshake. Fixed number formats and no clock: the same input gives the same
// bytes out.
#include "tapeview.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

// Across the tape from the left edge, as both pictures draw it: channels 8
// to 4, the feed hole, channels 3 to 1. Channel n carries bit n-1, so a row
// reads like the byte in binary.
constexpr int FEED = -1;
constexpr int TRACKS[] = {7, 6, 5, 4, 3, FEED, 2, 1, 0};

void Add(std::string& out, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

void Add(std::string& out, const char* format, ...)
{
    va_list args;
    va_list again;
    va_start(args, format);
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    const std::size_t at = out.size();
    out.resize(at + length + 1);
    std::vsnprintf(&out[at], length + 1, format, again);
    out.resize(at + length);
    va_end(again);
    va_end(args);
}

std::string Hex(unsigned byte)
{
    std::string text;
    Add(text, "%02X", byte);
    return text;
}

bool Printable(unsigned char byte)
{
    return byte >= 0x20 && byte < 0x7F;
}

// The byte as SVG text: escaped, empty when it is not printable.
std::string XmlChar(unsigned char byte)
{
    switch (byte) {
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '&': return "&amp;";
    default: return Printable(byte) ? std::string(1, static_cast<char>(byte)) : "";
    }
}

// ---- SVG elements; attributes start with a space ----

void StartSvg(std::string& svg, double width, double height)
{
    Add(svg,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%.0f\" height=\"%.0f\""
        " viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#222\">\n"
        "<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n",
        width, height, width, height);
}

// The text must already be escaped.
void Text(std::string& svg, double x, double y, const char* attributes, const std::string& text)
{
    Add(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>%s</text>\n", x, y, attributes, text.c_str());
}

void Line(std::string& svg, double x1, double y1, double x2, double y2, const char* attributes)
{
    Add(svg, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"%s/>\n", x1, y1, x2, y2,
        attributes);
}

const char CENTRED[] = " text-anchor=\"middle\"";
const char RIGHT_ALIGNED[] = " text-anchor=\"end\"";
const char TITLE[] = " font-size=\"16\" font-weight=\"bold\"";
const char NOTE[] = " fill=\"#555\"";

} // namespace

// ---- The tape ---------------------------------------------------------------

std::string TapeTextHeader()
{
    std::string channels;
    for (int bit : TRACKS)
        channels += bit == FEED ? ' ' : static_cast<char>('1' + bit);
    return "offset  " + channels + "  hex chr\n";
}

std::string TapeTextRow(unsigned long offset, unsigned char byte)
{
    std::string holes;
    for (int bit : TRACKS)
        holes += bit == FEED ? '.' : (byte >> bit & 1) ? 'O' : ' ';
    std::string row;
    Add(row, "%6lu |%s|  %02X", offset, holes.c_str(), byte);
    if (Printable(byte))
        Add(row, "  %c", byte);
    return row + '\n';
}

std::string TapeText(const std::string& punched)
{
    std::string text;
    Add(text,
        "%lu bytes. O = hole, . = feed hole; channel 8 (bit 7) on the left ... channel 1"
        " (bit 0) on the right\n",
        static_cast<unsigned long>(punched.size()));
    text += TapeTextHeader();
    unsigned long offset = 0;
    for (unsigned char byte : punched)
        text += TapeTextRow(offset++, byte);
    return text;
}

std::string TapeSvg(const std::string& punched, std::size_t maxRows)
{
    // One-inch tape at 200 px to the inch: rows and tracks 0.1 inch apart,
    // data holes 0.072 inch and feed holes 0.046 inch across.
    const double pitch = 20, holeRadius = 7.2, feedRadius = 4.6, tapeWidth = 200;
    const double tapeLeft = 70, tapeRight = tapeLeft + tapeWidth, tapeTop = 100;
    const double hexX = tapeRight + 28, charX = tapeRight + 62, legendX = tapeRight + 100;
    const double channelY = 74, bitY = 90;

    const std::size_t rows = std::min(punched.size(), maxRows);
    const bool cut = rows < punched.size();
    const double tapeBottom = tapeTop + (rows + 1) * pitch;
    // The legend is taller than a short tape.
    const double width = legendX + 210;
    const double height = std::max(tapeBottom + (cut ? 50 : 24), tapeTop + 140);
    auto trackX = [&](std::size_t track) { return tapeLeft + pitch * (track + 1); };
    auto hole = [](std::string& svg, double x, double y, double radius, const char* attributes) {
        Add(svg, "<circle%s cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#2a2a2a\"/>\n", attributes, x,
            y, radius);
    };

    std::string svg;
    StartSvg(svg, width, height);
    Text(svg, 16, 26, TITLE, "Tape, " + std::to_string(punched.size()) + " bytes");
    Text(svg, 16, 46, NOTE,
         "One row per byte, the first punched at the top, with its offset, hex and ASCII.");

    Text(svg, tapeLeft - 8, channelY, RIGHT_ALIGNED, "channel");
    Text(svg, tapeLeft - 8, bitY, RIGHT_ALIGNED, "bit");
    for (std::size_t track = 0; track < std::size(TRACKS); ++track) {
        const int bit = TRACKS[track];
        if (bit == FEED)
            continue;
        Text(svg, trackX(track), channelY, " text-anchor=\"middle\" font-weight=\"bold\"",
             std::to_string(bit + 1));
        Text(svg, trackX(track), bitY, " text-anchor=\"middle\" fill=\"#666\"",
             std::to_string(bit));
    }
    Add(svg, "<g font-family=\"monospace\" fill=\"#666\">\n");
    Text(svg, hexX, bitY, CENTRED, "hex");
    Text(svg, charX, bitY, CENTRED, "chr");
    Add(svg, "</g>\n");

    // The strip; a cut tape ends in a torn edge.
    Add(svg,
        "<path fill=\"#f3e7c4\" stroke=\"#b8a46a\" stroke-width=\"1.5\" d=\"M%.1f %.1f H%.1f V%.1f",
        tapeLeft, tapeTop, tapeRight, tapeBottom);
    if (cut)
        for (int tooth = 1; tooth <= 20; ++tooth)
            Add(svg, " L%.1f %.1f", tapeRight - tooth * tapeWidth / 20,
                tapeBottom + (tooth % 2 ? 6 : 0));
    else
        Add(svg, " H%.1f", tapeLeft);
    Add(svg, " Z\"/>\n");

    Add(svg, "<g font-size=\"11\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        const unsigned char byte = static_cast<unsigned char>(punched[row]);
        const double y = tapeTop + (row + 1) * pitch;
        for (std::size_t track = 0; track < std::size(TRACKS); ++track) {
            const int bit = TRACKS[track];
            if (bit == FEED)
                hole(svg, trackX(track), y, feedRadius, " class=\"feed\"");
            else if (byte >> bit & 1)
                hole(svg, trackX(track), y, holeRadius, " class=\"hole\"");
        }
        Text(svg, tapeLeft - 8, y + 4, " text-anchor=\"end\" fill=\"#888\"", std::to_string(row));
        Text(svg, hexX, y + 4, " text-anchor=\"middle\" font-family=\"monospace\"", Hex(byte));
        const std::string ascii = XmlChar(byte);
        if (!ascii.empty())
            Text(svg, charX, y + 4, " text-anchor=\"middle\" font-family=\"monospace\"", ascii);
    }
    Add(svg, "</g>\n");
    if (cut)
        Text(svg, tapeLeft, tapeBottom + 34, NOTE,
             "First " + std::to_string(rows) + " bytes shown, " +
                 std::to_string(punched.size() - rows) + " more bytes not drawn.");

    const double y = tapeTop + 16;
    hole(svg, legendX + 8, y, holeRadius, "");
    Text(svg, legendX + 24, y + 4, "", "hole: the bit is 1");
    hole(svg, legendX + 8, y + 26, feedRadius, "");
    Text(svg, legendX + 24, y + 30, "", "feed hole, in every row");
    Text(svg, legendX, y + 60, "", "Channel n carries bit n-1:");
    Text(svg, legendX, y + 76, "", "channel 8 (bit 7) on the left,");
    Text(svg, legendX, y + 92, "", "channel 1 (bit 0) on the right,");
    Text(svg, legendX, y + 108, "", "the feed holes between 3 and 4.");
    Add(svg, "</svg>\n");
    return svg;
}

std::string StripSvg(const std::string& bytes, std::size_t from, std::size_t maxRows)
{
    // The tape lying along the page at 100 px to the inch, its start on the
    // left, channel 8 at the top edge: a tapeprep label reads as text.
    const double pitch = 10, holeRadius = 3.6, feedRadius = 2.3, tapeHeight = 100;
    const double tapeLeft = 70, tapeTop = 76;
    const double tapeBottom = tapeTop + tapeHeight;

    from = std::min(from, bytes.size());
    const std::size_t rows = std::min(bytes.size() - from, maxRows);
    const bool cutBefore = from > 0, cutAfter = from + rows < bytes.size();
    const double tapeRight = tapeLeft + (rows + 1) * pitch;
    const double width = std::max(tapeRight + 30, 560.0);
    const double height = tapeBottom + 56;
    auto rowX = [&](std::size_t row) { return tapeLeft + (row + 1) * pitch; };
    auto trackY = [&](std::size_t track) { return tapeTop + pitch * (track + 1); };

    std::string svg;
    StartSvg(svg, width, height);
    std::string title = "Tape, " + std::to_string(bytes.size()) + " bytes";
    if (cutBefore || cutAfter)
        title += ", rows " + std::to_string(from) + " to " + std::to_string(from + rows - 1);
    Text(svg, 16, 26, TITLE, title);
    Text(svg, 16, 46, NOTE,
         "The start on the left, channel 8 at the top, channel 1 at the bottom; "
         "the feed holes between 4 and 3.");

    for (std::size_t track = 0; track < std::size(TRACKS); ++track)
        if (TRACKS[track] != FEED)
            Text(svg, tapeLeft - 10, trackY(track) + 4, " text-anchor=\"end\" font-size=\"9\"",
                 std::to_string(TRACKS[track] + 1));

    // The strip; a tape that goes on beyond the picture ends in a torn edge.
    auto torn = [&](double x, double direction) {
        for (int tooth = 1; tooth <= 10; ++tooth)
            Add(svg, " L%.1f %.1f", x + (tooth % 2 ? direction * 5 : 0),
                tapeTop + tooth * tapeHeight / 10 * (direction > 0 ? 1 : -1)
                    + (direction > 0 ? 0 : tapeHeight));
    };
    Add(svg,
        "<path fill=\"#f3e7c4\" stroke=\"#b8a46a\" stroke-width=\"1.5\" d=\"M%.1f %.1f H%.1f",
        tapeLeft, tapeTop, tapeRight);
    if (cutAfter)
        torn(tapeRight, 1);
    else
        Add(svg, " V%.1f", tapeBottom);
    Add(svg, " H%.1f", tapeLeft);
    if (cutBefore)
        torn(tapeLeft, -1);
    Add(svg, " Z\"/>\n");

    Add(svg, "<g fill=\"#2a2a2a\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        const unsigned char byte = static_cast<unsigned char>(bytes[from + row]);
        for (std::size_t track = 0; track < std::size(TRACKS); ++track) {
            const int bit = TRACKS[track];
            if (bit == FEED || byte >> bit & 1)
                Add(svg, "<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>\n",
                    bit == FEED ? "feed" : "hole", rowX(row), trackY(track),
                    bit == FEED ? feedRadius : holeRadius);
        }
    }
    Add(svg, "</g>\n");

    // Row numbers every ten rows, counted from the file's first byte.
    Add(svg, "<g font-size=\"9\" fill=\"#888\">\n");
    for (std::size_t row = 0; row < rows; ++row) {
        if ((from + row) % 10 != 0)
            continue;
        Line(svg, rowX(row), tapeBottom + 2, rowX(row), tapeBottom + 8, " stroke=\"#888\"");
        Text(svg, rowX(row), tapeBottom + 20, CENTRED, std::to_string(from + row));
    }
    Add(svg, "</g>\n");
    if (cutAfter)
        Text(svg, tapeLeft, tapeBottom + 44, NOTE,
             std::to_string(bytes.size() - from - rows) + " more bytes not drawn.");
    Add(svg, "</svg>\n");
    return svg;
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

// The signal's segments within [from, to], in microseconds.
std::vector<Segment> Segments(const std::vector<Step>& steps, double from, double to)
{
    std::vector<Segment> segments;
    Segment current = {from, to, 0, false};
    for (const Step& step : steps) {
        const double at = static_cast<double>(step.micros);
        if (at >= to)
            break;
        if (at > from) {
            current.to = at;
            segments.push_back(current);
            current.from = at;
        }
        current.value = step.value;
        current.known = true;
    }
    current.to = to;
    segments.push_back(current);
    return segments;
}

struct TimeAxis {
    double from;  // microseconds at the plot's left edge
    double to;
    double left;  // x of the plot's left edge
    double pixelsPerMicro;
};

double X(const TimeAxis& axis, double micros)
{
    return axis.left + (micros - axis.from) * axis.pixelsPerMicro;
}

// "12.6", or "-" when the trace lacks one end of the pause.
std::string PauseText(unsigned long long from, unsigned long long to)
{
    if (from == NO_TIME || to == NO_TIME)
        return "-";
    std::string text;
    Add(text, "%.1f", (static_cast<double>(to) - static_cast<double>(from)) / 1000);
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

void DrawLevels(std::string& svg, const std::vector<Step>& steps, const TimeAxis& axis,
                double high, double low)
{
    std::string path;
    for (const Segment& segment : Segments(steps, axis.from, axis.to)) {
        if (!segment.known) {
            const double middle = (high + low) / 2;
            Line(svg, X(axis, segment.from), middle, X(axis, segment.to), middle, UNKNOWN);
            continue;
        }
        // Only the start is unknown: once the path begins, each segment joins the last.
        const double y = segment.value ? high : low;
        Add(path, "%s%.1f %.1f H%.1f ", path.empty() ? "M" : "L", X(axis, segment.from), y,
            X(axis, segment.to));
    }
    if (!path.empty())
        Add(svg, "<path d=\"%s\" fill=\"none\"%s stroke-width=\"2\"/>\n", path.c_str(), SIGNAL);
}

void DrawBus(std::string& svg, const std::vector<Step>& steps, const TimeAxis& axis)
{
    const double middle = (BUS_TOP + BUS_BOTTOM) / 2;
    for (const Segment& segment : Segments(steps, axis.from, axis.to)) {
        const double left = X(axis, segment.from), right = X(axis, segment.to);
        // Values change with a crossing; the plot's edges cut a segment straight.
        const double slant = std::min(3.0, (right - left) / 2);
        const double leftSlant = segment.from > axis.from ? slant : 0;
        const double rightSlant = segment.to < axis.to ? slant : 0;
        Add(svg,
            "<polygon points=\"%.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f\""
            " fill=\"%s\" stroke-width=\"1.5\"%s/>\n",
            left, middle, left + leftSlant, BUS_TOP, right - rightSlant, BUS_TOP, right, middle,
            right - rightSlant, BUS_BOTTOM, left + leftSlant, BUS_BOTTOM,
            segment.known ? "#e3edf9" : "#f4f4f4", segment.known ? SIGNAL : UNKNOWN);
        // Two hex digits need about 20 px.
        if (segment.known && right - left >= 22)
            Text(svg, (left + right) / 2, middle + 4,
                 " text-anchor=\"middle\" font-family=\"monospace\" font-weight=\"bold\"",
                 Hex(segment.value));
    }
}

// A dimension line over the pause, with guides down to the signal it measures.
void DrawPause(std::string& svg, const TimeAxis& axis, unsigned long long from,
               unsigned long long to, double y, double signalTop, const char* colour)
{
    const double left = X(axis, static_cast<double>(from));
    const double right = X(axis, static_cast<double>(to));
    Add(svg, "<g stroke=\"%s\">\n", colour);
    Add(svg, "<path d=\"M%.1f %.1f V%.1f M%.1f %.1f V%.1f\" stroke-dasharray=\"2 2\"/>\n", left,
        y + 5, signalTop, right, y + 5, signalTop);
    Add(svg,
        "<path d=\"M%.1f %.1f V%.1f M%.1f %.1f V%.1f M%.1f %.1f H%.1f\" stroke-width=\"1.5\"/>\n",
        left, y - 5, y + 5, right, y - 5, y + 5, left, y, right);
    Add(svg, "</g>\n");
    std::string attributes;
    Add(attributes, " text-anchor=\"middle\" font-weight=\"bold\" fill=\"%s\"", colour);
    Text(svg, (left + right) / 2, y - 8, attributes.c_str(), PauseText(from, to) + " ms");
}

// 1, 2 or 5 times a power of ten, so that about ten ticks span the plot.
double TickStep(double spanMs)
{
    const double rough = spanMs / 10;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * power >= rough)
            return factor * power;
    return 10 * power;
}

void DrawTimeAxis(std::string& svg, const TimeAxis& axis)
{
    const double step = TickStep((axis.to - axis.from) / 1000);
    Line(svg, X(axis, axis.from), AXIS_Y, X(axis, axis.to), AXIS_Y, " stroke=\"#444\"");
    for (double tick = std::ceil(axis.from / 1000 / step); tick * step <= axis.to / 1000; ++tick) {
        const double x = X(axis, tick * step * 1000);
        Line(svg, x, LATCH_PAUSE_Y - 20, x, AXIS_Y, " stroke=\"#eee\"");
        Line(svg, x, AXIS_Y, x, AXIS_Y + 5, " stroke=\"#444\"");
        std::string label;
        Add(label, "%g", tick * step);
        Text(svg, x, AXIS_Y + 18, " text-anchor=\"middle\" font-size=\"11\"", label);
    }
    Text(svg, (X(axis, axis.from) + X(axis, axis.to)) / 2, AXIS_Y + 38,
         " text-anchor=\"middle\" fill=\"#555\"", "time in ms since the trace began");
}

void DrawRowLabel(std::string& svg, double y, const char* name, const char* detail)
{
    Text(svg, 16, y - 2, " font-weight=\"bold\"", name);
    Text(svg, 16, y + 12, " font-size=\"11\" fill=\"#666\"", detail);
}

void DrawLevelNames(std::string& svg, double x, double high, double low)
{
    const char attributes[] = " text-anchor=\"end\" font-size=\"10\" fill=\"#888\"";
    Text(svg, x, high + 4, attributes, "H");
    Text(svg, x, low + 4, attributes, "L");
}

} // namespace

std::string TimingSvg(const Handshake& handshake, std::size_t byteCount)
{
    const std::size_t count = std::min(byteCount, handshake.bytes.size());
    const PunchedByte& last = handshake.bytes[count - 1];
    // From the first access to the port to the rest after the last byte drawn.
    unsigned long long first = last.latchAt;
    for (const std::vector<Step>* steps : {&handshake.strobe, &handshake.data, &handshake.busy})
        if (!steps->empty())
            first = std::min(first, steps->front().micros);
    const unsigned long long end = last.restAt != NO_TIME ? last.restAt : last.latchAt;
    const double margin = std::max(200.0, 0.03 * static_cast<double>(end - first));
    TimeAxis axis = {std::max(0.0, static_cast<double>(first) - margin),
                     static_cast<double>(end) + margin, 170, 0};
    // At least 12 px per ms keeps each pause's label clear of the next one.
    const double plotWidth = std::max(900.0, 12 * (axis.to - axis.from) / 1000);
    axis.pixelsPerMicro = plotWidth / (axis.to - axis.from);

    std::string svg;
    StartSvg(svg, axis.left + plotWidth + 30, AXIS_Y + 56);
    std::string title;
    Add(title, "Punch handshake on port %03X: the first %lu of %lu bytes", handshake.base,
        static_cast<unsigned long>(count), static_cast<unsigned long>(handshake.bytes.size()));
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

    DrawLevels(svg, handshake.strobe, axis, STROBE_HIGH, STROBE_LOW);
    DrawBus(svg, handshake.data, axis);
    DrawLevels(svg, handshake.busy, axis, BUSY_HIGH, BUSY_LOW);
    for (const Step& read : handshake.busy)
        if (read.micros >= axis.from && read.micros <= axis.to)
            Line(svg, X(axis, read.micros), BUSY_LOW + 4, X(axis, read.micros), BUSY_LOW + 10,
                 SIGNAL);

    for (std::size_t index = 0; index < count; ++index) {
        const PunchedByte& byte = handshake.bytes[index];
        if (byte.blankAt != NO_TIME)
            DrawPause(svg, axis, byte.blankAt, byte.byteAt, BLANK_PAUSE_Y, BUS_TOP, "#b0392b");
        if (byte.restAt != NO_TIME)
            DrawPause(svg, axis, byte.latchAt, byte.restAt, LATCH_PAUSE_Y, STROBE_HIGH, "#7b3294");
    }
    Add(svg, "</svg>\n");
    return svg;
}

std::string TimingSummary(const Handshake& handshake, std::size_t byteCount)
{
    const std::size_t count = std::min(byteCount, handshake.bytes.size());
    std::string blank;
    std::string rest;
    for (std::size_t index = 0; index < count; ++index) {
        const PunchedByte& byte = handshake.bytes[index];
        blank += " " + PauseText(byte.blankAt, byte.byteAt);
        rest += " " + PauseText(byte.latchAt, byte.restAt);
    }
    std::string summary;
    Add(summary, "port %03X: %lu of %lu bytes drawn; data FF to the byte (ms):%s; control 00 to"
                 " next 01 (ms):%s",
        handshake.base, static_cast<unsigned long>(count),
        static_cast<unsigned long>(handshake.bytes.size()), blank.c_str(), rest.c_str());
    return summary;
}
