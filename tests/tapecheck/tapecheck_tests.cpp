// tapecheck.exe on benches set up right and wrong, under the emulated port:
// what it says, its exit code, and that it never writes a register but for
// the one write of --rest.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "port_claim.h"
#include "port_io.h"
#include "test_support.h"
#include "version.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct CheckRun {
    DWORD exitCode;
    std::vector<std::string> lines; // what it printed, without line ends
    std::vector<TraceLine> trace;
    std::vector<std::string> traceErrors;
};

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// Runs tapecheck with arguments under the emulated port with its options.
CheckRun RunCheck(const std::string& emulatorOptions, const std::string& arguments,
                  const std::string& program = SiblingPath("..\\tapecheck.exe"))
{
    const std::string trace = TempPath("trace");
    const std::string punched = TempPath("punched");
    std::string output;
    CheckRun run;
    run.exitCode = RunProcessCapturing(
        UnderEmulatedPort(emulatorOptions, trace, punched,
                          Quoted(program) + " " + arguments),
        RUN_TIMEOUT_MS, output);
    run.lines = SplitLines(output);
    // Every line fits an 80-column console.
    for (const std::string& line : run.lines) {
        INFO(line);
        CHECK(line.size() <= 79);
    }
    run.trace = ReadTrace(trace, &run.traceErrors);
    DeleteFileA(trace.c_str());
    DeleteFileA(punched.c_str());
    return run;
}

// Expected lines, in order, each found as the whole of one printed line.
void CheckSays(const CheckRun& run, const std::vector<std::string>& expected)
{
    INFO("printed:\n" << Joined(run.lines));
    auto at = run.lines.begin();
    for (const std::string& line : expected) {
        INFO("expected line: " << line);
        at = std::find(at, run.lines.end(), line);
        REQUIRE(at != run.lines.end());
        ++at;
    }
}

// Only status and control registers were read, and nothing was written.
void CheckOnlyReads(const CheckRun& run)
{
    CHECK(run.traceErrors.empty());
    for (const TraceLine& line : run.trace) {
        INFO("port " << std::hex << line.port);
        CHECK(line.isIn);
        const unsigned offset = line.port & 3;
        CHECK((offset == STATUS_REGISTER || offset == CONTROL_REGISTER));
    }
}

const std::string DRIVER_OPENED =
    "Driver: \\\\.\\giveio opened: this program may use the port registers.";
const std::string READY = "  Punch: pin 11 (BUSY) is high: the punch is on and ready.";
const std::string BUSY = "  Punch: pin 11 (BUSY) is low: the punch is busy, off or out of tape.";
const std::string LPT1_ANSWERS = "LPT1 (378h): status 7Fh, control E0h: a parallel port answers.";
const std::string LPT2_MISSING =
    "LPT2 (278h): status FFh, control FFh: no parallel port answers at 278h.";
const std::string CHECK_BIOS =
    "Check the BIOS setup: the parallel port enabled, at 378h (LPT1) or 278h";
const std::string NOT_READY = "Not ready. See \"Setting up a bench PC\" in README.txt.";
const std::string PINS_HIGH =
    "  Pin 12 (paper end, status bit 5) is high; pin 15 (ERROR, bit 3) is high.";
const std::string PINS_NOTE =
    "Pins 12 and 15 do not change the verdict. Each status bit reads 1 while";
const std::string LPT2_ANSWERS = "LPT2 (278h): status 7Fh, control E0h: a parallel port answers.";

} // namespace

TEST_CASE("a bench set up right: driver, both ports and both punches ready")
{
    const CheckRun run = RunCheck("", "");
    CHECK(run.exitCode == 0);
    CheckSays(run, {DRIVER_OPENED, LPT1_ANSWERS, READY, PINS_HIGH, LPT2_ANSWERS, READY, PINS_HIGH,
                    "Pin 11 also reads high with no cable in: if nothing punches, check it.",
                    PINS_NOTE, "Ready to punch."});
    CHECK(run.trace.size() == 4);
    CheckOnlyReads(run);
}

