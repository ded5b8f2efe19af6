// tapeprep --format: each format punched between its own leader and
// trailer, a label before the leader, what does not go with --format; and
// tapeview check agrees with each tape.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "format_tapes.h"
#include "tape_layout.h"

#include <doctest/doctest.h>

#include <set>
#include <string>
#include <vector>

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
        const ToolRun prep = RunTool("..\\tapeprep.exe", "--format " + std::string(c.options)
                              + " --leader 30 --trailer 40 " + Quoted(folder / "in.bin") + " "
                              + Quoted(folder / "out.bin"));
        INFO(prep.output);
        CHECK(prep.exitCode == 0);
        CHECK(prep.output == "");
        CHECK(ReadFileBytes(folder / "out.bin") == Rows(30, c.code) + c.data + Rows(40, c.code));

        const ToolRun check = RunTool("..\\tapeview.exe", "check " + Quoted(folder / "out.bin"));
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
        const ToolRun run = RunTool("..\\tapeprep.exe", c.arguments);
        INFO(run.output);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.output.find("tapeprep: " + c.says) == 0);
        CHECK((run.output.find("usage: tapeprep") != std::string::npos) == (c.exitCode == 2));
        CHECK(ReadFileBytes(folder / "out.bin") == "an earlier tape");
        CHECK(folder.Names() == std::set<std::string>{"lda.bin", "mark.hex", "out.bin"});
    }
    // A file that checks as another format is named so.
    const ToolRun wrong = RunTool("..\\tapeprep.exe", "--format intel-hex" + lda);
    CHECK(wrong.exitCode == 1);
    CHECK(Has(wrong, "Nothing was written. It checks as pdp11-lda: is that its format?"));
}

TEST_CASE("a label before the leader, as each loader skips it; every letter on an Intel tape")
{
    Folder folder("formats");
    REQUIRE(WriteFileBytes(folder / "bin.bin", BIN));
    REQUIRE(WriteFileBytes(folder / "lda.bin", LDA));
    REQUIRE(WriteFileBytes(folder / "hex.bin", HEX));
    auto prepare = [&](const std::string &arguments, const std::string &in) {
        const ToolRun run = RunTool("..\\tapeprep.exe", "--leader 25 --trailer 25 " + arguments
                                                            + " " + Quoted(folder / in) + " "
                                                            + Quoted(folder / "out.bin"));
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
        const ToolRun check = RunTool("..\\tapeview.exe", "check " + Quoted(folder / "out.bin"));
        INFO(check.output);
        CHECK(check.exitCode == 0);
        CHECK(check.lines.at(0).find("holds a tape in " + std::string(c.format)) != std::string::npos);
        CHECK(Has(check, "  rows 0 to " + std::to_string(c.before - 1)
                             + ": before the leader, which the loader does not read"));
    }
}
