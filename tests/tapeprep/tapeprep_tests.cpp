// tapeprep.exe's command line: each refusal and what it leaves behind, OUT
// naming IN, help, version, a name in any script; and its speed.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "tapeprep_steps.h"
#include "version.h"

#include <set>
#include <string>
#include <vector>

namespace {

struct Refusal {
    std::string arguments;
    DWORD exitCode;
    std::string says;
};

// Each wrong command line or file, with its exit code and what tapeprep says.
std::vector<Refusal> Refusals(const Folder& folder, const std::string& files)
{
    return {
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
}

} // namespace

TEST_CASE("each refusal exits as promised, says why, and leaves OUT as it was")
{
    Folder folder("tapeprep");
    REQUIRE(WriteFileBytes(folder / "in.bin", "data"));
    REQUIRE(WriteFileBytes(folder / "out.bin", "an earlier tape"));
    REQUIRE(WriteFileBytes(folder / "text.bin", "a\r\n=\nb\rc\xE4"));
    CreateDirectoryA((folder / "folder").c_str(), nullptr);
    const std::string files = Quoted(folder / "in.bin") + " " + Quoted(folder / "out.bin");
    for (const Refusal& c : Refusals(folder, files)) {
        INFO(c.arguments);
        const ToolRun run = Tapeprep(c.arguments);
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
    const ToolRun run = Tapeprep(files);
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
        const ToolRun run = Tapeprep(Quoted(folder / "in.bin") + " " + Quoted(out));
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
    const ToolRun run = Tapeprep("--label \"1 MIB\" " + Quoted(folder / "in.bin") + " "
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
        const ToolRun run = Tapeprep(help);
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

    const ToolRun version = Tapeprep("--version");
    CHECK(version.exitCode == 0);
    CHECK(version.output == "tapeprep " TAPELARK_VERSION "\r\n");
    const ToolRun help = Tapeprep("--help");
    CHECK(help.exitCode == 0);
    CHECK(help.output.find("usage: tapeprep") == 0);
    CHECK(help.output.find("channels 1 to 7") != std::string::npos);
}
