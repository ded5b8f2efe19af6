// tapeview compare: a tape against what a reader read back, leader and
// trailer left out, rows lost or gained in one place named as such.
#include "tapeview_steps.h"

namespace {

// The row compare marks, with both files' rows side by side.
std::string MarkedRow(const ToolRun& run)
{
    for (const std::string& line : SplitLines(run.output))
        if (line[0] == '>')
            return line;
    return std::string();
}

// Rows lost or gained where the files first differ: the rest matches
// shifted, and no short read is told.
void CheckShifted(const ToolRun& run, const std::string& actual, const std::string& where,
                  const std::string& rest, const std::string& shift)
{
    INFO(run.output);
    CHECK(run.exitCode == 1);
    CHECK(Contains(run.output, actual + where + ":\r\nthey first differ there; the rest ("
                                   + rest + ") matches shifted by " + shift + ".\r\n"));
    CHECK_FALSE(Contains(run.output, "ends early"));
    CHECK_FALSE(Contains(run.output, "goes on too long"));
}

} // namespace

TEST_CASE("compare leaves out leader and trailer, names the first difference, a short read")
{
    const std::string expected = TempPath("expected"), actual = TempPath("actual");
    const std::string files = "\"" + expected + "\" \"" + actual + "\"";
    const std::string words("HELLO\0WORLD", 11);
    REQUIRE(WriteFileBytes(expected, std::string(5, '\0') + words + std::string(5, '\0')));
    auto compare = [&](const std::string& readBack, const std::string& options = "") {
        REQUIRE(WriteFileBytes(actual, readBack));
        return RunTool("..\\tapeview.exe", "compare " + files + options);
    };
    // A blank row inside counts; the rows at either end do not.
    ToolRun run = compare(std::string(2, '\0') + words + std::string(9, '\0'));
    CHECK(run.exitCode == 0);
    CHECK(run.output == "The same: 11 bytes compared, without the rows of 00 at either end.\r\n");
    CHECK(compare("HELLOWORLD").exitCode == 1);

    run = compare(std::string(3, '\0') + words.substr(0, 7) + "XRLD");
    CHECK(run.exitCode == 1);
    CHECK(Contains(run.output, "First difference at offset 12 of " + expected + ": 4F there, 58"));
    CHECK(Contains(run.output, "(offset 10 of " + actual + ")"));
    CHECK(Contains(run.output, "tapeprep --from 12 makes a"));
    // Both files' rows side by side, the first difference marked.
    CHECK(MarkedRow(run) == ">     12 | O  O.OOO|  4F  O           10 | O OO.   |  58  X");

    // The tape read back ends early: the piece starts where it stopped.
    run = compare(std::string("\0HELLO", 6));
    CHECK(Contains(run.output, actual + " ends early, at offset 10 of " + expected
                                   + ":\r\n6 more bytes were not read."));
    CHECK(Contains(run.output, "tapeprep --from 10 makes a"));
    CHECK(MarkedRow(run) == ">     10 |     .   |  00                 (end)");
    run = compare(std::string("\0HELLO\0WORL", 11));
    CHECK(Contains(run.output, ":\r\n1 more byte was not read."));
    run = compare(words + "!!");
    CHECK(run.exitCode == 1);
    CHECK(Contains(run.output, "goes on too long:\r\n2 bytes more than " + expected + ", from its offset 11."));
    CHECK_FALSE(Contains(run.output, "tapeprep --from"));

    // A row lost mid-tape, two lost in one place, one gained: where they
    // first differ, and that the rest matches shifted; no short read.
    run = compare("HELO" + words.substr(5));
    CheckShifted(run, actual, " lost 1 row at offset 8 of " + expected, "7 rows", "1 row");
    CHECK(Contains(run.output, "tapeprep --from 8 makes a"));
    run = compare(words.substr(0, 7) + "LD");
    CheckShifted(run, actual, " lost 2 rows at offset 12 of " + expected, "2 rows", "2 rows");
    run = compare(words.substr(0, 9) + "RLD");
    CheckShifted(run, actual, " has 1 row too many at its offset 9 (offset 14 of " + expected + ")",
                 "2 rows", "1 row");

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
    CheckShifted(run, actual, " lost 1 row at offset 2 of " + expected, "2 rows", "1 row");
    REQUIRE(WriteFileBytes(expected, "A"));
    CHECK(compare("A").output == "The same: 1 byte compared, without the rows of 00 at either end.\r\n");
    CHECK(RunTool("..\\tapeview.exe", "compare " + Quoted(expected) + " " + Quoted(actual + ".none"))
              .exitCode
          == 2);
    for (const std::string& path : {expected, actual})
        DeleteFileA(path.c_str());
}

TEST_CASE("compare of a loader tape leaves out what lies before its data and after")
{
    const std::string expected = TempPath("expected"), actual = TempPath("actual");
    // A pdp8-bin tape: lettering between rubouts, 200 leader, an origin, a
    // word and the checksum, 200 trailer, blank tape.
    const std::string leader(6, '\x80'), data("\x42\x00\x01\x02\x01\x05", 6);
    const std::string tape = std::string("\0\xFFHI\xFF\0", 6) + leader + data + leader
                             + std::string(3, '\0');
    REQUIRE(WriteFileBytes(expected, tape));
    auto compare = [&](const std::string& readBack) {
        REQUIRE(WriteFileBytes(actual, readBack));
        return RunTool("..\\tapeview.exe", "compare " + Quoted(expected) + " " + Quoted(actual));
    };
    // Started partway into the leader, run off partway through the trailer.
    ToolRun run = compare(std::string(2, '\x80') + data + "\x80");
    CHECK(run.exitCode == 0);
    CHECK(run.output == "The same: 6 bytes of pdp8-bin data compared, without leader and\r\n"
                        "trailer.\r\n");
    // A hole not seen: the row, its channel and its distance into the data.
    std::string misread = std::string(3, '\0') + leader + data;
    misread[9 + 3] = '\x00';
    run = compare(misread);
    INFO(run.output);
    CHECK(run.exitCode == 1);
    CHECK(Contains(run.output, "First difference at offset 15 of " + expected + ": 02 there, 00"));
    CHECK(Contains(run.output, "Only that row differs: channel 2 punched, not read;\r\n"
                               "the rest (2 rows) matches.\r\n"
                               "Offset 15 is 0.3 in (0.8 cm) from the start of the data.\r\n"));
    for (const std::string& path : {expected, actual})
        DeleteFileA(path.c_str());
}
