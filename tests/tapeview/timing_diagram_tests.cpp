// tapeview's reading of a trace: the handshake of a handwritten one and of a
// real run under the emulated port, its timing diagram and summary.
#include "tapeview_steps.h"

#include <algorithm>

namespace {

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

} // namespace

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
    REQUIRE(RunProcess(UnderEmulatedPort("--busy-ms 40", trace, punched,
                                         Quoted(SiblingPath("send_file.exe")) + " send "
                                             + Quoted(file) + " 378"),
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
    // Busy for 40 ms after each latch: the reads after the rest see it, even
    // when a loaded machine stretches the 1 ms pause after the byte.
    CHECK(std::any_of(handshake.busy.items, handshake.busy.items + handshake.busy.count,
                      [](const TimedValue& read) { return read.value == 0; }));

    // The program writes exactly the pictures, with its defaults and limits.
    auto tapeview = [](const std::string& arguments) {
        return RunTool("..\\tapeview.exe", arguments).exitCode;
    };
    const std::string tapeFiles = Quoted(punched) + " " + Quoted(tapeSvg);
    const std::string timingFiles = Quoted(trace) + " " + Quoted(timingSvg);
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
