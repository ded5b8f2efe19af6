// tapeview's pictures of known bytes and of a tapeprep tape, its reading of a
// handwritten trace, and the program on a real run under the emulated port
// and punch.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "tape_layout.h"
#include "tapeview.h"
#include "test_support.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

constexpr DWORD RUN_TIMEOUT_MS = 60000;

struct Circle {
    bool feed;
    double x;
    double y;
};

// The tape's holes; the legend's sample holes carry no class and are left out.
std::vector<Circle> Holes(const std::string& svg)
{
    std::vector<Circle> holes;
    for (std::size_t at = svg.find("<circle class="); at != std::string::npos;
         at = svg.find("<circle class=", at + 1)) {
        char kind[8] = {};
        Circle circle = {};
        REQUIRE(std::sscanf(svg.c_str() + at, "<circle class=\"%4[a-z]\" cx=\"%lf\" cy=\"%lf\"",
                            kind, &circle.x, &circle.y) == 3);
        circle.feed = std::string(kind) == "feed";
        holes.push_back(circle);
    }
    return holes;
}

std::vector<Circle> Row(const std::vector<Circle>& holes, double y, bool feed)
{
    std::vector<Circle> row;
    std::copy_if(holes.begin(), holes.end(), std::back_inserter(row),
                 [&](const Circle& circle) { return circle.y == y && circle.feed == feed; });
    std::sort(row.begin(), row.end(), [](const Circle& a, const Circle& b) { return a.x < b.x; });
    return row;
}

const char HANDWRITTEN_TRACE[] =
    "1000 out 27a 01\n"
    "1200 in 279 ff x6\n"
    "4000 in 279 7f\n"
    "4100 out 278 ff\n"
    "16700 out 278 41\n"
    "17000 out 27a 00\n"
    "ERROR at 00401234: in al, dx, port 3bc: port not emulated\n"
    "18600 out 27a 01\n"
    "18700 in 279 7f\n"
    "18800 out 278 ff\n"
    "31000 out 278 00\n"
    "31300 out 27a 00\n";

// The pictures as strings, from the bytes of a string.
std::string Taken(TextBuffer& buffer)
{
    REQUIRE_FALSE(buffer.failed);
    const std::string text(buffer.data ? buffer.data : "", buffer.length);
    FreeBuffer(buffer);
    return text;
}
const unsigned char* Bytes(const std::string& bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.data());
}
std::string TapeText(const std::string& bytes)
{
    TextBuffer text = {};
    TapeText(text, Bytes(bytes), bytes.size(), 0, ULONG_MAX);
    return Taken(text);
}
std::string TapeSvg(const std::string& bytes, std::size_t rows)
{
    TextBuffer svg = {};
    TapeSvg(svg, Bytes(bytes), bytes.size(), rows);
    return Taken(svg);
}
std::string StripSvg(const std::string& bytes, std::size_t from, std::size_t rows)
{
    TextBuffer svg = {};
    StripSvg(svg, Bytes(bytes), bytes.size(), from, rows);
    return Taken(svg);
}

// A handshake read from a trace, freed with it.
struct TraceHandshake {
    Handshake handshake = {};
    explicit TraceHandshake(const std::vector<TraceLine>& trace)
    {
        REQUIRE(ReadHandshake(trace.data(), trace.size(), handshake));
    }
    ~TraceHandshake() { FreeHandshake(handshake); }
    std::string Svg(std::size_t count) const
    {
        TextBuffer svg = {};
        TimingSvg(svg, handshake, count);
        return Taken(svg);
    }
    std::string Summary(std::size_t count) const
    {
        TextBuffer summary = {};
        TimingSummary(summary, handshake, count);
        return Taken(summary);
    }
};

std::vector<TraceLine> ReadHandwrittenTrace(std::vector<std::string>& errors)
{
    const std::string path = TempPath("trace");
    REQUIRE(WriteFileBytes(path, HANDWRITTEN_TRACE));
    const std::vector<TraceLine> trace = ReadTrace(path, &errors);
    DeleteFileA(path.c_str());
    return trace;
}

struct Run {
    DWORD exitCode;
    std::string output;
};

