// The safe output file and the command-line parser, called directly: the
// output's refusals, replacement and clean-up; what the parser reads from
// argv and what it refuses. (The trace format is read back by every run
// under portemu; the tools' own tests check what their refusals say.)
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "command_line.h"
#include "safe_output.h"
#include "test_support.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

namespace {

// Writes text through a safe output over out; true when it took OUT's name.
bool WriteSafely(const std::wstring& out, const std::wstring& in, const std::string& text,
                 std::string& why)
{
    SafeOutput output;
    const wchar_t* inputs[] = {in.c_str()};
    const bool done = OpenSafeOutput(output, out.c_str(), inputs, 1)
                      && WriteSafeOutput(output, text.data(), text.size())
                      && FinishSafeOutput(output);
    why = output.why;
    return done;
}

// A command line read against a table of a number, a word and a flag, with
// up to one file and a program after --.
struct Parsed {
    Option options[3];
    CommandLine line;
    int result;
};

constexpr int WRONG = 7;

Parsed Parse(std::vector<const wchar_t*> words, bool onceEach = false, bool anyCase = true)
{
    static const char* const PORTS[] = {"lpt1", "lpt2", nullptr};
    Parsed parsed = {{NumberOption("--rows", 1, 0xFFFF, true, "rows", 64),
                      WordOption("--port", PORTS, anyCase, "a port"), FlagOption("--live")},
                     {}, 0};
    parsed.line = ToolCommandLine("tool", "usage\n", "help\n", WRONG, parsed.options, 3, 1);
    parsed.line.onceEach = onceEach;
    parsed.line.programAfterDashes = true;
    words.insert(words.begin(), L"tool.exe");
    parsed.result = ParseCommandLine(parsed.line, static_cast<int>(words.size()),
                                     const_cast<wchar_t**>(words.data()), 1);
    return parsed;
}

} // namespace

TEST_CASE("a command line is read against its table, and what does not fit it is refused")
{
    const Parsed good = Parse({L"--rows", L"0x10", L"--port", L"LPT2", L"--port", L"lpt1", L"--live",
                               L"in", L"--", L"prog", L"--rows"});
    REQUIRE(good.result == -1);
    CHECK(good.options[0].number == 16);
    CHECK(good.options[1].number == 0);
    CHECK(good.options[1].wordsGiven == 3);
    CHECK(good.options[2].given);
    CHECK(good.line.fileCount == 1);
    CHECK(std::wstring(good.line.files[0]) == L"in");
    CHECK(good.line.program == 10);
    const Parsed defaults = Parse({L"-", L"--", L"prog"});
    REQUIRE(defaults.result == -1);
    CHECK(defaults.options[0].number == 64);
    CHECK_FALSE(defaults.options[0].given);
    CHECK(std::wstring(defaults.line.files[0]) == L"-");
    CHECK(Parse({L"/?", L"in"}).result == WRONG);
    CHECK(Parse({L"-h"}).result == 0);
    CHECK(Parse({L"--version"}).result == 0);
    for (const auto& wrong : std::vector<std::vector<const wchar_t*>>{
             {L"--rows", L"0"}, {L"--rows", L"65536"}, {L"--rows", L"1x"}, {L"--rows", L""},
             {L"--rows"}, {L"--port", L"lpt3"}, {L"--port", L"lpt\u0131"}, {L"--nope"},
             {L"in", L"out"}, {L"--rows", L"\uFF11"}}) {
        INFO(Utf8(wrong[0]) << " " << (wrong.size() > 1 ? Utf8(wrong[1]) : ""));
        CHECK(Parse(wrong).result == WRONG);
    }
    CHECK(Parse({L"--live", L"--live"}).result == -1);
    CHECK(Parse({L"--live", L"--live"}, true).result == WRONG);
    CHECK(Parse({L"--port", L"LPT1"}, false, false).result == WRONG);
    CHECK(Parse({L"--port", L"lpt1"}, false, false).result == -1);
}

TEST_CASE("a safe output never harms an input or an OUT it cannot replace")
{
    const Folder folder("safe");
    const std::string inName = folder / "in.bin";
    const std::string outName = folder / "\xD0\x9B\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0 \xCF\x89.bin";  // Лента ω
    const std::wstring in = Widen(inName);
    const std::wstring out = Widen(outName);
    std::string why;
    REQUIRE(WriteSafely(in, L"", "input", why));

    SUBCASE("OUT is IN by another spelling, or by a hard link")
    {
        const std::wstring link = Widen(folder / "link.bin");
        REQUIRE(CreateHardLinkW(link.c_str(), in.c_str(), nullptr));
        for (const std::wstring& same : {Widen(folder / ".\\IN.BIN"), link}) {
            CHECK_FALSE(WriteSafely(same, in, "lost", why));
            CHECK(why.find("are the same file") != std::string::npos);
        }
        CHECK(ReadFileBytes(inName) == "input");
        DeleteFileW(link.c_str());
    }
    SUBCASE("OUT held open by another program, or a folder")
    {
        REQUIRE(WriteSafely(out, in, "old", why));
        const HANDLE held = CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        CHECK_FALSE(WriteSafely(out, in, "new", why));
        CHECK(why.find("in use by another program") != std::string::npos);
        CloseHandle(held);
        CHECK(ReadFileBytes(outName) == "old");
        // Held only after the output was opened and written: the rename fails.
        SafeOutput output;
        REQUIRE(OpenSafeOutput(output, out.c_str(), nullptr, 0));
        REQUIRE(WriteSafeOutput(output, "new", 3));
        const HANDLE heldLate = CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        CHECK_FALSE(FinishSafeOutput(output));
        CHECK(std::string(output.why).find("in use by another program") != std::string::npos);
        CloseHandle(heldLate);
        CHECK(ReadFileBytes(outName) == "old");
        CHECK(folder.Names() == std::set<std::string>{"in.bin", outName.substr(folder.path.size() + 1)});
        CHECK_FALSE(WriteSafely(Widen(folder.path), in, "new", why));
        CHECK(why.find("it is a folder") != std::string::npos);
        DeleteFileW(out.c_str());
    }
    SUBCASE("a finished output replaces OUT, an abandoned one leaves it as it was")
    {
        REQUIRE(WriteSafely(out, in, "old", why));
        REQUIRE(WriteSafely(out, in, "new", why));
        CHECK(ReadFileBytes(outName) == "new");
        SafeOutput output;
        REQUIRE(OpenSafeOutput(output, out.c_str(), nullptr, 0));
        CHECK(WriteSafeOutput(output, "half", 4));
        AbandonSafeOutput(output);
        CHECK(ReadFileBytes(outName) == "new");
        DeleteFileW(out.c_str());
    }
    // Nothing but the input is left in the folder: no temporary file.
    CHECK(folder.Names() == std::set<std::string>{"in.bin"});
}
