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