Run Tool(const char* program, const std::string& arguments)
{
    Run run;
    run.exitCode = RunProcessCapturing("\"" + SiblingPath(program) + "\" " + arguments,
                                       RUN_TIMEOUT_MS, run.output);
    return run;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_CASE("text rows have a hole in each set bit's channel and always the feed hole")
{
    // The length in rows, feet and inches at 10 rows to the inch, metres,
    // and the time a person waits with the program on a 75 rows a second
    // punch: 12 ms of blank data lines, then 1/75 s busy, a row.
    for (const auto& [rows, length] : std::vector<std::pair<std::size_t, std::string>>{
             {1200, "1,200 rows: 10 ft, 3.05 m, 30.4 s"},
             {120000, "120,000 rows: 1000 ft, 304.80 m, 50 min 40 s"},
             {1326, "1,326 rows: 11 ft 0.6 in, 3.37 m, 33.6 s"},
             {2368, "2,368 rows: 19 ft 8.8 in, 6.01 m, 1 min 0 s"},
             {0, "0 rows: 0 in, 0.00 m, 0.0 s"}}) {
        const std::string tape(rows, 'x');
        CHECK(SplitLines(TapeText(tape))[0] == length + " to punch at 25.3 ms a row.");
        CHECK(Contains(TapeSvg(tape, 64), ">Tape, " + length + " to punch at 25.3 ms a row<"));
    }

    const std::vector<std::string> lines = SplitLines(TapeText(std::string("\x00\xFF\x41", 3)));
    REQUIRE(lines.size() == 6);
    CHECK(lines[0] == "3 rows: 0.3 in, 0.01 m, 0.1 s to punch at 25.3 ms a row.");
    CHECK(Contains(lines[1], "channel 8 (bit 7) left, 1 (bit 0) right"));
    CHECK(lines[3] == "     0 |     .   |  00");
    CHECK(lines[4] == "     1 |OOOOO.OOO|  FF");
    CHECK(lines[5] == "     2 | O   .  O|  41  A");

    // Every byte against the column header: a hole under channel n exactly
    // when bit n-1 is set, the feed hole between channels 4 and 3.
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte += static_cast<char>(byte);
    const std::vector<std::string> rows = SplitLines(TapeText(everyByte));
    REQUIRE(rows.size() == 259);
    const std::string& header = rows[2];
    CHECK(header.find('3') == header.find('4') + 2);
    for (int byte = 0; byte < 256; ++byte) {
        const std::string& row = rows[3 + byte];
        INFO("byte " << byte << ": " << row);
        for (int channel = 1; channel <= 8; ++channel)
            CHECK(row[header.find(static_cast<char>('0' + channel))]
                  == ((byte >> (channel - 1) & 1) ? 'O' : ' '));
        CHECK(row[header.find('4') + 1] == '.');
    }
}

TEST_CASE("text --code eia: an EIA tape's characters, ? for a row with a hole lost")
{
    Folder folder("tapeview");
    REQUIRE(WriteFileBytes(folder / "program.txt", "G1 X-.5\t\x7F\n"));
    REQUIRE(Tool("..\\tapeprep.exe", "--code eia --leader 1 --trailer 0 \"" + folder / "program.txt"
                                          + "\" \"" + folder / "program.tape\"")
                .exitCode == 0);
    std::string tape = ReadFileBytes(folder / "program.tape");
    REQUIRE(tape.size() == 11);
    tape[4] = static_cast<char>(tape[4] & ~0x04);  // X, 37h, without its channel 3
    REQUIRE(WriteFileBytes(folder / "program.tape", tape));
    const std::string file = " \"" + folder / "program.tape" + "\"";
    const Run eia = Tool("..\\tapeview.exe", "text" + file + " --code eia");
    CHECK(eia.exitCode == 0);
    const std::vector<std::string> lines = SplitLines(eia.output);
    REQUIRE(lines.size() == 4 + tape.size());
    CHECK(lines[2] == "chr: EIA RS-244, EOB = end of block; ? = no EIA character");
    const std::vector<std::string> columns = {"00",    "67  G", "01  1",   "10   ",   "33  ?", "40  -",
                                              "6B  .", "15  5", "3E  TAB", "7F  DEL", "80  EOB"};
    for (std::size_t row = 0; row < tape.size(); ++row) {
        INFO(lines[4 + row]);
        CHECK(lines[4 + row].substr(20) == columns[row]);
    }
    // By default the bytes' own characters, as for any file.
    const Run raw = Tool("..\\tapeview.exe", "text" + file);
    CHECK(SplitLines(raw.output).at(4).substr(20) == "67  g");
    const Run wrong = Tool("..\\tapeview.exe", "text" + file + " --code ita2");
    CHECK(wrong.exitCode == 2);
    CHECK(wrong.output.find("tapeview: --code takes raw or eia") == 0);
}

TEST_CASE("the tape SVG draws one row per byte, channels as in the text, cut at --rows")
{
    const std::string bytes("\x00\xFF\x41\x01\x80", 5);
    const std::vector<Circle> holes = Holes(TapeSvg(bytes, 64));
    std::vector<double> rowY;
    for (const Circle& circle : holes)
        if (circle.feed)
            rowY.push_back(circle.y);
    REQUIRE(rowY.size() == bytes.size());
    CHECK(std::is_sorted(rowY.begin(), rowY.end()));

    // The all-ones row gives each channel's place, channel 8 leftmost.
    const std::vector<Circle> channels = Row(holes, rowY[1], false);
    REQUIRE(channels.size() == 8);
    const double feedX = Row(holes, rowY[1], true).at(0).x;
    CHECK(channels[4].x < feedX);
    CHECK(feedX < channels[5].x);
    for (std::size_t row = 0; row < bytes.size(); ++row) {
        INFO("row " << row);
        std::vector<double> expected;
        for (int bit = 7; bit >= 0; --bit)
            if (bytes[row] >> bit & 1)
                expected.push_back(channels[7 - bit].x);
        std::vector<double> drawn;
        for (const Circle& circle : Row(holes, rowY[row], false))
            drawn.push_back(circle.x);
        CHECK(drawn == expected);
        CHECK(Row(holes, rowY[row], true).at(0).x == feedX);
    }

    const std::string cut = TapeSvg(bytes, 2);
    const std::vector<Circle> cutHoles = Holes(cut);
    CHECK(cutHoles.size() == 2 + 8);
    CHECK(std::count_if(cutHoles.begin(), cutHoles.end(),
                        [](const Circle& circle) { return circle.feed; }) == 2);
    CHECK(Contains(cut, "3 more bytes"));
    CHECK_FALSE(Contains(TapeSvg(bytes, 5), "more bytes"));

    // Bytes that are markup in SVG are written as entities.
    const std::string markup = TapeSvg("<&", 64);
    CHECK(Contains(markup, ">&lt;</text>"));
    CHECK(Contains(markup, ">&amp;</text>"));
}

TEST_CASE("the strip SVG of a tapeprep tape: the label reads as text along the tape")
{
    const std::string in = TempPath("in");
    const std::string tape = TempPath("tape");
    const std::string svg = TempPath("strip");
    REQUIRE(WriteFileBytes(in, "xy"));
    REQUIRE(RunProcess("\"" + SiblingPath("..\\tapeprep.exe") + "\" --leader 4 --trailer 2"
                       " --fill 0x80 --label FL7 \"" + in + "\" \"" + tape + "\"",
                       RUN_TIMEOUT_MS) == 0);
    const std::string bytes = ReadFileBytes(tape);
    REQUIRE(bytes.size() == 4 + 1 + 3 * 6 + 2 + 2);

    // The picture's holes as text: one line per height, top first, one
    // character per row of tape, left to right.
    const std::vector<Circle> holes = Holes(StripSvg(bytes, 0, 1000));
    std::vector<double> heights, columns;
    for (const Circle& circle : holes) {
        (circle.feed ? columns : heights).push_back(circle.feed ? circle.x : circle.y);
    }
    std::sort(heights.begin(), heights.end());
    heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
    REQUIRE(columns.size() == bytes.size());
    REQUIRE(heights.size() == 8);
    std::vector<std::string> picture(8, std::string(bytes.size(), '.'));
    for (const Circle& circle : holes)
        if (!circle.feed)
            picture[std::find(heights.begin(), heights.end(), circle.y) - heights.begin()]
                   [std::find(columns.begin(), columns.end(), circle.x) - columns.begin()] = '#';

    // Channel 8 on top holds the fill rows; below it, the letters upright.
    CHECK(picture[0] == "####" "#.....#.....#.....#" ".." "##");
    for (int dot = 0; dot < GLYPH_ROWS; ++dot) {
        INFO("dot row " << dot);
        CHECK(picture[1 + dot].substr(4, 19)
              == std::string(".") + GlyphDrawing('F')[dot] + "." + GlyphDrawing('L')[dot] + "."
                     + GlyphDrawing('7')[dot] + ".");
    }

    // The program draws exactly that, from a given row, cut where asked.
    auto tapeview = [&](const std::string& options) {
        return RunProcess("\"" + SiblingPath("..\\tapeview.exe") + "\" strip-svg \"" + tape
                              + "\" \"" + svg + "\"" + options,
                          RUN_TIMEOUT_MS);
    };
    CHECK(tapeview("") == 0);
    CHECK(ReadFileBytes(svg) == StripSvg(bytes, 0, 200));
    CHECK(tapeview(" --rows 10 --from 4") == 0);
    const std::string cut = ReadFileBytes(svg);
    CHECK(cut == StripSvg(bytes, 4, 10));
    size_t shown = 10;  // the feed holes
    for (const std::string& line : picture)
        shown += std::count(line.begin() + 4, line.begin() + 14, '#');
    CHECK(Holes(cut).size() == shown);
    CHECK(Contains(cut, "rows 4 to 13"));
    CHECK(Contains(cut, "13 more bytes not drawn."));
    for (const char* wrong : {" --rows 0", " --from", " --from 1 --from 2", " --bytes 3"})
        CHECK(tapeview(wrong) == 2);
    for (const std::string& path : {in, tape, svg})
        DeleteFileA(path.c_str());
}

TEST_CASE("a handwritten trace: folded reads, an ERROR line, pin levels and pauses")
{
    std::vector<std::string> errors;
    const TraceHandshake read(ReadHandwrittenTrace(errors));
    const Handshake& handshake = read.handshake;
    REQUIRE(errors.size() == 1);
    CHECK(errors[0].rfind("ERROR at 00401234", 0) == 0);
    CHECK(handshake.base == 0x278);

    SUBCASE("pin levels are the register bits inverted, a folded read is one step")
    {
        auto levels = [](const Signal& signal) {
            std::vector<std::pair<unsigned long long, unsigned>> pairs;
            for (std::size_t i = 0; i < signal.count; ++i)
                pairs.emplace_back(signal.items[i].micros, signal.items[i].value);
            return pairs;
        };
        using Levels = std::vector<std::pair<unsigned long long, unsigned>>;
        CHECK(levels(handshake.strobe) == Levels{{1000, 0}, {17000, 1}, {18600, 0}, {31300, 1}});
        CHECK(levels(handshake.busy) == Levels{{1200, 0}, {4000, 1}, {18700, 1}});
        CHECK(levels(handshake.data) ==
              Levels{{4100, 0xFF}, {16700, 0x41}, {18800, 0xFF}, {31000, 0x00}});
    }

    SUBCASE("each byte's pauses come from the trace's own times")
    {
        REQUIRE(handshake.bytes.count == 2);
        const PunchedByte& first = handshake.bytes.items[0];
        CHECK(first.value == 0x41);
        CHECK(first.blankAt == 4100);
        CHECK(first.byteAt == 16700);
        CHECK(first.latchAt == 17000);
        CHECK(first.restAt == 18600);
        // The trace ends before the second byte's rest.
        CHECK(handshake.bytes.items[1].value == 0x00);
        CHECK(handshake.bytes.items[1].restAt == NO_TIME);
        CHECK(read.Summary(3) ==
              "port 278: 2 of 2 bytes drawn; data FF to the byte (ms): 12.6 12.2;"
              " control 00 to next 01 (ms): 1.6 -");
    }

    SUBCASE("the diagram shows the first N bytes' values and measured pauses")
    {
        const std::string one = read.Svg(1);
        CHECK(Contains(one, "port 278"));
        CHECK(Contains(one, ">FF</text>"));
        CHECK(Contains(one, ">41</text>"));
        CHECK(Contains(one, ">12.6 ms</text>"));
        CHECK(Contains(one, ">1.6 ms</text>"));
        CHECK_FALSE(Contains(one, ">12.2 ms</text>"));
        const std::string both = read.Svg(2);
        CHECK(Contains(both, ">12.2 ms</text>"));
        CHECK(Contains(both, ">00</text>"));
    }
}

TEST_CASE("tapeview on a real run under the emulated port")
{
    const std::string bytes("\x41\x00\xFFtape", 7);
    const std::string file = TempPath("tape");
    const std::string trace = TempPath("trace");
    const std::string punched = TempPath("punched");
    const std::string tapeSvg = TempPath("tape-svg");
    const std::string timingSvg = TempPath("timing-svg");
    REQUIRE(WriteFileBytes(file, bytes));
    REQUIRE(RunProcess(UnderEmulatedPort("--busy-ms 5", trace, punched,
                                         "\"" + SiblingPath("send_file.exe") + "\" send \"" +
                                             file + "\" 378"),
                       RUN_TIMEOUT_MS) == 0);

    std::vector<std::string> errors;
    const TraceHandshake read(ReadTrace(trace, &errors));
    const Handshake& handshake = read.handshake;
    CHECK(errors.empty());
    CHECK(handshake.base == 0x378);
    REQUIRE(handshake.bytes.count == bytes.size());
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        const PunchedByte& byte = handshake.bytes.items[index];
        INFO("byte " << index);
        CHECK(byte.value == static_cast<unsigned char>(bytes[index]));
        REQUIRE(byte.blankAt != NO_TIME);
        REQUIRE(byte.restAt != NO_TIME);
        CHECK(byte.byteAt - byte.blankAt >= 11500);
        CHECK(byte.restAt - byte.latchAt >= 500);
    }
    // Busy for 5 ms after each latch: the reads after the rest see it.
    CHECK(std::any_of(handshake.busy.items, handshake.busy.items + handshake.busy.count,
                      [](const TimedValue& read) { return read.value == 0; }));

    // The program writes exactly the pictures, with its defaults and limits.
    auto tapeview = [](const std::string& arguments) {
        return RunProcess("\"" + SiblingPath("..\\tapeview.exe") + "\" " + arguments, RUN_TIMEOUT_MS);
    };
    const std::string tapeFiles = "\"" + punched + "\" \"" + tapeSvg + "\"";
    const std::string timingFiles = "\"" + trace + "\" \"" + timingSvg + "\"";
    CHECK(tapeview("tape-svg " + tapeFiles) == 0);
    CHECK(ReadFileBytes(tapeSvg) == TapeSvg(bytes, 64));
    CHECK(tapeview("tape-svg " + tapeFiles + " --rows 2") == 0);
    CHECK(ReadFileBytes(tapeSvg) == TapeSvg(bytes, 2));
    CHECK(tapeview("timing-svg " + timingFiles) == 0);
    CHECK(ReadFileBytes(timingSvg) == read.Svg(3));
    CHECK(tapeview("timing-svg " + timingFiles + " --bytes 5") == 0);
    CHECK(ReadFileBytes(timingSvg) == read.Svg(5));
    CHECK(tapeview("timing-svg " + timingFiles + " --bytes 0") == 2);
    CHECK(tapeview("timing-svg \"" + trace + ".none\" \"" + timingSvg + "\"") == 1);

    for (const std::string& path : {file, trace, punched, tapeSvg, timingSvg})
        DeleteFileA(path.c_str());
}

