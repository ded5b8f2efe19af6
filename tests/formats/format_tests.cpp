// The loader formats through the built tools: tapeprep --format punches a
// file only when it checks, between its format's own leader and trailer,
// and tapeview check finds the format and the first fault on any tape.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "tape_layout.h"
#include "test_support.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_TIMEOUT_MS = 60000;

struct Run {
    DWORD exitCode;
    std::vector<std::string> lines;
    std::string output;
};

Run Tool(const char* program, const std::string& arguments)
{
    Run run;
    run.exitCode = RunProcessCapturing("\"" + SiblingPath(program) + "\" " + arguments,
                                       RUN_TIMEOUT_MS, run.output);
    run.lines = SplitLines(run.output);
    return run;
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

bool Has(const Run& run, const std::string& line)
{
    for (const std::string& each : run.lines)
        if (each == line)
            return true;
    return false;
}

std::string Rows(std::size_t count, unsigned char frame)
{
    return std::string(count, static_cast<char>(frame));
}

// PDP-8: a 12-bit word in two frames of 6 bits, channel 7 on an origin's first.
std::string Word(unsigned value, bool origin = false)
{
    return {static_cast<char>((value >> 6 & 077) | (origin ? 0100 : 0)),
            static_cast<char>(value & 077)};
}

// The BIN checksum of the origin and data frames given.
std::string Checksum(const std::string& counted)
{
    unsigned sum = 0;
    for (char frame : counted)
        sum += static_cast<unsigned char>(frame);
    return Word(sum & 07777);
}

// PDP-11: a block at address with its data and the checksum that makes it sum to 0.
std::string Block(unsigned address, const std::string& data)
{
    const std::size_t count = data.size() + 6;
    std::string block = {'\1', '\0', static_cast<char>(count & 0xFF), static_cast<char>(count >> 8),
                         static_cast<char>(address & 0xFF), static_cast<char>(address >> 8)};
    block += data;
    unsigned sum = 0;
    for (char frame : block)
        sum += static_cast<unsigned char>(frame);
    return block + static_cast<char>(-sum & 0xFF);
}

// Intel hex: a record with its checksum and CR LF.
std::string Record(unsigned address, const std::string& data, unsigned type = 0)
{
    const std::string bytes = std::string{static_cast<char>(data.size()),
                                          static_cast<char>(address >> 8),
                                          static_cast<char>(address & 0xFF),
                                          static_cast<char>(type)} + data;
    std::string text = ":";
    unsigned sum = 0;
    char digits[4];
    for (char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(byte));
        text += digits;
        sum += static_cast<unsigned char>(byte);
    }
    std::snprintf(digits, sizeof digits, "%02X", -sum & 0xFF);
    return text + digits + "\r\n";
}

// Channel 8 set for the rows' odd (or even) parity, or always.
std::string WithParity(const std::string& text, bool mark, bool odd)
{
    std::string coded;
    for (char c : text) {
        unsigned holes = 0;
        for (unsigned bits = static_cast<unsigned char>(c); bits; bits >>= 1)
            holes += bits & 1;
        coded += static_cast<char>(c | ((mark || (holes % 2 == 0) == odd) ? 0x80 : 0));
    }
    return coded;
}

const std::string BIN_COUNTED = Word(0200, true) + Word(07300) + Word(01234);
// Field 1, text between rubouts (with a 200 in it that is no trailer), the checksum.
const std::string BIN = "\310" + Word(0200, true) + Word(07300) + "\377\200AB\377" + Word(01234)
                        + Checksum(BIN_COUNTED);
const std::string RIM = Word(0200, true) + Word(07300) + Word(0201, true) + Word(05200);
const std::string LDA_FIRST = Block(01000, std::string("\0\x80\xFF\1\2\3\4\5\6\7\x10\x11\x12\x13\x14\x15", 16));
const std::string LDA = LDA_FIRST + std::string(2, '\0') + Block(01020, std::string("\x01\x00", 2)) + Block(01001, "");
const std::string HEX = Record(0x100, std::string("\x3E\x01\xD3\x00\x76", 5))
                        + Record(0x105, std::string("\xC3\x00\x01", 3))
                        + Record(0x100, "", 1);

