// A fault in each loader format: refused by tapeprep --format with its
// place, found by tapeview check with its distance along the tape.
#include "format_tapes.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

struct Fault {
    const char* format;
    std::string tape;
    std::string fault;    // the fault's two lines
    const char* inches;   // the offset's distance
};

// The PDP-8 loaders': BIN's checksum, origin, rubouts, a rubout inside a
// word of a second section; RIM's addresses.
std::vector<Fault> Pdp8Faults()
{
    const std::string leader = Rows(3, 0200);
    const std::string checksum = Checksum(BIN_COUNTED);
    return {
        {"pdp8-bin", leader + BIN_COUNTED + Word(0244) + "\200",
         "Word 4, offset 9: found checksum 0244;|"
         "expects 0243: the sum of the origin and data frames.", "0.9 in (2.3 cm)"},
        {"pdp8-bin", leader + Word(07300) + BIN_COUNTED + "\200",
         "Word 1, offset 3: found a data word before the section's origin;|"
         "expects an origin first: channel 7 on its first frame.", "0.3 in (0.8 cm)"},
        // The loader takes the rubout for the word's second frame.
        {"pdp8-bin", leader + BIN_COUNTED + checksum + "\200" + Word(0300, true) + "\073\377AB\377"
                         + Rows(1, 0) + Word(0300) + "\200",
         "Word 5, offset 15: found a rubout (377) inside a word;|expects the word's second "
         "frame: the loader takes the rubout for it,\r\nand reads what follows misaligned.",
         "1.5 in (3.8 cm)"},
        {"pdp8-bin", leader + BIN_COUNTED + "\377AB" + checksum,
         "Word 4, offset 9: found a rubout (377) with no second one after it;|"
         "expects a second rubout to end the text the loader skips.", "0.9 in (2.3 cm)"},
        {"pdp8-rim", leader + RIM + Word(05200) + "\200",
         "Word 5, offset 11: found a data word with no address before it;|"
         "expects an address first: RIM gives each data word its own.", "1.1 in (2.8 cm)"},
    };
}

// The PDP-11 absolute loader's: a block's checksum and count, the end block,
// a frame between blocks.
std::vector<Fault> Pdp11Faults()
{
    char lda[2][40];
    const std::string block = Block(01020, "AB");
    std::snprintf(lda[0], sizeof lda[0], "octal %03o (hex %02X)",
                  static_cast<unsigned char>(block.back() ^ 1),
                  static_cast<unsigned char>(block.back() ^ 1));
    std::snprintf(lda[1], sizeof lda[1], "%03o", static_cast<unsigned char>(block.back()));
    return {
        {"pdp11-lda", LDA_FIRST + Rows(2, 0) + block.substr(0, 8) + static_cast<char>(block.back() ^ 1)
                          + Block(01000, ""),
         "Block 2, offset 33: found checksum " + std::string(lda[0]) + ";|"
         "expects octal " + lda[1] + ": the block's frames then sum to 0 modulo 256.",
         "3.3 in (8.4 cm)"},
        {"pdp11-lda", std::string("\0\1\0\4\0\0\0\0", 8),
         "Block 1, offset 3: found byte count 4;|"
         "expects 6 or more: the count includes the 6 header frames.", "0.3 in (0.8 cm)"},
        {"pdp11-lda", LDA_FIRST + Rows(3, 0),
         "Block 2, offset 26: found the end of the tape after block 1;|"
         "expects the end block: count 6 and the start address.", "2.6 in (6.6 cm)"},
        {"pdp11-lda", LDA_FIRST + "A" + Block(01000, ""),
         "Block 2, offset 23: found octal 101 (hex 41) between blocks;|"
         "expects 000, or the 001 that starts the next block.", "2.3 in (5.8 cm)"},
    };
}

