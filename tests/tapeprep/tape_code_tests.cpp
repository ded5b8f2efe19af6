// tapeprep's codes: ASCII with each parity, ITA2 and US-TTY with their
// shifts, EIA RS-244; the line ends as asked.
#include "tapeprep_steps.h"

#include <utility>
#include <vector>

TEST_CASE("ASCII with each parity in channel 8, line ends as asked, the label as it is")
{
    // H 48 (2 holes), i 69 (4), C 43 (3), LF 0A (2).
    CHECK(Coded("HiC\n", "--code ascii-even") == "\x48\x69\xC3\x0A");
    CHECK(Coded("HiC\n", "--code ascii-odd") == "\xC8\xE9\x43\x8A");
    CHECK(Coded("HiC\n", "--code ascii-mark") == "\xC8\xE9\xC3\x8A");
    CHECK(Coded("HiC\n", "--code ascii-space") == "\x48\x69\x43\x0A");
    // a E1, b E2, c 63, d E4, CR 8D, LF 0A: LF, CR LF and a lone CR each one line end.
    const std::string text = "a\nb\r\nc\rd";
    CHECK(Coded(text, "--code ascii-even --newline crlf") == "\xE1\x8D\x0A\xE2\x8D\x0A\x63\x8D\x0A\xE4");
    CHECK(Coded(text, "--code ascii-even --newline lf") == "\xE1\x0A\xE2\x0A\x63\x0A\xE4");
    CHECK(Coded(text, "--code ascii-even --newline cr") == "\xE1\x8D\xE2\x8D\x63\x8D\xE4");
    CHECK(Coded(text, "--code ascii-even") == "\xE1\x0A\xE2\x8D\x0A\x63\x8D\xE4");
    // The label's lettering keeps channel 8 blank whatever the parity.
    CHECK(Coded("C", "--code ascii-mark --label A") == std::string("\0\x3F\x48\x48\x48\x3F\0\xC3", 8));
}

TEST_CASE("ITA2 and US-TTY: letters and figures with their shifts, again after a space")
{
    // LTRS H I space FIGS 5 , space LTRS O K FIGS ? CR LF 1 2 space FIGS 3 ' BEL
    const std::string text = "Hi 5, ok?\r\n12 3'\a";
    const std::string common = "\x1F\x14\x06\x04\x1B\x10\x0C\x04\x1F\x18\x0F\x1B\x19\x08\x02"
                               "\x17\x13\x04\x1B\x01";
    CHECK(Coded(text, "--code ita2") == common + "\x05\x0B");
    CHECK(Coded(text, "--code us-tty") == common + "\x0B\x05");
    // A line end keeps the shift; the newline comes first, then the code.
    CHECK(Coded("A\nb", "--code ita2 --newline crlf") == "\x1F\x03\x08\x02\x19");
    CHECK(Coded("=;", "--code ita2 --to 1") == "\x1F\x1B\x1E");
    CHECK(Coded("$;", "--code us-tty") == "\x1F\x1B\x09\x1E");
    CHECK(Coded("", "--code ita2") == "");
    // From the ITA2 chart, holes 1 to 5 as bits 0 to 4: - on A (1 2), ( on K (1 2 3 4),
    // ) on L (2 5), : on C (2 3 4), . on M (3 4 5), / on X (1 3 4 5); US TTY has them there too.
    for (const char* code : {"--code ita2", "--code us-tty"})
        CHECK(Coded("-():./", code) == "\x1F\x1B\x03\x0F\x12\x0E\x1C\x1D");
}

TEST_CASE("EIA RS-244: card zones and digits, odd holes, a line end is channel 8 alone")
{
    // The standard's construction: 8-4-2-1 in channels 1 to 4, the card's
    // zones 0, 11 and 12 in channel 6, 7 and both, channel 5 making the
    // holes odd.
    auto odd = [](unsigned row) {
        unsigned holes = 0;
        for (unsigned bits = row; bits; bits >>= 1)
            holes += bits & 1;
        return static_cast<char>(holes % 2 ? row : row | 0x10);
    };
    std::string characters, expected;
    auto add = [&](char character, unsigned row) {
        characters += character;
        expected += odd(row);
    };
    add('0', 0x20);
    for (unsigned digit = 1; digit <= 9; ++digit) {
        add(static_cast<char>('0' + digit), digit);
        add(static_cast<char>('A' + digit - 1), 0x60 | digit);
        add(static_cast<char>('J' + digit - 1), 0x40 | digit);
        if (digit >= 2)
            add(static_cast<char>('S' + digit - 2), 0x20 | digit);
    }
    // Space is channel 5 alone, minus the 11 zone, plus 12, / 0-1, the point
    // 12-3-8, the comma 0-3-8, tab 0-6-8, DEL 12-7-8: every channel but 8.
    for (const auto& [character, row] : std::vector<std::pair<char, unsigned>>{
             {' ', 0x00}, {'-', 0x40}, {'+', 0x60}, {'/', 0x21}, {'.', 0x6B}, {',', 0x2B},
             {'\t', 0x2E}, {'\x7F', 0x6F}})
        add(character, row);
    CHECK(Coded(characters, "--code eia") == expected);
    CHECK(Coded("g01 x-1.5", "--code eia") == Coded("G01 X-1.5", "--code eia"));
    CHECK(Coded("G01 X-1.5\r\n", "--code eia") == "\x67\x20\x01\x10\x37\x40\x01\x6B\x15\x80");
    // LF, CR LF and a lone CR each end one block; NUL stays blank tape.
    CHECK(Coded(std::string("a\nb\r\nc\rd\0", 9), "--code eia")
          == std::string("\x61\x80\x62\x80\x73\x80\x64\0", 8));
    // The lettering keeps channel 8 blank: no end of block before the data.
    CHECK(Coded("1", "--code eia --label A") == std::string("\0\x3F\x48\x48\x48\x3F\0\x01", 8));
}