std::string LfOnly(std::string text)
{
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

} // namespace

TEST_CASE("each format punched by tapeprep --format: the data unchanged, the format's leader, "
          "and tapeview check agrees")
{
    Folder folder("formats");
    struct Case {
        const char* options;
        std::string in;
        std::string data;    // as punched
        unsigned char code;  // of leader and trailer
        std::vector<std::string> says;
    };
    const Case cases[] = {
        // The file's own leader and trailer are replaced, not added to.
        {"pdp8-bin", Rows(5, 0200) + BIN + Rows(3, 0200) + Rows(2, 0), BIN, 0200,
         {"3 words and the checksum, which is right.", "It loads 10200 to 10201 (octal)."}},
        {"pdp8-rim", RIM, RIM, 0200,
         {"2 addresses, each with its data word.", "It loads 00200 to 00201 (octal)."}},
        {"pdp11-lda", Rows(7, 0) + LDA + Rows(3, 0), LDA, 0,
         {"2 blocks and the end block, every checksum right.", "It loads 001000 to 001021 (octal);",
          "the end block's address 001001 is odd: the loader halts."}},
        {"intel-hex", Rows(10, 0) + HEX, HEX, 0,
         {"2 records and the end record, every checksum right;",
          "channel 8 as --code ascii-space punches it.", "It loads 0100 to 0107 (hex);",
          "its end record gives the start address 0100."}},
        // A file from Linux: its line ends made CR LF, then the code.
        {"intel-hex --code ascii-mark --newline crlf", LfOnly(HEX), WithParity(HEX, true, false),
         0x80, {"channel 8 as --code ascii-mark punches it."}},
        {"intel-hex --code ascii-odd", HEX, WithParity(HEX, false, true), 0x80,
         {"channel 8 as --code ascii-odd punches it."}},
    };
    for (const Case& c : cases) {
        INFO(c.options);
        REQUIRE(WriteFileBytes(folder / "in.bin", c.in));
        const Run prep = Tool("..\\tapeprep.exe", "--format " + std::string(c.options)
                              + " --leader 30 --trailer 40 " + Quoted(folder / "in.bin") + " "
                              + Quoted(folder / "out.bin"));
        INFO(prep.output);
        CHECK(prep.exitCode == 0);
        CHECK(prep.output == "");
        CHECK(ReadFileBytes(folder / "out.bin") == Rows(30, c.code) + c.data + Rows(40, c.code));

        const Run check = Tool("..\\tapeview.exe", "check " + Quoted(folder / "out.bin"));
        INFO(check.output);
        CHECK(check.exitCode == 0);
        CHECK(check.lines.at(0) == folder / "out.bin" + " holds a tape in "
                                       + std::string(c.options).substr(0, 9) + ", and it checks:");
        for (const std::string& line : c.says)
            CHECK(Has(check, line));
        CHECK(Has(check, "  rows 0 to 29: leader, 30 rows"));
        CHECK(Has(check, "  rows " + std::to_string(30 + c.data.size()) + " to "
                             + std::to_string(69 + c.data.size()) + ": trailer, 40 rows"));
    }
}