// Intel hex: a record's checksum, digits, line end, the later types with
// their remedies, the end record and the parity in channel 8.
std::vector<Fault> IntelHexFaults()
{
    const std::string even = WithParity(HEX, false, false);
    std::string flipped = even;
    flipped[50] ^= 0x80;  // a row of the end record
    char wrongParity[4];
    std::snprintf(wrongParity, sizeof wrongParity, "%02X", static_cast<unsigned char>(flipped[50]));
    return {
        // Far along the tape: 1,200 rows of leader.
        {"intel-hex", Rows(1200, 0) + Record(0x100, "AB").substr(0, 13) + "FF\r\n",
         "Record 1, offset 1213: found checksum FF;|"
         "expects 7A: the two's complement of the sum of the record's bytes.",
         "121.3 in (308.1 cm)"},
        {"intel-hex", Record(0x100, "AB") + ":03010500c3000134\r\n:00000001FF\r\n",
         "Record 2, offset 26: found 'c' (hex 63);|expects a hex digit, 0 to 9 or A to F.",
         "2.6 in (6.6 cm)"},
        {"intel-hex", LfOnly(HEX),
         "Record 1, offset 21: found hex 0A after the checksum;|"
         "expects CR LF (tapeprep --newline crlf makes it) to end the record.",
         "2.1 in (5.3 cm)"},
        {"intel-hex", Record(0, "", 2) + HEX,
         "Record 1, offset 7: found record type 02, an address base of 0;|expects 00 (data) or "
         "01 (end), as an 8-bit loader takes: delete the line,\r\nwhich moves no data.",
         "0.7 in (1.8 cm)"},
        {"intel-hex", Record(0, std::string("\0\0\1\0", 4), 3) + HEX,
         "Record 1, offset 7: found record type 03, a start address;|expects 00 (data) or 01 "
         "(end), as an 8-bit loader takes: delete the line;\r\nit starts where the end record "
         "says.", "0.7 in (1.8 cm)"},
        {"intel-hex", Record(0, std::string("\0\1", 2), 4) + HEX,
         "Record 1, offset 7: found record type 04, an address base of 0001;|expects 00 (data) "
         "or 01 (end): the data after it lies above 64 KiB,\r\nbeyond what an 8-bit loader "
         "addresses.", "0.7 in (1.8 cm)"},
        {"intel-hex", Record(0, std::string("\0\0\1\0", 4), 5) + HEX,
         "Record 1, offset 7: found record type 05, a start address;|expects 00 (data) or 01 "
         "(end), as an 8-bit loader takes: delete the line;\r\nit starts where the end record "
         "says.", "0.7 in (1.8 cm)"},
        // No line end a conversion could mend: no hint of --newline.
        {"intel-hex", HEX.substr(0, 21),
         "Record 1, offset 21: found the end of the tape after the checksum;|"
         "expects CR LF to end the record.", "2.1 in (5.3 cm)"},
        {"intel-hex", HEX.substr(0, HEX.size() - 13) + Rows(30, 0),
         "Record 3, offset 72: found the end of the tape after record 2;|"
         "expects the end record, :00000001FF.", "7.2 in (18.3 cm)"},
        {"intel-hex", flipped,
         "Record 3, offset 50: found hex " + std::string(wrongParity)
             + ": channel 8 breaks the parity;|"
               "expects channel 8 as the rows before have it (ascii-even).",
         "5.0 in (12.7 cm)"},
    };
}

} // namespace

TEST_CASE("a fault refused by tapeprep with its place, found by tapeview check with its inches")
{
    Folder folder("formats");
    REQUIRE(WriteFileBytes(folder / "out.bin", "an earlier tape"));
    std::vector<Fault> cases = Pdp8Faults();
    for (const std::vector<Fault>& more : {Pdp11Faults(), IntelHexFaults()})
        cases.insert(cases.end(), more.begin(), more.end());
    for (const Fault& c : cases) {
        INFO(c.format << ": " << c.fault);
        REQUIRE(WriteFileBytes(folder / "in.bin", c.tape));
        std::string fault = c.fault;
        fault.replace(fault.find('|'), 1, "\r\n");
        const ToolRun prep = RunTool("..\\tapeprep.exe", "--format " + std::string(c.format) + " "
                              + Quoted(folder / "in.bin") + " " + Quoted(folder / "out.bin"));
        INFO(prep.output);
        CHECK(prep.exitCode == 1);
        CHECK(prep.output.find("tapeprep: " + folder / "in.bin" + " is not a good "
                               + c.format + " tape.\r\n" + fault + "\r\nNothing was written.")
              == 0);
        CHECK(ReadFileBytes(folder / "out.bin") == "an earlier tape");
        CHECK(folder.Names() == std::set<std::string>{"in.bin", "out.bin"});

        const ToolRun check = RunTool("..\\tapeview.exe", "check " + Quoted(folder / "in.bin"));
        INFO(check.output);
        CHECK(check.exitCode == 1);
        CHECK(check.output.find(folder / "in.bin" + " holds a tape in " + c.format
                                + " with a fault:\r\n" + fault + "\r\nOffset ")
              == 0);
        CHECK(check.output.find(" is " + std::string(c.inches) + " from the start of the tape.")
              != std::string::npos);
        // The fault's row marked among its neighbours.
        std::size_t line = 3;
        while (line + 1 < check.lines.size() && check.lines[line].rfind("Offset ", 0) != 0)
            ++line;
        const std::size_t at = std::stoul(check.lines.at(line).substr(7));
        bool marked = false;
        for (const std::string& line : check.lines)
            marked = marked || (line.rfind(">", 0) == 0
                                && line.find(" " + std::to_string(at) + " |") != std::string::npos);
        CHECK((marked || at == c.tape.size()));
        // Each line within 79 columns, the file's name aside.
        for (const ToolRun* run : {&prep, &check})
            for (const std::string& line : run->lines)
                CHECK(line.size() - (line.find(folder.path) != std::string::npos
                                         ? folder.path.size() : 0) <= 79);
    }
}