TEST_CASE("one port answering is enough unless both were asked for; a busy punch is not ready")
{
    SUBCASE("LPT2 switched off in the BIOS, or not there")
    {
        const CheckRun one = RunCheck("--absent lpt2", "");
        CHECK(one.exitCode == 0);
        CheckSays(one, {LPT1_ANSWERS, READY, LPT2_MISSING,
                        "One port is enough: the bench uses the one that answers.",
                        "Ready to punch."});
        CheckOnlyReads(one);
        const CheckRun both = RunCheck("--absent lpt2", "--port both");
        CHECK(both.exitCode == 1);
        CheckSays(both, {LPT1_ANSWERS, READY, LPT2_MISSING, CHECK_BIOS, NOT_READY});
        CHECK(RunCheck("--absent lpt2", "--port LPT1").exitCode == 0);
        CHECK(RunCheck("--absent lpt2", "--port lpt2").exitCode == 1);
        const CheckRun none = RunCheck("--absent lpt1 --absent lpt2", "");
        CHECK(none.exitCode == 1);
        CheckSays(none, {CHECK_BIOS, NOT_READY});
    }
    SUBCASE("the punch busy: out of tape, switched off or jammed")
    {
        const CheckRun run = RunCheck("--stuck-after 0", "--port lpt2");
        CHECK(run.exitCode == 1);
        CheckSays(run, {DRIVER_OPENED, "LPT2 (278h): status FFh, control E0h: a parallel port answers.",
                        BUSY, NOT_READY});
        // Only LPT2 was asked for, and only LPT2 was read.
        CHECK(run.trace.size() == 2);
        CheckOnlyReads(run);
        for (const TraceLine& line : run.trace)
            CHECK((line.port & 0xFF0) == 0x270);
        // One punch busy beside a ready one: every punch on a port that
        // answers must be ready.
        const CheckRun one = RunCheck("--busy lpt2", "");
        CHECK(one.exitCode == 1);
        CheckSays(one, {LPT1_ANSWERS, READY,
                        "LPT2 (278h): status FFh, control E0h: a parallel port answers.", BUSY,
                        NOT_READY});
        CheckOnlyReads(one);
    }
}

TEST_CASE("pins 12 and 15 are reported as they read, and the verdict stays as it was")
{
    // The cable wires each punch's tape-low line to pin 12: low until the
    // punch has punched a byte, high at once; LPT2's pin 15 held low.
    const CheckRun off = RunCheck("--tape-low-after 1 --error lpt2", "");
    CHECK(off.exitCode == 0);
    CheckSays(off, {"LPT1 (378h): status 5Fh, control E0h: a parallel port answers.", READY,
                    "  Pin 12 (paper end, status bit 5) is low; pin 15 (ERROR, bit 3) is high.",
                    "LPT2 (278h): status 57h, control E0h: a parallel port answers.", READY,
                    "  Pin 12 (paper end, status bit 5) is low; pin 15 (ERROR, bit 3) is low.",
                    PINS_NOTE, "wire the punch's tape-low line to pin 12, which a printer raises when",
                    "Ready to punch."});
    CheckOnlyReads(off);
    const CheckRun on = RunCheck("--tape-low-after 0 --error lpt2", "--port lpt2");
    CHECK(on.exitCode == 0);
    CheckSays(on, {"LPT2 (278h): status 77h, control E0h: a parallel port answers.", READY,
                   "  Pin 12 (paper end, status bit 5) is high; pin 15 (ERROR, bit 3) is low.",
                   "Ready to punch."});
    CheckOnlyReads(on);
    // A port that does not answer has no pins to tell of.
    const CheckRun none = RunCheck("--absent lpt1 --absent lpt2", "");
    CHECK(std::none_of(none.lines.begin(), none.lines.end(), [](const std::string& line) {
        return line.find("Pin 12") != std::string::npos;
    }));
}

