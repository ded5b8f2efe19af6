// tapecheck.exe on benches set up right and wrong, under the emulated port:
// what it says, its exit code, and that it never writes a register.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "test_support.h"
#include "version.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_TIMEOUT_MS = 60000;

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
CheckRun RunCheck(const std::string& emulatorOptions, const std::string& arguments)
{
    const std::string trace = TempPath("trace");
    const std::string punched = TempPath("punched");
    std::string output;
    CheckRun run;
    run.exitCode = RunProcessCapturing(
        UnderEmulatedPort(emulatorOptions, trace, punched,
                          "\"" + SiblingPath("..\\tapecheck.exe") + "\" " + arguments),
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
        const unsigned offset = line.port & 0xF;
        CHECK((offset == 9 || offset == 0xA));
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

} // namespace

TEST_CASE("a bench set up right: driver, both ports and both punches ready")
{
    const CheckRun run = RunCheck("", "");
    CHECK(run.exitCode == 0);
    CheckSays(run, {DRIVER_OPENED, LPT1_ANSWERS, READY,
                    "LPT2 (278h): status 7Fh, control E0h: a parallel port answers.", READY,
                    "Pin 11 also reads high with no cable in: if nothing punches, check it.",
                    "Ready to punch."});
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
    }
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

TEST_CASE("a wrong command line gets the usage, exit code 2 and no register read")
{
    for (const char* arguments : {"--port lpt3", "--port", "--watch 0", "--watch 1x", "--watch",
                                  "--verbose", "lpt1"}) {
        INFO("arguments: " << arguments);
        const CheckRun run = RunCheck("", arguments);
        CHECK(run.exitCode == 2);
        CheckSays(run, {"usage: tapecheck [--port lpt1|lpt2|both] [--watch SECONDS]"});
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
    CheckSays(run, {"  The giveio driver is not installed or not started, so no program may"});
    CHECK(run.trace.empty());
}
