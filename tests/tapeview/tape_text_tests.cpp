// tapeview's text of a tape: a row a byte with a hole in each set bit's
// channel, its length and time; an EIA tape's characters.
#include "tapeview_steps.h"

TEST_CASE("text rows have a hole in each set bit's channel and always the feed hole")
{
    // The length in rows, feet and inches at 10 rows to the inch, metres,
    // and the time a person waits with the program on a 75 rows a second
    // punch: 12 ms of blank data lines, then 1/75 s busy, a row.
    for (const auto& [rows, length] : std::vector<std::pair<std::size_t, std::string>>{
             {1200, "1,200 rows: 10 ft, 3.05 m, 30.4 s"},
             {120000, "120,000 rows: 1000 ft, 304.80 m, 50 min 40 s"},
             {1326, "1,326 rows: 11 ft 0.6 in, 3.37 m, 33.6 s"},
             {2368, "2,368 rows: 19 ft 8.8 in, 6.01 m, 1 min 0 s"},
             {0, "0 rows: 0 in, 0.00 m, 0.0 s"}}) {
        const std::string tape(rows, 'x');
        CHECK(SplitLines(TapeText(tape))[0] == length + " to punch at 25.3 ms a row.");
        CHECK(Contains(TapeSvg(tape, 64), ">Tape, " + length + " to punch at 25.3 ms a row<"));
    }

    const std::vector<std::string> lines = SplitLines(TapeText(std::string("\x00\xFF\x41", 3)));
    REQUIRE(lines.size() == 6);
    CHECK(lines[0] == "3 rows: 0.3 in, 0.01 m, 0.1 s to punch at 25.3 ms a row.");
    CHECK(Contains(lines[1], "channel 8 (bit 7) left, 1 (bit 0) right"));
    CHECK(lines[3] == "     0 |     .   |  00");
    CHECK(lines[4] == "     1 |OOOOO.OOO|  FF");
    CHECK(lines[5] == "     2 | O   .  O|  41  A");

    // Every byte against the column header: a hole under channel n exactly
    // when bit n-1 is set, the feed hole between channels 4 and 3.
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte += static_cast<char>(byte);
    const std::vector<std::string> rows = SplitLines(TapeText(everyByte));
    REQUIRE(rows.size() == 259);
    const std::string& header = rows[2];
    CHECK(header.find('3') == header.find('4') + 2);
    for (int byte = 0; byte < 256; ++byte) {
        const std::string& row = rows[3 + byte];
        INFO("byte " << byte << ": " << row);
        for (int channel = 1; channel <= 8; ++channel)
            CHECK(row[header.find(static_cast<char>('0' + channel))]
                  == ((byte >> (channel - 1) & 1) ? 'O' : ' '));
        CHECK(row[header.find('4') + 1] == '.');
    }
}

TEST_CASE("text --code eia: an EIA tape's characters, ? for a row with a hole lost")
{
    Folder folder("tapeview");
    REQUIRE(WriteFileBytes(folder / "program.txt", "G1 X-.5\t\x7F\n"));
    REQUIRE(RunTool("..\\tapeprep.exe", "--code eia --leader 1 --trailer 0 "
                                            + Quoted(folder / "program.txt") + " "
                                            + Quoted(folder / "program.tape"))
                .exitCode
            == 0);
    std::string tape = ReadFileBytes(folder / "program.tape");
    REQUIRE(tape.size() == 11);
    tape[4] = static_cast<char>(tape[4] & ~0x04);  // X, 37h, without its channel 3
    REQUIRE(WriteFileBytes(folder / "program.tape", tape));
    const std::string file = " " + Quoted(folder / "program.tape");
    const ToolRun eia = RunTool("..\\tapeview.exe", "text" + file + " --code eia");
    CHECK(eia.exitCode == 0);
    const std::vector<std::string> lines = SplitLines(eia.output);
    REQUIRE(lines.size() == 4 + tape.size());
    CHECK(lines[2] == "chr: EIA RS-244, EOB = end of block; ? = no EIA character");
    const std::vector<std::string> columns = {"00",    "67  G", "01  1",   "10   ",   "33  ?", "40  -",
                                              "6B  .", "15  5", "3E  TAB", "7F  DEL", "80  EOB"};
    for (std::size_t row = 0; row < tape.size(); ++row) {
        INFO(lines[4 + row]);
        CHECK(lines[4 + row].substr(20) == columns[row]);
    }
    // By default the bytes' own characters, as for any file.
    const ToolRun raw = RunTool("..\\tapeview.exe", "text" + file);
    CHECK(SplitLines(raw.output).at(4).substr(20) == "67  g");
    const ToolRun wrong = RunTool("..\\tapeview.exe", "text" + file + " --code ita2");
    CHECK(wrong.exitCode == 2);
    CHECK(wrong.output.find("tapeview: --code takes raw or eia") == 0);
}
