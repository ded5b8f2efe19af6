// tapeview: the tape that a file makes, as text or SVG, a tape against what
// a reader read back, and the handshake of a portemu trace as a timing
// diagram. See HELP below.
#include "command_line.h"
#include "safe_output.h"
#include "tapeview.h"
#include "tool_common.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr unsigned long MAX_ROWS = 10000000;
// text --code: the byte's own character, or its EIA one.
constexpr unsigned long CODE_EIA = 1;

const char USAGE[] =
    "usage: tapeview text FILE [--from ROW (0)] [--rows N (all)] [--code eia]\n"
    "       tapeview tape-svg FILE OUT.svg [--rows N (64)]\n"
    "       tapeview strip-svg FILE OUT.svg [--from ROW (0)] [--rows N (200)]\n"
    "       tapeview compare EXPECTED ACTUAL [--trim BYTE (0)]\n"
    "       tapeview check FILE\n"
    "       tapeview timing-svg TRACE OUT.svg [--bytes N (3)]\n"
    "       tapeview --help | --version\n";

const char HELP[] =
    "Shows the tape that FILE makes, one row per byte, before you punch it (any\n"
    "file: a tapeprep tape, a text, a program) or after (portemu's --punched),\n"
    "with its length and the time a Facit 4070 (75 rows a second) takes with\n"
    "tapelark: 12 ms of blank data lines, then the punch's 13.3 ms, a row.\n"
    "  text        N rows (all) from row ROW (0) on as text, to stdout; with\n"
    "              --code eia each row's character in EIA RS-244 (NC machines)\n"
    "  tape-svg    the first N rows (64) down the page, with hex and characters\n"
    "  strip-svg   N rows (200) from row ROW (0) on, along the page: the start on\n"
    "              the left, channel 8 at the top, so that a tapeprep label reads\n"
    "              as text\n"
    "  compare     a tape file against what a tape reader read back from the\n"
    "              punched tape: rows of BYTE (0) at the start and end of each\n"
    "              are leader and trailer and are left out; says where they\n"
    "              first differ, as an offset in EXPECTED for tapeprep --from,\n"
    "              and rows lost or gained there when the rest matches shifted\n"
    "  check       which loader format FILE holds (pdp8-bin, pdp8-rim, pdp11-lda,\n"
    "              intel-hex), checked all through: what it loads, or the first\n"
    "              fault, its offset and inches from the start of the tape\n"
    "  timing-svg  the handshake of the first N bytes (3) of a portemu trace, and\n"
    "              a summary line to stdout\n"
    "ROW counts from 0: row N is the byte after the first N, as in the window's\n"
    "\"Stopped after N of M bytes\".\n"
    "Exit code: 0 done (compare: the same; check: it checks), 1 when a file\n"
    "cannot be read or written, ROW is past the end or the trace holds no byte\n"
    "(compare: they differ; check: a fault), 2 for a wrong command line\n"
    "(compare and check: also a file not read).\n";

struct Command;
// What a command does with its files, the first one read into in; returns
// the exit code.
typedef int (*CommandRun)(const Command& command, const wchar_t* const* files,
                          const TextBuffer& in);

// A command: its files, the options it takes and what it does.
struct Command {
    const char* name;
    int files;
    Option options[3];
    CommandRun run;
    int unreadExit;  // the exit code when a file cannot be read
};

// A whole file into bytes; false, having said why, when it cannot be read.
bool ReadInput(const wchar_t* path, TextBuffer& bytes)
{
    DWORD error = 0;
    if (ReadWholeFile(path, bytes, error))
        return true;
    SayCannotRead("tapeview", path, error);
    return false;
}

// OUT from text, through a temporary file; never over the input.
bool WriteOutput(const wchar_t* path, const wchar_t* input, const TextBuffer& text)
{
    if (text.failed) {
        std::fputs("tapeview: out of memory\n", stderr);
        return false;
    }
    SafeOutput out;
    if (OpenSafeOutput(out, path, &input, 1) && WriteSafeOutput(out, text.data, text.length)
        && FinishSafeOutput(out))
        return true;
    std::fprintf(stderr, "tapeview: %s\n", out.why);
    return false;
}

// ROW past the end of the file is refused, naming its size.
bool FromFits(const Option& from, const wchar_t* path, std::size_t size)
{
    if (from.number < size || (from.number == 0 && size == 0))
        return true;
    char name[MAX_PATH * 2];
    std::fprintf(stderr,
                 "tapeview: --from %lu is past the end of %s, which has %lu bytes.\n"
                 "Give a row from 0 to %lu.\n",
                 from.number, NarrowPath(path, name, sizeof name), static_cast<unsigned long>(size),
                 static_cast<unsigned long>(size ? size - 1 : 0));
    return false;
}

const unsigned char* BytesOf(const TextBuffer& buffer)
{
    return reinterpret_cast<const unsigned char*>(buffer.data);
}

// Writes a drawing to OUT and frees it; the exit code.
int WriteDrawing(const wchar_t* const* files, TextBuffer& drawing)
{
    const int result = WriteOutput(files[1], files[0], drawing) ? 0 : EXIT_FAILED;
    FreeBuffer(drawing);
    return result;
}

int ShowText(const Command& command, const wchar_t* const* files, const TextBuffer& in)
{
    const Option& from = command.options[0];
    const Option& rows = command.options[1];
    if (!FromFits(from, files[0], in.length))
        return EXIT_FAILED;
    TextBuffer text = {};
    TapeText(text, BytesOf(in), in.length, from.number, rows.given ? rows.number : in.length,
             command.options[2].number == CODE_EIA);
    const int result = text.failed ? EXIT_FAILED : 0;
    if (!text.failed)
        std::fwrite(text.data, 1, text.length, stdout);
    FreeBuffer(text);
    return result;
}

