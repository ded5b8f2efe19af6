// tapeview's command line: each refusal says what was wrong, rows from
// --from, OUT is never an input, a name in any script.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "tapeview_steps.h"

TEST_CASE("tapeview's refusals say what was wrong; rows from --from; OUT is never an input")
{
    const std::string tape = TempPath("tape"), svg = TempPath("svg");
    REQUIRE(WriteFileBytes(tape, RandomBytes(78, 2)));
    const std::string file = Quoted(tape);
    const std::vector<std::string> rows
        = SplitLines(RunTool("..\\tapeview.exe", "text " + file + " --from 70 --rows 3").output);
    REQUIRE(rows.size() == 6);
    CHECK(rows[0] == "78 rows: 7.8 in, 0.20 m, 2.0 s to punch at 25.3 ms a row.");
    CHECK(rows[3].find("    70 |") == 0);
    CHECK(rows[5].find("    72 |") == 0);
    struct Case {
        std::string arguments;
        DWORD exitCode;
        std::string says;
    };
    const Case cases[] = {
        {"tape-svg " + file + " out.svg --rows 0", 2, "--rows takes a number of rows, 1 to"},
        {"text " + file + " --rows 99999999999", 2, "--rows takes a number of rows"},
        {"strip-svg " + file + " out.svg --from -1", 2, "--from takes a row, 0 or more"},
        {"picture " + file, 2, "there is no command picture"},
        {"text " + file + " --trim 0", 2, "text takes no option --trim"},
        {"compare " + file, 2, "compare needs 2 files"},
        {"text " + file + " --from 500", 1,
         "--from 500 is past the end of " + tape + ", which has 78 bytes."},
        {"text \"" + tape + ".none\"", 1, "cannot read " + tape + ".none: not found"},
        {"tape-svg " + file + " " + file, 1, ""},
    };
    for (const Case& c : cases) {
        INFO(c.arguments);
        const ToolRun run = RunTool("..\\tapeview.exe", c.arguments);
        INFO(run.output);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.output.find("tapeview: " + c.says) == 0);
        CHECK((run.output.find("usage: tapeview") != std::string::npos) == (c.exitCode == 2));
    }
    CHECK(ReadFileBytes(tape) == RandomBytes(78, 2));
    // A file that cannot be read: the same line from each tool and each way in.
    const std::string none = " " + Quoted(tape + ".none");
    const std::string unread = ": cannot read " + tape + ".none: not found\r\n";
    CHECK(RunTool("..\\tapeview.exe", "compare " + file + none).output == "tapeview" + unread);
    CHECK(RunTool("..\\tapeprep.exe", none + none + "2").output == "tapeprep" + unread);
    CHECK(RunTool("..\\tapeprep.exe", "--format pdp11-lda" + none + none + "2").output
          == "tapeprep" + unread);

    // A name in any script, in and out.
    const std::string name = tape + " \xD0\x9B\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0 \xCF\x89.bin";  // Лента ω
    REQUIRE(RunTool("..\\tapeprep.exe", "--leader 0 --trailer 0 " + file + " " + Quoted(name)).exitCode
            == 0);
    const ToolRun text = RunTool("..\\tapeview.exe", "text " + Quoted(name));
    CHECK(text.exitCode == 0);
    CHECK(text.output == RunTool("..\\tapeview.exe", "text " + file).output);
    CHECK(RunTool("..\\tapeview.exe", "tape-svg " + file + " " + Quoted(name + ".svg")).exitCode
          == 0);
    CHECK(RunTool("..\\tapeview.exe", "compare " + Quoted(name) + " " + file).exitCode == 0);
    for (const std::string& path : {name, name + ".svg"})
        CHECK(DeleteFileW(Widen(path).c_str()));
    DeleteFileA(tape.c_str());
}
