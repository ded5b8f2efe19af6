// The emulated port refuses what a real port would not allow: each mistake
// is made by port_mistakes.exe, and the same steps done right pass.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "test_support.h"

#include <doctest/doctest.h>

#include <string>

namespace {

EmulatedRun RunMistake(const std::string& options, const std::string& arguments)
{
    return RunEmulated(options, "\"" + SiblingPath("port_mistakes.exe") + "\" " + arguments);
}

// How many ERROR lines name the problem.
size_t ErrorsNaming(const EmulatedRun& run, const std::string& problem)
{
    size_t count = 0;
    for (const std::string& error : run.errors) {
        INFO(error);
        CHECK(error.rfind("ERROR at ", 0) == 0);
        count += error.find(problem) != std::string::npos;
    }
    return count;
}

const char BEFORE_GIVEIO[] = "port I/O before \\\\.\\giveio was opened";

} // namespace

TEST_CASE("port I/O is refused until \\\\.\\giveio has been opened")
{
    SUBCASE("an access before the open, though the open then succeeds")
    {
        const EmulatedRun run = RunMistake("", "before-open");
        CHECK(run.exitCode == EMULATION_ERROR);
        CHECK(run.trace.empty());
        CHECK(ErrorsNaming(run, BEFORE_GIVEIO) == 1);
        CHECK(run.errors.size() == 1);
    }
    SUBCASE("an access after opening some other file")
    {
        const EmulatedRun run = RunMistake("", "other-file");
        CHECK(run.exitCode == EMULATION_ERROR);
        CHECK(run.trace.empty());
        CHECK(ErrorsNaming(run, BEFORE_GIVEIO) == 1);
    }
    SUBCASE("an access after the open is carried out")
    {
        const EmulatedRun run = RunMistake("", "after-open");
        CHECK(run.exitCode == 0);
        CHECK(run.errors.empty());
        REQUIRE(run.trace.size() == 1);
        CHECK(run.trace[0].port == 0x37A);
    }
}

// Run alone in the Wine prefix without the device: the open fails there.
TEST_CASE("without the giveio device an access after a failed open is refused"
          * doctest::skip(true))
{
    const EmulatedRun run = RunMistake("", "after-open");
    CHECK(run.exitCode == EMULATION_ERROR);
    CHECK(run.trace.empty());
    CHECK(ErrorsNaming(run, BEFORE_GIVEIO) == 1);
}

TEST_CASE("a STROBE release while the punch is busy is refused and loses the byte")
{
    // Busy for 50 ms after each byte; 12 ms + 1 ms later the next is released.
    const EmulatedRun hasty = RunMistake("--busy-ms 50", "bytes 3 12 1 nowait");
    CHECK(hasty.exitCode == EMULATION_ERROR);
    CHECK(hasty.punched == "A");
    CHECK(ErrorsNaming(hasty, "STROBE released while the punch is busy: byte 42 not punched") == 1);
    CHECK(ErrorsNaming(hasty, "byte 43 not punched") == 1);
    CHECK(hasty.errors.size() == 2);

    const EmulatedRun patient = RunMistake("--busy-ms 50", "bytes 3 12 1 wait");
    CHECK(patient.exitCode == 0);
    CHECK(patient.errors.empty());
    CHECK(patient.punched == "ABC");
}

TEST_CASE("the 12 ms and 1 ms minimums are checked on every run")
{
    SUBCASE("a blank held 11 ms instead of 12")
    {
        const EmulatedRun run = RunMistake("", "bytes 2 11 1 wait");
        CHECK(run.exitCode == EMULATION_ERROR);
        CHECK(ErrorsNaming(run, "blank data lines held before the byte") == 2);
        CHECK(ErrorsNaming(run, "less than 12 ms") == 2);
        CHECK(run.errors.size() == 2);
        // The byte is still punched: the punch has no way to tell.
        CHECK(run.punched == "AB");
    }
    SUBCASE("no pause after a byte, before the next one and at the end")
    {
        const EmulatedRun run = RunMistake("", "bytes 2 12 0 wait");
        CHECK(run.exitCode == EMULATION_ERROR);
        CHECK(ErrorsNaming(run, "pause from a STROBE release to STROBE low again") == 2);
        CHECK(ErrorsNaming(run, "less than 1 ms") == 2);
        CHECK(run.errors.size() == 2);
    }
    SUBCASE("exactly 12 ms and 1 ms pass")
    {
        const EmulatedRun run = RunMistake("", "bytes 20 12 1 wait");
        CHECK(run.exitCode == 0);
        CHECK(run.errors.empty());
        CHECK(run.punched == "ABCDEFGHIJKLMNOPQRST");
    }
}