TEST_CASE("a fault refused by tapeprep with its place, found by tapeview check with its inches")
{
    Folder folder("formats");
    REQUIRE(WriteFileBytes(folder / "out.bin", "an earlier tape"));
    const std::string leader = Rows(3, 0200);
    const std::string checksum = Checksum(BIN_COUNTED);
    const std::string second = Record(0x105, std::string("\xC3\x00\x01", 3));
    const std::string even = WithParity(HEX, false, false);
    std::string flipped = even;
    flipped[50] ^= 0x80;  // a row of the end record
    char wrongParity[4];
    std::snprintf(wrongParity, sizeof wrongParity, "%02X", static_cast<unsigned char>(flipped[50]));
    char lda[2][40];
    const std::string block = Block(01020, "AB");
    std::snprintf(lda[0], sizeof lda[0], "octal %03o (hex %02X)",
                  static_cast<unsigned char>(block.back() ^ 1),
                  static_cast<unsigned char>(block.back() ^ 1));
    std::snprintf(lda[1], sizeof lda[1], "%03o", static_cast<unsigned char>(block.back()));
    struct Case {
        const char* format;
        std::string tape;
        std::string fault;    // the fault's two lines
        const char* inches;   // the offset's distance
    };
    const Case cases[] = {
        {"pdp8-bin", leader + BIN_COUNTED + Word(0244) + "\200",
         "Word 4, offset 9: found checksum 0244;|"
         "expects 0243: the sum of the origin and data frames.", "0.9 in (2.3 cm)"},
        {"pdp8-bin", leader + Word(07300) + BIN_COUNTED + "\200",
         "Word 1, offset 3: found a data word before any origin;|"
         "expects an origin first: channel 7 on its first frame.", "0.3 in (0.8 cm)"},
        {"pdp8-bin", leader + BIN_COUNTED + "\201" + checksum + "\200",
         "Word 4, offset 9: found octal 201 (hex 81);|"
         "expects trailer (200), a field setting (300 to 370) or data.", "0.9 in (2.3 cm)"},
        {"pdp8-bin", leader + BIN_COUNTED + "\377AB" + checksum,
         "Word 4, offset 9: found a rubout (377) with no second one after it;|"
         "expects a second rubout to end the text the loader skips.", "0.9 in (2.3 cm)"},
        {"pdp8-rim", leader + RIM + Word(05200) + "\200",
         "Word 5, offset 11: found a data word with no address before it;|"
         "expects an address first: RIM gives each data word its own.", "1.1 in (2.8 cm)"},
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
        {"pdp11-lda", LDA_FIRST + Block(01000, "") + std::string("\0A", 2),
         "Block 3, offset 31: found octal 101 (hex 41) after the end block;|"
         "expects trailer (000): the loader has stopped.", "3.1 in (7.9 cm)"},
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
         "Record 1, offset 7: found record type 02;|"
         "expects 00 (data) or 01 (end): 02 to 05 are not the 8-bit format's.", "0.7 in (1.8 cm)"},
        {"intel-hex", HEX.substr(0, HEX.size() - 13) + Rows(30, 0),
         "Record 3, offset 72: found the end of the tape after record 2;|"
         "expects the end record, :00000001FF.", "7.2 in (18.3 cm)"},
        {"intel-hex", flipped,
         "Record 3, offset 50: found hex " + std::string(wrongParity)
             + ": channel 8 breaks the parity;|"
               "expects channel 8 as the rows before have it (ascii-even).",
         "5.0 in (12.7 cm)"},
    };
    for (const Case& c : cases) {
        INFO(c.format << ": " << c.fault);
        REQUIRE(WriteFileBytes(folder / "in.bin", c.tape));
        std::string fault = c.fault;
        fault.replace(fault.find('|'), 1, "\r\n");
        const Run prep = Tool("..\\tapeprep.exe", "--format " + std::string(c.format) + " "
                              + Quoted(folder / "in.bin") + " " + Quoted(folder / "out.bin"));
        INFO(prep.output);
        CHECK(prep.exitCode == 1);
        CHECK(prep.output.find("tapeprep: " + folder / "in.bin" + " is not a good "
                               + c.format + " tape.\r\n" + fault + "\r\nNothing was written.")
              == 0);
        CHECK(ReadFileBytes(folder / "out.bin") == "an earlier tape");
        CHECK(folder.Names() == std::set<std::string>{"in.bin", "out.bin"});

        const Run check = Tool("..\\tapeview.exe", "check " + Quoted(folder / "in.bin"));
        INFO(check.output);
        CHECK(check.exitCode == 1);
        CHECK(check.output.find(folder / "in.bin" + " holds a tape in " + c.format
                                + " with a fault:\r\n" + fault + "\r\nOffset ")
              == 0);
        CHECK(check.output.find(" is " + std::string(c.inches) + " from the start of the tape.")
              != std::string::npos);
        // The fault's row marked among its neighbours.
        const std::size_t at = std::stoul(check.lines.at(3).substr(7));
        bool marked = false;
        for (const std::string& line : check.lines)
            marked = marked || (line.rfind(">", 0) == 0
                                && line.find(" " + std::to_string(at) + " |") != std::string::npos);
        CHECK((marked || at == c.tape.size()));
        // Each line within 79 columns, the file's name aside.
        for (const Run* run : {&prep, &check})
            for (const std::string& line : run->lines)
                CHECK(line.size() - (line.find(folder.path) != std::string::npos
                                         ? folder.path.size() : 0) <= 79);
    }
}

