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

// A folder of its own per test, so that a file left behind shows.
struct Folder {
    std::string path = TempPath("tapeprep");
    Folder() { CreateDirectoryA(path.c_str(), nullptr); }
    ~Folder()
    {
        for (const std::string& name : Names())
            DeleteFileA((path + "\\" + name).c_str());
        RemoveDirectoryA(path.c_str());
    }
    std::string operator/(const std::string& name) const { return path + "\\" + name; }
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
                names.insert(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }
};

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
    Folder folder;
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
    Folder folder;
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

    Folder folder;
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
    Folder folder;
    REQUIRE(WriteFileBytes(folder / "in.bin", "data"));
    REQUIRE(WriteFileBytes(folder / "out.bin", "an earlier tape"));
    CreateDirectoryA((folder / "folder").c_str(), nullptr);
    const std::string files = Quoted(folder / "in.bin") + " " + Quoted(folder / "out.bin");
    struct Case {
        std::string arguments;
        DWORD exitCode;
        const char* says;
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
        {Quoted(folder / "in.bin") + " " + Quoted(folder / "no\\such\\out.bin"), 1, "cannot write"},
        {Quoted(folder / "in.bin") + " " + Quoted(folder / "folder"), 1, "cannot write"},
    };
    for (const Case& c : cases) {
        INFO(c.arguments);
        const Run run = Tapeprep(c.arguments);
        INFO(run.output);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.output.find(std::string("tapeprep: ") + c.says) == 0);
        // A wrong command line also shows how to write a right one.
        CHECK((run.output.find("usage: tapeprep") != std::string::npos) == (c.exitCode == 2));
        CHECK(ReadFileBytes(folder / "out.bin") == "an earlier tape");
        CHECK(folder.Names() == std::set<std::string>{"folder", "in.bin", "out.bin"});
    }
    RemoveDirectoryA((folder / "folder").c_str());
}

TEST_CASE("OUT naming IN is refused, however the path is spelled")
{
    Folder folder;
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
    Folder folder;
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

TEST_CASE("--help and --version")
{
    const Run version = Tapeprep("--version");
    CHECK(version.exitCode == 0);
    CHECK(version.output == "tapeprep " TAPELARK_VERSION "\r\n");
    const Run help = Tapeprep("--help");
    CHECK(help.exitCode == 0);
    CHECK(help.output.find("usage: tapeprep") == 0);
    CHECK(help.output.find("channels 1 to 7") != std::string::npos);
}