TEST_CASE("--rest claims the port as a send does and writes control 01h, nothing else")
{
    for (const unsigned base : {0x378u, 0x278u}) {
        const bool lpt1 = base == 0x378;
        INFO("port " << std::hex << base);
        const CheckRun run = RunCheck("", lpt1 ? "--rest lpt1" : "--rest LPT2");
        CHECK(run.exitCode == 0);
        CheckSays(run, {DRIVER_OPENED, lpt1 ? LPT1_ANSWERS : LPT2_ANSWERS, READY, PINS_HIGH,
                        std::string(lpt1 ? "LPT1 (378h)" : "LPT2 (278h)")
                            + ": control 01h written, it reads E1h: STROBE (pin 1) is",
                        "low, the port at rest. Switch the punch on now."});
        CHECK(run.traceErrors.empty());
        std::vector<std::string> writes;
        for (const TraceLine& line : run.trace) {
            CHECK((line.port & ~3u) == base);
            if (!line.isIn)
                writes.push_back(std::to_string(line.port - base) + ":" + std::to_string(line.value));
            else
                CHECK((line.port & 3u) != 0);
        }
        CHECK(writes == std::vector<std::string>{"2:1"});
    }

    // While a send holds LPT1 it is refused, and nothing is touched.
    const HANDLE held = ClaimPort(LPT1_BASE);
    REQUIRE(held != nullptr);
    const CheckRun busy = RunCheck("", "--rest lpt1");
    ReleasePort(held);
    CHECK(busy.exitCode == 1);
    CheckSays(busy, {"LPT1 (378h) is in use: a tape is being punched on it, and the program",
                     "leaves the port at rest when it ends. Nothing was written."});
    CHECK(busy.trace.empty());

    // No port there: nothing is written.
    const CheckRun absent = RunCheck("--absent lpt1", "--rest lpt1");
    CHECK(absent.exitCode == 1);
    CheckSays(absent, {"LPT1 (378h): status FFh, control FFh: no parallel port answers at 378h.",
                       CHECK_BIOS, "Nothing was written."});
    CheckOnlyReads(absent);
}

TEST_CASE("--rest reads its write back, and --port and --rest take a card's address")
{
    // A port that ignores the write: control still reads E0h, STROBE not low.
    const CheckRun ignored = RunCheck("--ignores-writes lpt1", "--rest lpt1");
    CHECK(ignored.exitCode == 1);
    CheckSays(ignored, {LPT1_ANSWERS,
                        "LPT1 (378h): control 01h written, it reads E0h: bit 0 is not 1: the",
                        "write did not take, and pin 1 (STROBE) may be high, which makes a punch",
                        "switched on punch. Do not switch it on.", CHECK_BIOS});

    const std::string card = "--lpt2-at 0xD010";
    const CheckRun checked = RunCheck(card, "--port D010h");
    CHECK(checked.exitCode == 0);
    CheckSays(checked, {DRIVER_OPENED, "Port D010h: status 7Fh, control E0h: a parallel port answers.",
                        READY, "Ready to punch."});
    CheckOnlyReads(checked);
    const CheckRun rest = RunCheck(card, "--rest 0xd010");
    CHECK(rest.exitCode == 0);
    CheckSays(rest, {"Port D010h: control 01h written, it reads E1h: STROBE (pin 1) is"});
    CHECK(rest.traceErrors.empty());
    REQUIRE_FALSE(rest.trace.empty());
    CHECK(rest.trace.back().port == 0xD012);
    const CheckRun none = RunCheck(card + " --absent lpt2", "--port D010h");
    CHECK(none.exitCode == 1);
    CheckSays(none, {"Port D010h: status FFh, control FFh: no parallel port answers at D010h.",
                     CHECK_BIOS, "in Device Manager."});
}

TEST_CASE("--watch prints a line each time BUSY changes")
{
    // The punch goes busy from 1.5 s to 2.5 s after the program starts, as
    // when someone holds its feed key.
    const CheckRun run = RunCheck("--busy-window 1500-2500", "--port lpt1 --watch 4");
    CHECK(run.exitCode == 0);
    CheckSays(run, {LPT1_ANSWERS, READY,
                    "Watching pin 11 (BUSY) for 4 s; Ctrl+C ends it.", "Watch ended.",
                    "Ready to punch."});
    // The changes, each with the time of day: "hh:mm:ss.mmm  LPT1 ...".
    std::vector<std::string> changes;
    for (const std::string& line : run.lines) {
        if (line.size() > 14 && line[2] == ':' && line[5] == ':' && line[8] == '.')
            changes.push_back(line.substr(12));
    }
    CHECK(Joined(changes) == "  LPT1 " + BUSY.substr(9) + "\n  LPT1 " + READY.substr(9) + "\n");
    CheckOnlyReads(run);
}