TEST_CASE("compare leaves out leader and trailer, names the first difference, a short read")
{
    const std::string expected = TempPath("expected"), actual = TempPath("actual");
    const std::string files = "\"" + expected + "\" \"" + actual + "\"";
    const std::string words("HELLO\0WORLD", 11);
    REQUIRE(WriteFileBytes(expected, std::string(5, '\0') + words + std::string(5, '\0')));
    auto compare = [&](const std::string& readBack, const std::string& options = "") {
        REQUIRE(WriteFileBytes(actual, readBack));
        return Tool("..\\tapeview.exe", "compare " + files + options);
    };
    // A blank row inside counts; the rows at either end do not.
    Run run = compare(std::string(2, '\0') + words + std::string(9, '\0'));
    CHECK(run.exitCode == 0);
    CHECK(run.output == "The same: 11 bytes compared, without the rows of 00 at either end.\r\n");
    CHECK(compare("HELLOWORLD").exitCode == 1);

    run = compare(std::string(3, '\0') + words.substr(0, 7) + "XRLD");
    CHECK(run.exitCode == 1);
    CHECK(Contains(run.output, "First difference at offset 12 of " + expected + ": 4F there, 58"));
    CHECK(Contains(run.output, "(offset 10 of " + actual + ")"));
    CHECK(Contains(run.output, "tapeprep --from 12 makes a"));
    // Both files' rows side by side, the first difference marked.
    auto marked = [&]() {
        for (const std::string& line : SplitLines(run.output))
            if (line[0] == '>')
                return line;
        return std::string();
    };
    CHECK(marked() == ">     12 | O  O.OOO|  4F  O           10 | O OO.   |  58  X");

    // The tape read back ends early: the piece starts where it stopped.
    run = compare(std::string("\0HELLO", 6));
    CHECK(Contains(run.output, actual + " ends early, at offset 10 of " + expected
                                   + ":\r\n6 more bytes were not read."));
    CHECK(Contains(run.output, "tapeprep --from 10 makes a"));
    CHECK(marked() == ">     10 |     .   |  00                 (end)");
    run = compare(std::string("\0HELLO\0WORL", 11));
    CHECK(Contains(run.output, ":\r\n1 more byte was not read."));
    run = compare(words + "!!");
    CHECK(run.exitCode == 1);
    CHECK(Contains(run.output, "goes on too long:\r\n2 bytes more than " + expected + ", from its offset 11."));
    CHECK_FALSE(Contains(run.output, "tapeprep --from"));

    // A row lost mid-tape, two lost in one place, one gained: where they
    // first differ, and that the rest matches shifted; no short read.
    auto shifted = [&](const std::string& where, const std::string& rest,
                       const std::string& shift) {
        INFO(run.output);
        CHECK(run.exitCode == 1);
        CHECK(Contains(run.output, actual + where + ":\r\nthey first differ there; the rest ("
                                       + rest + ") matches shifted by " + shift + ".\r\n"));
        CHECK_FALSE(Contains(run.output, "ends early"));
        CHECK_FALSE(Contains(run.output, "goes on too long"));
    };
    run = compare("HELO" + words.substr(5));
    shifted(" lost 1 row at offset 8 of " + expected, "7 rows", "1 row");
    CHECK(Contains(run.output, "tapeprep --from 8 makes a"));
    run = compare(words.substr(0, 7) + "LD");
    shifted(" lost 2 rows at offset 12 of " + expected, "2 rows", "2 rows");
    run = compare(words.substr(0, 9) + "RLD");
    shifted(" has 1 row too many at its offset 9 (offset 14 of " + expected + ")", "2 rows", "1 row");

    // Leader of another byte, also before a data row of 00; a file that
    // cannot be read is trouble, not a difference.
    REQUIRE(WriteFileBytes(expected, "\x80\x80" "AB\x80"));
    CHECK(compare("AB", " --trim 0x80").exitCode == 0);
    CHECK(compare("AB").exitCode == 1);
    const std::string zeroFirst("\x80\x80\0AB\x80", 6);
    REQUIRE(WriteFileBytes(expected, zeroFirst));
    run = compare(zeroFirst, " --trim 0x80");
    CHECK(run.exitCode == 0);
    CHECK(run.output == "The same: 3 bytes compared, without the rows of 80 at either end.\r\n");
    run = compare("\x80" "AB\x80\x80", " --trim 0x80");
    shifted(" lost 1 row at offset 2 of " + expected, "2 rows", "1 row");
    REQUIRE(WriteFileBytes(expected, "A"));
    CHECK(compare("A").output == "The same: 1 byte compared, without the rows of 00 at either end.\r\n");
    CHECK(Tool("..\\tapeview.exe", "compare \"" + expected + "\" \"" + actual + ".none\"").exitCode == 2);
    for (const std::string& path : {expected, actual})
        DeleteFileA(path.c_str());
}

