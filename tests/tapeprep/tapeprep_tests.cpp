// tapeprep.exe: the tape's exact layout, the font as punched, each refusal
// and what it leaves behind, and its speed.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "tape_layout.h"
#include "test_support.h"
#include "version.h"

#include <doctest/doctest.h>

#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD RUN_TIMEOUT_MS = 60000;

struct Run {
    DWORD exitCode;
    std::string output;
};

Run Tapeprep(const std::string& arguments)
{
    Run run;
    run.exitCode = RunProcessCapturing("\"" + SiblingPath("..\\tapeprep.exe") + "\" " + arguments,
                                       RUN_TIMEOUT_MS, run.output);
    return run;
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

const std::string BLANK_120(120, '\0');

// The tape of bytes with no leader or trailer, in the code the options ask for.
std::string Coded(const std::string& bytes, const std::string& options)
{
    Folder folder("tapeprep");
    REQUIRE(WriteFileBytes(folder / "in.txt", bytes));
    const Run run = Tapeprep("--leader 0 --trailer 0 " + options + " " + Quoted(folder / "in.txt")
                             + " " + Quoted(folder / "out.bin"));
    INFO(run.output);
    CHECK(run.exitCode == 0);
    return ReadFileBytes(folder / "out.bin");
}

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
        const Run run = Tapeprep(Quoted(folder / "in.bin") + " " + Quoted(folder / "out.bin"));
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
    const Run run = Tapeprep("--test-strip --leader 2 --trailer 3 " + Quoted(folder / "strip.bin"));
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
    const Run run = Tapeprep("--leader 0 --trailer 0 --fill 0 --label \"" + characters + "\" "
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

TEST_CASE("each refusal exits as promised, says why, and leaves OUT as it was")
{
    Folder folder("tapeprep");
    REQUIRE(WriteFileBytes(folder / "in.bin", "data"));
    REQUIRE(WriteFileBytes(folder / "out.bin", "an earlier tape"));
    REQUIRE(WriteFileBytes(folder / "text.bin", "a\r\n=\nb\rc\xE4"));
    CreateDirectoryA((folder / "folder").c_str(), nullptr);
    const std::string files = Quoted(folder / "in.bin") + " " + Quoted(folder / "out.bin");
    struct Case {
        std::string arguments;
        DWORD exitCode;
        std::string says;
    };
    const Case cases[] = {
        {"--lead 3 " + files, 2, "unknown option --lead"},
        {files + " --leader", 2, "a value is missing after --leader"},
        {"--leader 100001 " + files, 2, "--leader takes a number of rows, 0 to 100000"},
        {"--trailer -1 " + files, 2, "--trailer takes a number of rows"},
        {"--trailer 12x " + files, 2, "--trailer takes a number of rows"},
        {"--leader 99999999999999999999 " + files, 2, "--leader takes a number of rows"},
        {"--fill 256 " + files, 2, "--fill takes a byte, 0 to 255"},
        {"--fill 0x100 " + files, 2, "--fill takes a byte"},
        {"--fill 0x " + files, 2, "--fill takes a byte"},
        {"--label \"TAPE_1\" " + files, 2, "the label cannot have the character \"_\" (0x5F)"},
        {"--label \"\" " + files, 2, "--label needs some text"},
        {Quoted(folder / "in.bin"), 2, "IN and OUT are both needed"},
        {files + " extra", 2, "one file too many: extra"},
        {Quoted(folder / "missing.bin") + " " + Quoted(folder / "out.bin"), 1, "cannot read"},
        {"--code ascii " + files, 2, "there is no code ascii. The codes are:\r\n  raw, ascii-even"},
        {"--newline crlf " + files, 2, "--newline needs a code with CR and LF"},
        {"--code eia --newline lf " + files, 2, "--newline needs a code with CR and LF"},
        {"--code ita2 --label A " + files, 2, "--label needs channels 1 to 7"},
        {"--from 3 --to 2 " + files, 2, "--from 3 comes after --to 2"},
        {"-l 20 " + files, 2, "unknown option -l"},
        {"--test-strip " + files, 2, "--test-strip takes OUT only"},
        {"--from 5 " + files, 1, "--from 5 is past the end of " + folder / "in.bin" + ", which has 4"},
        {"--to 9 " + files, 1, "--to 9 is past the end"},
        {"--code ascii-odd " + Quoted(folder / "text.bin") + " " + Quoted(folder / "out.bin"), 1,
         folder / "text.bin" + ", line 4, column 2: byte 0xE4 is not 7-bit ASCII"},
        {"--code ita2 --from 7 " + Quoted(folder / "text.bin") + " " + Quoted(folder / "out.bin"), 1,
         folder / "text.bin" + ", line 4, column 2: byte 0xE4 has no ita2"},
        {"--code us-tty " + Quoted(folder / "text.bin") + " " + Quoted(folder / "out.bin"), 1,
         folder / "text.bin" + ", line 2, column 1: byte 0x3D has no us-tty"},
        {"--code eia " + Quoted(folder / "text.bin") + " " + Quoted(folder / "out.bin"), 1,
         folder / "text.bin" + ", line 2, column 1: byte 0x3D has no eia character"},
        {Quoted(folder / "in.bin") + " " + Quoted(folder / "no\\such\\out.bin"), 1, "cannot write"},
        {Quoted(folder / "in.bin") + " " + Quoted(folder / "folder"), 1, "cannot write"},
    };
    for (const Case& c : cases) {
        INFO(c.arguments);
        const Run run = Tapeprep(c.arguments);
        INFO(run.output);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.output.find("tapeprep: " + c.says) == 0);
        // A wrong command line also shows how to write a right one.
        CHECK((run.output.find("usage: tapeprep") != std::string::npos) == (c.exitCode == 2));
        CHECK(ReadFileBytes(folder / "out.bin") == "an earlier tape");
        CHECK(folder.Names() == std::set<std::string>{"folder", "in.bin", "out.bin", "text.bin"});
    }
    // OUT held open by another program.
    const HANDLE held = CreateFileA((folder / "out.bin").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    const Run run = Tapeprep(files);
    CloseHandle(held);
    CHECK(run.exitCode == 1);
    CHECK(run.output.find("in use by another program") != std::string::npos);
    CHECK(ReadFileBytes(folder / "out.bin") == "an earlier tape");
    RemoveDirectoryA((folder / "folder").c_str());
}

TEST_CASE("OUT naming IN is refused, however the path is spelled")
{
    Folder folder("tapeprep");
    CreateDirectoryA((folder / "sub").c_str(), nullptr);
    REQUIRE(WriteFileBytes(folder / "in.bin", "data"));
    REQUIRE(CreateHardLinkA((folder / "link.bin").c_str(), (folder / "in.bin").c_str(), nullptr));
    std::string slashes = folder / "in.bin";
    for (char& c : slashes)
        if (c == '\\')
            c = '/';
    for (const std::string& out :
         {folder / "in.bin", folder / "IN.BIN", folder / ".\\in.bin", folder / "sub\\..\\in.bin",
          slashes, folder / "link.bin"}) {
        INFO(out);
        const Run run = Tapeprep(Quoted(folder / "in.bin") + " " + Quoted(out));
        CHECK(run.exitCode == 1);
        CHECK(run.output.find("are the same file") != std::string::npos);
        CHECK(ReadFileBytes(folder / "in.bin") == "data");
        CHECK(folder.Names() == std::set<std::string>{"in.bin", "link.bin", "sub"});
    }
    RemoveDirectoryA((folder / "sub").c_str());
}

TEST_CASE("a 1 MiB file takes well under a second")
{
    Folder folder("tapeprep");
    const std::string bytes = RandomBytes(1 << 20, 3);
    REQUIRE(WriteFileBytes(folder / "in.bin", bytes));
    const DWORD start = GetTickCount();
    const Run run = Tapeprep("--label \"1 MIB\" " + Quoted(folder / "in.bin") + " "
                             + Quoted(folder / "out.bin"));
    const DWORD elapsed = GetTickCount() - start;
    CHECK(run.exitCode == 0);
    MESSAGE("1 MiB in " << elapsed << " ms, with the process's start");
    CHECK(elapsed < 500);
    CHECK(ReadFileBytes(folder / "out.bin").size() == bytes.size() + 240 + 1 + 6 * 5);
}

TEST_CASE("--help, /? and --version; a name in any script")
{
    for (const char* help : {"--help", "/?", "-h"}) {
        const Run run = Tapeprep(help);
        CHECK(run.exitCode == 0);
        CHECK(run.output.find("usage: tapeprep") == 0);
    }
    Folder folder("tapeprep");
    const std::string name = folder / "\xD0\x9B\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0 \xCF\x89.bin";  // Лента ω.bin
    REQUIRE(WriteFileBytes(folder / "x.txt", "x\r\n"));
    CHECK(Tapeprep("--leader 1 --trailer 0 " + Quoted(folder / "x.txt") + " " + Quoted(name)).exitCode == 0);
    CHECK(Tapeprep("--leader 0 --trailer 1 --code ascii-space " + Quoted(name) + " " + Quoted(folder / "y.bin")).exitCode == 0);
    CHECK(ReadFileBytes(folder / "y.bin") == std::string("\0x\r\n\0", 5));
    CHECK(Tapeprep(Quoted(name) + " " + Quoted(name)).exitCode == 1);
    CHECK(folder.Names() == std::set<std::string>{"x.txt", "y.bin", name.substr(folder.path.size() + 1)});

    const Run version = Tapeprep("--version");
    CHECK(version.exitCode == 0);
    CHECK(version.output == "tapeprep " TAPELARK_VERSION "\r\n");
    const Run help = Tapeprep("--help");
    CHECK(help.exitCode == 0);
    CHECK(help.output.find("usage: tapeprep") == 0);
    CHECK(help.output.find("channels 1 to 7") != std::string::npos);
}
