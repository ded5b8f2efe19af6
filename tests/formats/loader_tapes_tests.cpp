// Tapes as real loaders take them, though they hold more than one format's
// plain program: several sections, frames after the end, a leader that is
// not 200 alone or none, text before the leader. tapeview check tells each
// as the loader reads it, and tapeprep --format punches what the loader
// reads between its own leader and trailer, which checks the same.
#include "format_tapes.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

namespace {

const std::string SECTION_2 = Word(01000, true) + Word(07402) + Checksum(Word(01000, true) + Word(07402));
const std::string TWO_AREAS = Word(0200, true) + Word(1) + Word(2) + Word(04000, true) + Word(3);
const std::string LETTERING = "\377LETTERS\377\232\377\377\377";

std::string Pairs302(std::size_t count)
{
    std::string leader;
    for (std::size_t i = 0; i < count; ++i)
        leader += "\302\200";
    return leader;
}

struct Tape {
    const char* what;
    const char* format;
    std::string tape;
    std::string data;  // what tapeprep punches between leader and trailer
    unsigned char leader;
    std::vector<std::string> says;  // by tapeview check, of the file and of the punched tape
    std::vector<std::string> fileSays;  // of the file only: its rows
};

std::vector<Tape> Tapes()
{
    const std::string twoSections = BIN + Rows(5, 0200) + SECTION_2;
    return {
        {"two sections", "pdp8-bin", Rows(20, 0200) + twoSections + Rows(20, 0200), twoSections,
         0200,
         {"2 sections: the loader halts after each, and CONTINUE reads the next.",
          "It loads 10200 to 10201 (octal).", "It loads 11000 (octal)."},
         {"Section 1, rows 20 to 33: 3 words and the checksum, which is right.",
          "Section 2, rows 39 to 44: 2 words and the checksum, which is right."}},
        {"lettering, Ctrl-Z, rubouts and blank tape after the end", "pdp8-bin",
         Rows(20, 0200) + BIN + Rows(20, 0200) + LETTERING + Rows(6, 0), BIN, 0200,
         {"3 words and the checksum, which is right."},
         {"  rows 54 to 72: after the end, which the loader does not read, 19 rows"}},
        {"an archive's line of text before the leader", "pdp8-bin",
         "FOCAL-69 TAPE 1\r\n" + Rows(10, 0200) + BIN + Rows(10, 0200), BIN, 0200,
         {"It loads 10200 to 10201 (octal)."},
         {"  rows 0 to 16: before the leader, which the loader does not read"}},
        {"two areas", "pdp8-bin", Rows(3, 0200) + TWO_AREAS + Checksum(TWO_AREAS) + Rows(3, 0200),
         TWO_AREAS + Checksum(TWO_AREAS), 0200,
         {"5 words and the checksum, which is right.", "It loads 00200 to 00201 and 04000 (octal)."},
         {}},
        {"a leader of 302 and 200", "pdp8-rim", Pairs302(10) + RIM + Rows(10, 0200), RIM, 0200,
         {"2 addresses, each with its data word.", "It loads 00200 to 00201 (octal)."},
         {"  rows 0 to 19: leader, 20 rows"}},
        {"no leader", "pdp8-rim", RIM + Rows(5, 0200), RIM, 0200,
         {"2 addresses, each with its data word."}, {"  rows 0 to 7: data"}},
        {"frames after the end block", "pdp11-lda", LDA + "\377\377XYZ" + Rows(3, 0), LDA, 0,
         {"It loads 001000 to 001021 (octal);"},
         {"  rows 41 to 48: after the end, which the loader does not read, 8 rows"}},
        {"CP/M's Ctrl-Z padding", "intel-hex", HEX + Rows(30, 0x1A), HEX, 0,
         {"It loads 0100 to 0107 (hex);"},
         {"  rows 0 to 54: data",
          "  rows 55 to 84: after the end, which the loader does not read, 30 rows"}},
        {"no line end after the end record", "intel-hex", HEX.substr(0, HEX.size() - 2),
         HEX.substr(0, HEX.size() - 2), 0, {"It loads 0100 to 0107 (hex);"}, {}},
    };
}

} // namespace

TEST_CASE("tapes as the loaders take them: told by tapeview check, punched by tapeprep --format")
{
    Folder folder("formats");
    for (const Tape& t : Tapes()) {
        INFO(t.what);
        REQUIRE(WriteFileBytes(folder / "in.bin", t.tape));
        const ToolRun check = RunTool("..\\tapeview.exe", "check " + Quoted(folder / "in.bin"));
        INFO(check.output);
        CHECK(check.exitCode == 0);
        CHECK(check.lines.at(0) == folder / "in.bin" + " holds a tape in " + t.format
                                       + ", and it checks:");
        for (const std::vector<std::string>* lines : {&t.says, &t.fileSays})
            for (const std::string& line : *lines)
                CHECK(Has(check, line));

        const ToolRun prep = RunTool("..\\tapeprep.exe", "--format " + std::string(t.format)
                                     + " --leader 25 --trailer 25 " + Quoted(folder / "in.bin")
                                     + " " + Quoted(folder / "out.bin"));
        INFO(prep.output);
        CHECK(prep.exitCode == 0);
        CHECK(ReadFileBytes(folder / "out.bin") == Rows(25, t.leader) + t.data + Rows(25, t.leader));
        const ToolRun punched = RunTool("..\\tapeview.exe", "check " + Quoted(folder / "out.bin"));
        INFO(punched.output);
        CHECK(punched.exitCode == 0);
        for (const std::string& line : t.says)
            CHECK(Has(punched, line));
    }
}
