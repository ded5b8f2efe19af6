// The timing diagram of a handshake read back from a trace: STROBE, the
// data lines and BUSY against time, with each byte's two pauses measured;
// and its summary in one line.
#include "tapeview.h"

#include "svg.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

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
    double width;  // of the plot
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

// From the first access to the port to the rest after the last byte drawn.
TimeAxis AxisFor(const Handshake& handshake, std::size_t count)
{
    const PunchedByte& last = handshake.bytes.items[count - 1];
    unsigned long long first = last.latchAt;
    for (const Signal* signal : {&handshake.strobe, &handshake.data, &handshake.busy})
        if (signal->count)
            first = Min(first, signal->items[0].micros);
    const unsigned long long end = last.restAt != NO_TIME ? last.restAt : last.latchAt;
    const double margin = Max(200.0, 0.03 * static_cast<double>(end - first));
    TimeAxis axis = {Max(0.0, static_cast<double>(first) - margin),
                     static_cast<double>(end) + margin, 170, 0, 0};
    // At least 12 px per ms keeps each pause's label clear of the next one.
    axis.width = Max(900.0, 12 * (axis.to - axis.from) / 1000);
    axis.pixelsPerMicro = axis.width / (axis.to - axis.from);
    return axis;
}

// The rows' names on the left, and the levels of the two lines.
void DrawRowNames(TextBuffer& svg, const TimeAxis& axis)
{
    DrawRowLabel(svg, LATCH_PAUSE_Y, "1 ms pause", "control 00 to next 01");
    DrawRowLabel(svg, (STROBE_HIGH + STROBE_LOW) / 2, "STROBE", "pin 1, control bit 0");
    DrawRowLabel(svg, BLANK_PAUSE_Y, "12 ms pause", "data FF to the byte");
    DrawRowLabel(svg, (BUS_TOP + BUS_BOTTOM) / 2, "D0-D7", "pins 2-9, data");
    DrawRowLabel(svg, (BUSY_HIGH + BUSY_LOW) / 2, "BUSY", "pin 11, status bit 7");
    DrawLevelNames(svg, axis.left - 6, STROBE_HIGH, STROBE_LOW);
    DrawLevelNames(svg, axis.left - 6, BUSY_HIGH, BUSY_LOW);
}

// STROBE, the data lines and BUSY with a tick for each status read; false
// when memory ran out.
bool DrawSignals(TextBuffer& svg, const Handshake& handshake, const TimeAxis& axis)
{
    // Room for the segments of the signal with the most values.
    const std::size_t most =
        Max(handshake.strobe.count, Max(handshake.data.count, handshake.busy.count));
    Segment* segments = static_cast<Segment*>(std::malloc(sizeof(Segment) * (most + 1)));
    if (!segments)
        return false;
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
    return true;
}

} // namespace

void TimingSvg(TextBuffer& svg, const Handshake& handshake, std::size_t byteCount)
{
    const std::size_t count = Min(byteCount, handshake.bytes.count);
    const TimeAxis axis = AxisFor(handshake, count);
    StartSvg(svg, axis.left + axis.width + 30, AXIS_Y + 56);
    char title[96];
    std::snprintf(title, sizeof title, "Punch handshake on port %03X: the first %lu of %lu bytes",
                  handshake.base, static_cast<unsigned long>(count),
                  static_cast<unsigned long>(handshake.bytes.count));
    Text(svg, 16, 24, TITLE, title);
    Text(svg, 16, 44, NOTE,
         "Pin levels (H/L): control 01 drives STROBE low, status bit 7 set means BUSY low."
         " Ticks under BUSY are status reads; dashed: not yet known.");
    DrawTimeAxis(svg, axis);
    DrawRowNames(svg, axis);
    if (!DrawSignals(svg, handshake, axis)) {
        svg.failed = true;
        return;
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
