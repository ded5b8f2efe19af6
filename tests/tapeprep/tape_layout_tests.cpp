// The tape that tapeprep lays out: leader, label, data and trailer, a
// repair piece, the test strip, and every letter of the font as punched.
#include "tape_layout.h"
#include "tapeprep_steps.h"

#include <set>
#include <string>
#include <vector>

namespace {

const std::string BLANK_120(120, '\0');

// The label's letters as the tape shows them: 7 rows of text, top first.
std::vector<std::string> Picture(const std::string& columns)
{
    std::vector<std::string> rows(GLYPH_ROWS);
    for (char column : columns)
        for (int dot = 0; dot < GLYPH_ROWS; ++dot)
            rows[dot] += (static_cast<unsigned char>(column) >> (GLYPH_ROWS - 1 - dot)) & 1 ? '#'
                                                                                           : '.';
    return rows;
}

} // namespace

TEST_CASE("by default: 120 blank rows, the file's bytes unchanged, 120 blank rows")
{
    Folder folder("tapeprep");
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    bytes += "\r\n\x1A\r\n" + RandomBytes(3000, 8);
    for (const std::string& data : {bytes, std::string()}) {
        REQUIRE(WriteFileBytes(folder / "in.bin", data));
        const ToolRun run = Tapeprep(Quoted(folder / "in.bin") + " " + Quoted(folder / "out.bin"));
        CHECK(run.exitCode == 0);
        CHECK(run.output == "");
        CHECK(ReadFileBytes(folder / "out.bin") == BLANK_120 + data + BLANK_120);
    }
    CHECK(folder.Names() == std::set<std::string>{"in.bin", "out.bin"});
}

TEST_CASE("leader, label, data and trailer in their places, with the options given")
{
    Folder folder("tapeprep");
    const std::string data("\x80\x00 data", 7);
    REQUIRE(WriteFileBytes(folder / "in.bin", data));
    const std::string in = Quoted(folder / "in.bin") + " ";
    const std::string out = Quoted(folder / "out.bin");

    // A and b (as B), each 5 columns, channel 7 at a letter's top, with a fill
    // row around the label and between the letters.
    const std::string a = "\x3F\x48\x48\x48\x3F";
    const std::string b = "\x7F\x49\x49\x49\x36";
    CHECK(Tapeprep("--leader 3 --trailer 0 --fill 0x80 --label Ab " + in + out).exitCode == 0);
    CHECK(ReadFileBytes(folder / "out.bin")
          == std::string(3, '\x80') + "\x80" + a + "\x80" + b + "\x80" + data);

    // Options after the files, decimal fill, no leader, a space as blank columns.
    CHECK(Tapeprep(in + out + " --trailer 2 --leader 0 --fill 255 --label \"A A\"").exitCode == 0);
    CHECK(ReadFileBytes(folder / "out.bin")
          == "\xFF" + a + "\xFF" + std::string(5, '\0') + "\xFF" + a + "\xFF"
                 + data + "\xFF\xFF");

    CHECK(Tapeprep("--leader 100000 --trailer 0X0 " + in + out).exitCode == 0);
    CHECK(ReadFileBytes(folder / "out.bin")
          == std::string(100000, '\0') + data);
}

TEST_CASE("a piece from the count where the tape stopped: the two make the whole file")
{
    Folder folder("tapeprep");
    const std::string bytes = RandomBytes(200000, 5);
    REQUIRE(WriteFileBytes(folder / "in.bin", bytes));
    const std::string files = Quoted(folder / "in.bin") + " " + Quoted(folder / "piece.bin");
    for (const unsigned long stopped : {0ul, 1ul, 65535ul, 65536ul, 131073ul, 199999ul, 200000ul}) {
        INFO("stopped after " << stopped);
        CHECK(Tapeprep("--leader 0 --trailer 0 --from " + std::to_string(stopped) + " " + files)
                  .exitCode == 0);
        CHECK(bytes.substr(0, stopped) + ReadFileBytes(folder / "piece.bin") == bytes);
    }
    // Bytes N+1 to M, around leader and trailer; a line end split by --from stays one.
    CHECK(Tapeprep("--leader 1 --trailer 1 --from 65530 --to 65540 " + files).exitCode == 0);
    CHECK(ReadFileBytes(folder / "piece.bin") == '\0' + bytes.substr(65530, 10) + '\0');
    CHECK(Coded("ab\r\ncd", "--code ascii-space --newline crlf --from 3") == "cd");
}

TEST_CASE("the test strip: TEST, channels 1 to 8 each alone, all eight, none")
{
    Folder folder("tapeprep");
    const ToolRun run
        = Tapeprep("--test-strip --leader 2 --trailer 3 " + Quoted(folder / "strip.bin"));
    CHECK(run.exitCode == 0);
    const std::string strip = ReadFileBytes(folder / "strip.bin");
    REQUIRE(strip.size() == 2 + 1 + 4 * 6 + 10 + 3);
    CHECK(Picture(strip.substr(3, 5)) == std::vector<std::string>(GlyphDrawing('T'), GlyphDrawing('T') + 7));
    CHECK(strip.substr(27) == std::string("\x01\x02\x04\x08\x10\x20\x40\x80\xFF\0\0\0\0", 13));
}

TEST_CASE("every letter of the font is punched as drawn, and no two are alike")
{
    const std::string characters = FontCharacters();
    CHECK(characters.size() == 26 + 10 + 1 + 10);
    for (char c = 'A'; c <= 'Z'; ++c) {
        CHECK(characters.find(c) != std::string::npos);
        CHECK(GlyphDrawing(static_cast<char>(c - 'A' + 'a')) == GlyphDrawing(c));
    }
    for (const char* refused : {"_", "@", "\t", "\xE9", "\"", "*", "?"})
        CHECK(GlyphDrawing(refused[0]) == nullptr);

    Folder folder("tapeprep");
    REQUIRE(WriteFileBytes(folder / "empty", ""));
    const ToolRun run = Tapeprep("--leader 0 --trailer 0 --fill 0 --label \"" + characters + "\" "
                             + Quoted(folder / "empty") + " " + Quoted(folder / "out.bin"));
    REQUIRE(run.exitCode == 0);
    const std::string tape = ReadFileBytes(folder / "out.bin");
    REQUIRE(tape.size() == 1 + 6 * characters.size());
    std::set<std::string> shapes;
    for (size_t index = 0; index < characters.size(); ++index) {
        INFO("character '" << characters[index] << "'");
        const std::string columns = tape.substr(1 + 6 * index, GLYPH_COLUMNS);
        CHECK(tape[6 * index] == '\0');
        const char* const* drawing = GlyphDrawing(characters[index]);
        REQUIRE(drawing != nullptr);
        CHECK(Picture(columns) == std::vector<std::string>(drawing, drawing + GLYPH_ROWS));
        for (char column : columns)
            CHECK((static_cast<unsigned char>(column) & 0x80) == 0);
        CHECK(shapes.insert(columns).second);
    }
}