int DrawTape(const Command& command, const wchar_t* const* files, const TextBuffer& in)
{
    TextBuffer svg = {};
    TapeSvg(svg, BytesOf(in), in.length, command.options[0].number);
    return WriteDrawing(files, svg);
}

int DrawStrip(const Command& command, const wchar_t* const* files, const TextBuffer& in)
{
    const Option& from = command.options[0];
    if (!FromFits(from, files[0], in.length))
        return EXIT_FAILED;
    TextBuffer svg = {};
    StripSvg(svg, BytesOf(in), in.length, from.number, command.options[1].number);
    return WriteDrawing(files, svg);
}

int CompareFiles(const Command& command, const wchar_t* const* files, const TextBuffer& expected)
{
    TextBuffer actual = {};
    int result = command.unreadExit;
    char expectedName[MAX_PATH * 2], actualName[MAX_PATH * 2];
    if (ReadInput(files[1], actual))
        result = CompareTapes(BytesOf(expected), expected.length,
                              NarrowPath(files[0], expectedName, sizeof expectedName),
                              BytesOf(actual), actual.length,
                              NarrowPath(files[1], actualName, sizeof actualName),
                              static_cast<unsigned char>(command.options[0].number));
    FreeBuffer(actual);
    return result;
}

int CheckFile(const Command&, const wchar_t* const* files, const TextBuffer& in)
{
    char name[MAX_PATH * 2];
    return CheckFormat(BytesOf(in), in.length, NarrowPath(files[0], name, sizeof name));
}

int DrawTiming(const Command& command, const wchar_t* const* files, const TextBuffer& in)
{
    const unsigned long byteCount = command.options[0].number;
    const std::size_t count = ParseTrace(in.data, in.length, nullptr, 0, nullptr);
    TraceLine* trace = static_cast<TraceLine*>(std::malloc((count + 1) * sizeof(TraceLine)));
    Handshake handshake = {};
    int result = EXIT_FAILED;
    char path[MAX_PATH * 2];
    if (!trace
        || !ReadHandshake(trace, ParseTrace(in.data, in.length, trace, count, nullptr), handshake))
        std::fputs("tapeview: out of memory\n", stderr);
    else if (!handshake.bytes.count)
        std::fprintf(stderr,
                     "tapeview: no byte was punched in %s.\n"
                     "Give the trace of a run that punched (portemu --trace).\n",
                     NarrowPath(files[0], path, sizeof path));
    else {
        TextBuffer svg = {};
        TimingSvg(svg, handshake, byteCount);
        result = WriteDrawing(files, svg);
        if (result == 0) {
            TextBuffer summary = {};
            TimingSummary(summary, handshake, byteCount);
            std::printf("%s\n", summary.data);
            FreeBuffer(summary);
        }
    }
    FreeHandshake(handshake);
    std::free(trace);
    return result;
}

int RunCommand(const Command& command, const wchar_t* const* files)
{
    TextBuffer in = {};
    const int result =
        ReadInput(files[0], in) ? command.run(command, files, in) : command.unreadExit;
    FreeBuffer(in);
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CommandLine line = ToolCommandLine("tapeview", USAGE, HELP, EXIT_USAGE, nullptr, 0, 0);
    if (AnswerHelp(line, argc, argv) == 0)
        return 0;
    const Option FROM = NumberOption("--from", 0, ULONG_MAX, false, "a row, 0 or more");
    const char ROWS[] = "a number of rows, 1 to 10000000";
    static const char* const CODES[] = {"raw", "eia", nullptr};
    // compare follows cmp: a file it cannot read is exit code 2.
    Command commands[] = {
        {"text", 1,
         {FROM, NumberOption("--rows", 1, MAX_ROWS, false, ROWS),
          WordOption("--code", CODES, false, "raw or eia")},
         ShowText, EXIT_FAILED},
        {"tape-svg", 2, {NumberOption("--rows", 1, MAX_ROWS, false, ROWS, 64)}, DrawTape,
         EXIT_FAILED},
        {"strip-svg", 2, {FROM, NumberOption("--rows", 1, MAX_ROWS, false, ROWS, 200)}, DrawStrip,
         EXIT_FAILED},
        {"compare", 2,
         {NumberOption("--trim", 0, 255, true, "a byte, 0 to 255, decimal or 0x hex")},
         CompareFiles, EXIT_USAGE},
        {"check", 1, {}, CheckFile, EXIT_USAGE},
        {"timing-svg", 2,
         {NumberOption("--bytes", 1, MAX_ROWS, false, "a number of bytes, 1 or more", 3)},
         DrawTiming, EXIT_FAILED},
    };
    if (argc < 2)
        return CommandLineError(line, "a command is needed");
    char verb[64];
    AsciiArgument(argv[1], verb, sizeof verb);
    for (Command& command : commands) {
        if (std::strcmp(verb, command.name) != 0)
            continue;
        line.options = command.options;
        while (line.optionCount < 3 && command.options[line.optionCount].name)
            ++line.optionCount;
        line.minFiles = line.maxFiles = command.files;
        line.command = command.name;
        line.onceEach = true;
        const int usage = ParseCommandLine(line, argc, argv, 2);
        return usage >= 0 ? usage : RunCommand(command, line.files);
    }
    return CommandLineError(line, "there is no command %s", verb);
}
