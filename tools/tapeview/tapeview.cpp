// tapeview: the tape that a file makes, as text or SVG, a tape against what
// a reader read back, and the handshake of a portemu trace as a timing
// diagram. See HELP below.
#include "safe_output.h"
#include "tapeview.h"
#include "tool_common.h"
#include "version.h"

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

struct Option {
    const char* name;
    unsigned long value;
    unsigned long min;
    unsigned long max;
    bool hex;           // 0x hex as well as decimal
    const char* takes;  // what the value must be, for the refusal
    bool given;
    const char* const* words = nullptr;  // the words it takes instead of a number
};

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

// A word of the list, as its index.
bool ParseWord(const wchar_t* text, const char* const* words, unsigned long& index)
{
    char word[16];
    AsciiArgument(text, word, sizeof word);
    for (index = 0; words[index]; ++index)
        if (std::strcmp(word, words[index]) == 0)
            return true;
    return false;
}

// The files and options after the command. -1 when good, else the exit code.
int ParseCommand(int argc, wchar_t** argv, Command& command, const wchar_t** files)
{
    int given = 0;
    char arg[64];
    for (int i = 2; i < argc; ++i) {
        AsciiArgument(argv[i], arg, sizeof arg);
        if (arg[0] != '-' || !arg[1]) {
            if (given == command.files)
                return CommandLineError("tapeview", USAGE, "%s takes %d file%s: one too many",
                    command.name, command.files, command.files == 1 ? "" : "s");
            files[given++] = argv[i];
            continue;
        }
        Option* option = nullptr;
        for (Option& candidate : command.options)
            if (candidate.name && std::strcmp(arg, candidate.name) == 0)
                option = &candidate;
        if (!option)
            return CommandLineError("tapeview", USAGE, "%s takes no option %s", command.name, arg);
        if (option->given)
            return CommandLineError("tapeview", USAGE, "%s is given twice", arg);
        if (i + 1 == argc)
            return CommandLineError("tapeview", USAGE, "a value is missing after %s", arg);
        const bool parsed = option->words ? ParseWord(argv[++i], option->words, option->value)
                                          : ParseNumberW(argv[++i], option->min, option->max,
                                                         option->hex, option->value);
        if (!parsed)
            return CommandLineError("tapeview", USAGE, "%s takes %s", option->name, option->takes);
        option->given = true;
    }
    if (given < command.files)
        return CommandLineError("tapeview", USAGE, "%s needs %d file%s", command.name,
            command.files, command.files == 1 ? "" : "s");
    return -1;
}

// A whole file into bytes; false, having said why, when it cannot be read.
bool Read(const wchar_t* path, TextBuffer& bytes)
{
    DWORD error = 0;
    if (ReadWholeFile(path, bytes, error))
        return true;
    char name[MAX_PATH * 2], reason[300];
    std::fprintf(stderr, "tapeview: cannot read %s: %s.\n", NarrowPath(path, name, sizeof name),
                 ErrorReason(error, reason, sizeof reason));
    return false;
}

// OUT from text, through a temporary file; never over the input.
bool Write(const wchar_t* path, const wchar_t* input, const TextBuffer& text)
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
    if (from.value < size || (from.value == 0 && size == 0))
        return true;
    char name[MAX_PATH * 2];
    std::fprintf(stderr,
                 "tapeview: --from %lu is past the end of %s, which has %lu bytes.\n"
                 "Give a row from 0 to %lu.\n",
                 from.value, NarrowPath(path, name, sizeof name), static_cast<unsigned long>(size),
                 static_cast<unsigned long>(size ? size - 1 : 0));
    return false;
}

const unsigned char* Bytes(const TextBuffer& buffer)
{
    return reinterpret_cast<const unsigned char*>(buffer.data);
}

// Writes a drawing to OUT and frees it; the exit code.
int WriteDrawing(const wchar_t* const* files, TextBuffer& drawing)
{
    const int result = Write(files[1], files[0], drawing) ? 0 : EXIT_FAILED;
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
    TapeText(text, Bytes(in), in.length, from.value, rows.given ? rows.value : in.length,
             command.options[2].value == CODE_EIA);
    const int result = text.failed ? EXIT_FAILED : 0;
    if (!text.failed)
        std::fwrite(text.data, 1, text.length, stdout);
    FreeBuffer(text);
    return result;
}