TEST_CASE("the verdict follows the punch to the watch's end")
{
    // Ready when checked, busy from 1.5 s on: switched off during the watch.
    const CheckRun run = RunCheck("--busy-window 1500-100000", "--port lpt1 --watch 3");
    CHECK(run.exitCode == 1);
    CheckSays(run, {LPT1_ANSWERS, READY, "Watching pin 11 (BUSY) for 3 s; Ctrl+C ends it.",
                    "Watch ended.", NOT_READY});
    CheckOnlyReads(run);
}

TEST_CASE("a wrong command line gets the usage, exit code 2 and no register read")
{
    for (const char* arguments : {"--port lpt3", "--port", "--watch 0", "--watch 1x", "--watch",
                                  "--verbose", "lpt1", "--rest", "--rest both",
                                  "--rest lpt1 --port lpt1", "--watch 5 --rest lpt2",
                                  "--port 378", "--rest 0x37A", "--port 0x80",
                                  // Refusals too long for a line are broken to fit.
                                  "--port a-port-name-long-enough-to-push-the-refusal-past-one-line",
                                  "--port a-port-name-long-enough-to-be-longer-than-a-whole-line-of-"
                                  "the-console-by-itself"}) {
        INFO("arguments: " << std::string(arguments));
        const CheckRun run = RunCheck("", arguments);
        CHECK(run.exitCode == 2);
        CheckSays(run, {"usage: tapecheck [--port lpt1|lpt2|both|ADDRESS] [--watch SECONDS]"});
        CHECK(run.trace.empty());
    }
    const CheckRun version = RunCheck("", "--version");
    CHECK(version.exitCode == 0);
    CheckSays(version, {std::string("tapecheck ") + TAPELARK_VERSION});
    CHECK(version.trace.empty());
    for (const char* asked : {"--help", "/?"}) {
        const CheckRun help = RunCheck("", asked);
        CHECK(help.exitCode == 0);
        CHECK(help.lines.size() > 10);
        CHECK(help.trace.empty());
    }
}

TEST_CASE("without the giveio driver it says so and reads nothing" * doctest::skip(true))
{
    const CheckRun run = RunCheck("", "");
    CHECK(run.exitCode == 1);
    INFO("printed:\n" << Joined(run.lines));
    REQUIRE_FALSE(run.lines.empty());
    CHECK(run.lines[0].rfind("Driver: \\\\.\\giveio does not open: Windows error ", 0) == 0);
    const std::string NEITHER = "  Neither driver is installed and started, so no program may use the";
    CheckSays(run, {"Driver: InpOut32 does not open: no " INPOUT_DLL " loads from the folder",
                    NEITHER});
    CHECK(run.trace.empty());
    const CheckRun rest = RunCheck("", "--rest lpt1");
    CHECK(rest.exitCode == 1);
    CheckSays(rest, {NEITHER});
    CHECK(rest.trace.empty());

    // InpOut32's DLL beside it: the route it takes, a card's port through it.
    Folder kit("kit");
    const std::string tapecheck = BesideInpOut(kit, "..\\tapecheck.exe");
    const CheckRun inpOut = RunCheck("--lpt2-at 0xD010", "--port D010h", tapecheck);
    CHECK(inpOut.exitCode == 0);
    CheckSays(inpOut, {"Driver: InpOut32 opened (" INPOUT_DLL " beside this program, its",
                       "Port D010h: status 7Fh, control E0h: a parallel port answers.",
                       "Ready to punch."});
    CheckOnlyReads(inpOut);
    const CheckRun restThrough = RunCheck("", "--rest lpt1", tapecheck);
    CHECK(restThrough.exitCode == 0);
    CheckSays(restThrough, {"LPT1 (378h): control 01h written, it reads E1h: STROBE (pin 1) is"});
    SetEnvironmentVariableA("TAPELARK_INPOUT_DRIVER", "stopped");
    const CheckRun stopped = RunCheck("", "", tapecheck);
    SetEnvironmentVariableA("TAPELARK_INPOUT_DRIVER", nullptr);
    CHECK(stopped.exitCode == 1);
    CheckSays(stopped, {"Driver: InpOut32 does not open: " INPOUT_DLL " loads, but says its",
                        NEITHER});
    CHECK(stopped.trace.empty());
}