TEST_CASE("what does not go with --format is refused with the reason, OUT as it was")
{
    Folder folder("formats");
    REQUIRE(WriteFileBytes(folder / "out.bin", "an earlier tape"));
    REQUIRE(WriteFileBytes(folder / "lda.bin", LDA));
    REQUIRE(WriteFileBytes(folder / "mark.hex", LfOnly(WithParity(HEX, true, false))));
    const std::string out = " " + Quoted(folder / "out.bin");
    const std::string lda = " " + Quoted(folder / "lda.bin") + out;
    const std::string hex = " " + Quoted(folder / "mark.hex") + out;
    struct Case {
        std::string arguments;
        DWORD exitCode;
        std::string says;
    };
    const Case cases[] = {
        {"--format pdp8" + lda, 2, "there is no format pdp8. The formats are:\r\n"
                                   "  pdp8-bin, pdp8-rim, pdp11-lda, intel-hex"},
        {"--format pdp8-bin --fill 0x80" + lda, 2,
         "--format pdp8-bin punches the leader and trailer its loader wants:\r\n"
         "channel 8 alone, 200 octal. Leave out --fill."},
        {"--format pdp11-lda --from 3" + lda, 2, "--from and --to make a repair piece"},
        {"--format pdp11-lda --to 3" + lda, 2, "--from and --to make a repair piece"},
        {"--format pdp11-lda --code ascii-mark" + lda, 2,
         "pdp11-lda is binary: its frames are punched as they are, with no\r\n"
         "--code or --newline."},
        {"--format pdp8-rim --newline crlf" + lda, 2, "pdp8-rim is binary"},
        {"--format intel-hex --code ita2" + hex, 2, "intel-hex is ASCII: --code ascii-even"},
        {"--format intel-hex --newline lf" + hex, 2,
         "intel-hex records end in CR LF: --newline crlf, or none."},
        {"--format pdp8-rim --label A" + lda, 2,
         "--label: the RIM loader takes every row without channel 8 for half a\r\n"
         "word, letters too. Punch a pdp8-rim tape without a label."},
        {"--format intel-hex --leader 24" + hex, 2,
         "intel-hex needs at least 25 rows of leader and of trailer:\r\n"
         "Intel's rule for its hex tapes."},
        {"--format pdp8-bin --trailer 0" + lda, 2,
         "pdp8-bin needs at least 1 row of leader and of trailer:"},
        {"--test-strip --format pdp8-bin" + out, 2, "--test-strip makes its own label and data"},
        // The records carry a parity already: a new code or line end would break it.
        {"--format intel-hex --newline crlf" + hex, 1, "the records of " + folder / "mark.hex"
             + " carry a parity in channel 8 (ascii-mark):\r\n"
               "--newline would add line ends without it."},
        {"--format intel-hex --code ascii-even" + hex, 1,
         folder / "mark.hex" + ", line 1, column 1: byte 0xBA is not 7-bit ASCII."},
        {"--format pdp11-lda " + Quoted(folder / "none.bin") + out, 1, "cannot read"},
    };
    for (const Case& c : cases) {
        INFO(c.arguments);
        const Run run = Tool("..\\tapeprep.exe", c.arguments);
        INFO(run.output);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.output.find("tapeprep: " + c.says) == 0);
        CHECK((run.output.find("usage: tapeprep") != std::string::npos) == (c.exitCode == 2));
        CHECK(ReadFileBytes(folder / "out.bin") == "an earlier tape");
        CHECK(folder.Names() == std::set<std::string>{"lda.bin", "mark.hex", "out.bin"});
    }
    // A file that checks as another format is named so.
    const Run wrong = Tool("..\\tapeprep.exe", "--format intel-hex" + lda);
    CHECK(wrong.exitCode == 1);
    CHECK(Has(wrong, "Nothing was written. It checks as pdp11-lda: is that its format?"));
}