TEST_CASE("tapeview's refusals say what was wrong; rows from --from; OUT is never an input")
{
    const std::string tape = TempPath("tape"), svg = TempPath("svg");
    REQUIRE(WriteFileBytes(tape, RandomBytes(78, 2)));
    const std::string file = "\"" + tape + "\"";
    const std::vector<std::string> rows = SplitLines(Tool("..\\tapeview.exe", "text " + file + " --from 70 --rows 3").output);
    REQUIRE(rows.size() == 6);
    CHECK(rows[0] == "78 rows: 7.8 in, 0.20 m, 2.0 s to punch at 25.3 ms a row.");
    CHECK(rows[3].find("    70 |") == 0);
    CHECK(rows[5].find("    72 |") == 0);
    struct Case {
        std::string arguments;
        DWORD exitCode;
        std::string says;
    };
    const Case cases[] = {
        {"tape-svg " + file + " out.svg --rows 0", 2, "--rows takes a number of rows, 1 to"},
        {"text " + file + " --rows 99999999999", 2, "--rows takes a number of rows"},
        {"strip-svg " + file + " out.svg --from -1", 2, "--from takes a row, 0 or more"},
        {"picture " + file, 2, "there is no command picture"},
        {"text " + file + " --trim 0", 2, "text takes no option --trim"},
        {"compare " + file, 2, "compare needs 2 files"},
        {"text " + file + " --from 500", 1,
         "--from 500 is past the end of " + tape + ", which has 78 bytes."},
        {"text \"" + tape + ".none\"", 1, "cannot read " + tape + ".none: not found"},
        {"tape-svg " + file + " " + file, 1, ""},
    };
    for (const Case& c : cases) {
        INFO(c.arguments);
        const Run run = Tool("..\\tapeview.exe", c.arguments);
        INFO(run.output);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.output.find("tapeview: " + c.says) == 0);
        CHECK((run.output.find("usage: tapeview") != std::string::npos) == (c.exitCode == 2));
    }
    CHECK(ReadFileBytes(tape) == RandomBytes(78, 2));
    // A file that cannot be read: the same line from each tool and each way in.
    const std::string none = " \"" + tape + ".none\"";
    const std::string unread = ": cannot read " + tape + ".none: not found\r\n";
    CHECK(Tool("..\\tapeview.exe", "compare " + file + none).output == "tapeview" + unread);
    CHECK(Tool("..\\tapeprep.exe", none + none + "2").output == "tapeprep" + unread);
    CHECK(Tool("..\\tapeprep.exe", "--format pdp11-lda" + none + none + "2").output
          == "tapeprep" + unread);

    // A name in any script, in and out.
    const std::string name = tape + " \xD0\x9B\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0 \xCF\x89.bin";  // Лента ω
    REQUIRE(Tool("..\\tapeprep.exe", "--leader 0 --trailer 0 " + file + " \"" + name + "\"").exitCode == 0);
    const Run text = Tool("..\\tapeview.exe", "text \"" + name + "\"");
    CHECK(text.exitCode == 0);
    CHECK(text.output == Tool("..\\tapeview.exe", "text " + file).output);
    CHECK(Tool("..\\tapeview.exe", "tape-svg " + file + " \"" + name + ".svg\"").exitCode == 0);
    CHECK(Tool("..\\tapeview.exe", "compare \"" + name + "\" " + file).exitCode == 0);
    for (const std::string& path : {name, name + ".svg"})
        CHECK(DeleteFileW(Widen(path).c_str()));
    DeleteFileA(tape.c_str());
}
