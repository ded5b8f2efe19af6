// tapeview check: which format a tape holds, or none, read back with a
// reader's blank rows around it; a file it cannot read.
#include "format_tapes.h"

#include <doctest/doctest.h>

TEST_CASE("tapeview check tells which format a tape holds, or none, read back with blank rows")
{
    Folder folder("formats");
    auto check = [&](const std::string& tape) {
        REQUIRE(WriteFileBytes(folder / "tape.bin", tape));
        return RunTool("..\\tapeview.exe", "check " + Quoted(folder / "tape.bin"));
    };
    const std::string name = folder / "tape.bin";
    // A reader's blank run-in and run-out around the punched rows.
    struct Case {
        std::string tape;
        const char* format;
    };
    const Case cases[] = {
        {Rows(15, 0) + Rows(20, 0200) + RIM + Rows(20, 0200) + Rows(9, 0), "pdp8-rim"},
        {Rows(15, 0) + Rows(20, 0200) + BIN + Rows(20, 0200) + Rows(9, 0), "pdp8-bin"},
        {Rows(15, 0) + LDA + Rows(9, 0), "pdp11-lda"},
        {Rows(15, 0) + Rows(30, 0x80) + WithParity(HEX, false, true) + Rows(30, 0x80) + Rows(9, 0),
         "intel-hex"},
    };
    for (const Case& c : cases) {
        INFO(c.format);
        const ToolRun run = check(c.tape);
        INFO(run.output);
        CHECK(run.exitCode == 0);
        CHECK(run.lines.at(0) == name + " holds a tape in " + c.format + ", and it checks:");
    }
    for (const std::string& none : {std::string("HELLO: WORLD\r\n"), std::string()}) {
        const ToolRun run = check(none);
        INFO(run.output);
        CHECK(run.exitCode == 1);
        CHECK(run.lines.at(0) == name + " holds none of the formats");
    }
    // Noise may read as a word or two of some format: never as a good tape.
    const ToolRun noise = check(RandomBytes(3000, 7));
    INFO(noise.output);
    CHECK(noise.exitCode == 1);
    CHECK((noise.lines.at(0) == name + " holds none of the formats"
           || noise.lines.at(0).find(" with a fault:") != std::string::npos));
    const ToolRun missing = RunTool("..\\tapeview.exe", "check " + Quoted(folder / "none.bin"));
    CHECK(missing.exitCode == 2);
    CHECK(missing.output.find("tapeview: cannot read") == 0);
    const ToolRun usage = RunTool("..\\tapeview.exe", "check");
    CHECK(usage.exitCode == 2);
    CHECK(usage.output.find("tapeview: check needs 1 file") == 0);
}