TEST_CASE("a label before the leader, as each loader skips it; every letter on an Intel tape")
{
    Folder folder("formats");
    REQUIRE(WriteFileBytes(folder / "bin.bin", BIN));
    REQUIRE(WriteFileBytes(folder / "lda.bin", LDA));
    REQUIRE(WriteFileBytes(folder / "hex.bin", HEX));
    auto prepare = [&](const std::string& arguments, const std::string& in) {
        const Run run = Tool("..\\tapeprep.exe", "--leader 25 --trailer 25 " + arguments + " "
                             + Quoted(folder / in) + " " + Quoted(folder / "out.bin"));
        INFO(run.output);
        CHECK(run.exitCode == 0);
        return ReadFileBytes(folder / "out.bin");
    };
    std::string letters = prepare("--label L1", "lda.bin");  // no format: the letters alone
    letters = letters.substr(25, letters.size() - 25 - 25 - LDA.size());
    REQUIRE(letters.size() == 1 + 6 * 2);

    // The BIN loader skips what rubouts bracket, wherever the tape starts.
    CHECK(prepare("--format pdp8-bin --label L1", "bin.bin")
          == "\377" + letters + "\377" + Rows(25, 0200) + BIN + Rows(25, 0200));
    // The absolute loader looks for 001: L and 1 have rows of channel 1
    // alone, so every row gets channel 8 too.
    std::string marked = letters;
    for (char& row : marked)
        row = static_cast<char>(row | 0x80);
    CHECK(prepare("--format pdp11-lda --label L1", "lda.bin")
          == marked + Rows(25, 0) + LDA + Rows(25, 0));
    const std::string all = prepare("--format intel-hex --label \"" + std::string(FontCharacters())
                                    + "\"", "hex.bin");
    CHECK(all.substr(all.size() - HEX.size() - 25, HEX.size()) == HEX);

    // tapeview check sees the letters before the leader: the rubouts with
    // them, and on an Intel tape the blank rows they end with as leader.
    const std::size_t rows = 1 + 6 * std::string(FontCharacters()).size();
    const std::size_t blank = rows - 1 - all.find_last_not_of('\0', rows - 1);
    struct Case {
        const char* format;
        const char* in;
        std::size_t before;
    };
    for (const Case& c : {Case{"pdp8-bin", "bin.bin", rows + 2}, Case{"pdp11-lda", "lda.bin", rows},
                          Case{"intel-hex", "hex.bin", rows - blank}}) {
        INFO(c.format);
        prepare("--format " + std::string(c.format) + " --label \"" + FontCharacters() + "\"", c.in);
        const Run check = Tool("..\\tapeview.exe", "check " + Quoted(folder / "out.bin"));
        INFO(check.output);
        CHECK(check.exitCode == 0);
        CHECK(check.lines.at(0).find("holds a tape in " + std::string(c.format)) != std::string::npos);
        CHECK(Has(check, "  rows 0 to " + std::to_string(c.before - 1)
                             + ": before the leader, which the loader does not read"));
    }
}

TEST_CASE("tapeview check tells which format a tape holds, or none, read back with blank rows")
{
    Folder folder("formats");
    auto check = [&](const std::string& tape) {
        REQUIRE(WriteFileBytes(folder / "tape.bin", tape));
        return Tool("..\\tapeview.exe", "check " + Quoted(folder / "tape.bin"));
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
        const Run run = check(c.tape);
        INFO(run.output);
        CHECK(run.exitCode == 0);
        CHECK(run.lines.at(0) == name + " holds a tape in " + c.format + ", and it checks:");
    }
    for (const std::string& none : {RandomBytes(3000, 7), std::string("HELLO: WORLD\r\n"),
                                    std::string()}) {
        const Run run = check(none);
        INFO(run.output);
        CHECK(run.exitCode == 1);
        CHECK(run.lines.at(0) == name + " holds none of the formats");
    }
    const Run missing = Tool("..\\tapeview.exe", "check " + Quoted(folder / "none.bin"));
    CHECK(missing.exitCode == 2);
    CHECK(missing.output.find("tapeview: cannot read") == 0);
    const Run usage = Tool("..\\tapeview.exe", "check");
    CHECK(usage.exitCode == 2);
    CHECK(usage.output.find("tapeview: check needs 1 file") == 0);
}