int DrawTape(const Command& command, const wchar_t* const* files, const TextBuffer& in)
{
    TextBuffer svg = {};
    TapeSvg(svg, Bytes(in), in.length, command.options[0].value);
    return WriteDrawing(files, svg);
}

int DrawStrip(const Command& command, const wchar_t* const* files, const TextBuffer& in)
{
    const Option& from = command.options[0];
    if (!FromFits(from, files[0], in.length))
        return EXIT_FAILED;
    TextBuffer svg = {};
    StripSvg(svg, Bytes(in), in.length, from.value, command.options[1].value);
    return WriteDrawing(files, svg);
}

int Compare(const Command& command, const wchar_t* const* files, const TextBuffer& expected)
{
    TextBuffer actual = {};
    int result = command.unreadExit;
    char expectedName[MAX_PATH * 2], actualName[MAX_PATH * 2];
    if (Read(files[1], actual))
        result = CompareTapes(Bytes(expected), expected.length,
                              NarrowPath(files[0], expectedName, sizeof expectedName),
                              Bytes(actual), actual.length,
                              NarrowPath(files[1], actualName, sizeof actualName),
                              static_cast<unsigned char>(command.options[0].value));
    FreeBuffer(actual);
    return result;
}

int Check(const Command&, const wchar_t* const* files, const TextBuffer& in)
{
    char name[MAX_PATH * 2];
    return CheckFormat(Bytes(in), in.length, NarrowPath(files[0], name, sizeof name));
}

int DrawTiming(const Command& command, const wchar_t* const* files, const TextBuffer& in)
{
    const unsigned long byteCount = command.options[0].value;
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

int Run(const Command& command, const wchar_t* const* files)
{
    TextBuffer in = {};
    const int result = Read(files[0], in) ? command.run(command, files, in) : command.unreadExit;
    FreeBuffer(in);
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    char verb[64] = "";
    if (argc > 1)
        AsciiArgument(argv[1], verb, sizeof verb);
    if (argc == 2 && std::strcmp(verb, "--version") == 0) {
        std::printf("tapeview %s\n", TAPELARK_VERSION);
        return 0;
    }
    if (argc == 2 && (std::strcmp(verb, "--help") == 0 || std::strcmp(verb, "/?") == 0
                      || std::strcmp(verb, "-h") == 0)) {
        std::fputs(USAGE, stdout);
        std::fputs(HELP, stdout);
        return 0;
    }
    const Option FROM = {"--from", 0, 0, ULONG_MAX, false, "a row, 0 or more", false};
    const char ROWS_TAKE[] = "a number of rows, 1 to 10000000";
    static const char* const CODES[] = {"raw", "eia", nullptr};
    // compare follows cmp: a file it cannot read is exit code 2.
    Command commands[] = {
        {"text", 1,
         {FROM, {"--rows", 0, 1, MAX_ROWS, false, ROWS_TAKE, false},
          {"--code", 0, 0, 0, false, "raw or eia", false, CODES}},
         ShowText, EXIT_FAILED},
        {"tape-svg", 2, {{"--rows", 64, 1, MAX_ROWS, false, ROWS_TAKE, false}}, DrawTape,
         EXIT_FAILED},
        {"strip-svg", 2, {FROM, {"--rows", 200, 1, MAX_ROWS, false, ROWS_TAKE, false}}, DrawStrip,
         EXIT_FAILED},
        {"compare", 2, {{"--trim", 0, 0, 255, true, "a byte, 0 to 255, decimal or 0x hex", false}},
         Compare, EXIT_USAGE},
        {"check", 1, {}, Check, EXIT_USAGE},
        {"timing-svg", 2,
         {{"--bytes", 3, 1, MAX_ROWS, false, "a number of bytes, 1 or more", false}}, DrawTiming,
         EXIT_FAILED},
    };
    if (argc < 2)
        return CommandLineError("tapeview", USAGE, "a command is needed");
    for (Command& command : commands) {
        if (std::strcmp(verb, command.name) != 0)
            continue;
        const wchar_t* files[2] = {};
        const int usage = ParseCommand(argc, argv, command, files);
        return usage >= 0 ? usage : Run(command, files);
    }
    return CommandLineError("tapeview", USAGE, "there is no command %s", verb);
}
