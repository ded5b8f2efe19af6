// tapeprep: a punch-ready copy of a file: leader, an optional label in
// letters, the file's bytes (all or a piece, in the code asked for) and
// trailer; or a test strip of every channel.
#include "format_tape.h"
#include "tape_codes.h"
#include "tape_layout.h"
#include "safe_output.h"
#include "tool_common.h"
#include "version.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr unsigned long DEFAULT_ROWS = 120;  // 12 inches at 10 rows per inch
constexpr unsigned long MAX_ROWS = 100000;
constexpr DWORD CHUNK = 64 * 1024;

const char USAGE[] =
    "usage: tapeprep [--code CODE] [--newline crlf|cr|lf] [--from N] [--to M]\n"
    "                [--leader N] [--trailer N] [--fill BYTE] [--label TEXT] IN OUT\n"
    "       tapeprep --format NAME [--code CODE] [--newline crlf] [--leader N]\n"
    "                [--trailer N] [--label TEXT] IN OUT\n"
    "       tapeprep --test-strip [--leader N] [--trailer N] [--fill BYTE] OUT\n"
    "       tapeprep --help | --version\n";

const char HELP[] =
    "Writes OUT, a tape ready to punch: N rows of leader, the label's letters\n"
    "when one is asked for, the bytes of IN, N rows of trailer. Give OUT to\n"
    "tapelark; tapeview shows it before you punch it.\n"
    "  --code CODE    the code of the tape (raw):\n"
    "                 raw          the bytes of IN unchanged\n"
    "                 ascii-even   7-bit ASCII, channel 8 the parity: every row\n"
    "                 ascii-odd    has an even or odd number of holes,\n"
    "                 ascii-mark   channel 8 always punched (PDP-8 text)\n"
    "                 ascii-space  or never\n"
    "                 ita2         5 holes, letter and figure shifts: A-Z,\n"
    "                 us-tty       0-9, space, CR, LF and - ? : ( ) . , / BEL;\n"
    "                              ita2 also ' = +, us-tty ' ; \" $ ! & #\n"
    "                 eia          EIA RS-244 for NC machines (odd, EOB channel 8)\n"
    "  --newline END  crlf, cr or lf: every line end of IN (CR LF, LF, CR)\n"
    "                 becomes END; with a code other than raw\n"
    "  --from N       skip the first N bytes of IN: the window's count after a\n"
    "                 stop (\"Stopped after N of M bytes\") starts a repair piece\n"
    "  --to M         end after the M-th byte of IN\n"
    "  --leader N     rows of leader, 0 to 100000 (120: 12 inches)\n"
    "  --trailer N    rows of trailer, 0 to 100000 (120)\n"
    "  --fill BYTE    the byte of leader, trailer and the label's spaces, 0 to\n"
    "                 255, decimal or 0x hex (0: feed holes only; some loaders\n"
    "                 want 0x80, channel 8)\n"
    "  --label TEXT   TEXT in letters of 5x7 holes, one row per column of a\n"
    "                 letter, a fill row between letters and around the label:\n"
    "                 A-Z, 0-9, space and . , - / : ( ) + # ' (not with ita2\n"
    "                 or us-tty)\n"
    "  --format NAME  check IN against its loader's format before a row is\n"
    "                 written, then punch its data unchanged between the\n"
    "                 format's own leader and trailer (IN's own are replaced):\n"
    "                 pdp8-bin   PDP-8 BIN loader: 200 leader, the label\n"
    "                            between rubouts, which the loader skips\n"
    "                 pdp8-rim   PDP-8 RIM loader: 200 leader, no label\n"
    "                 pdp11-lda  PDP-11 absolute loader: blank leader\n"
    "                 intel-hex  Intel hex records: 25 NULs at least; also\n"
    "                            with an ascii code and --newline crlf\n"
    "  --test-strip   instead of IN: the label TEST, then channels 1 to 8 each\n"
    "                 alone, all eight, and a row of feed holes only\n"
    "The letters use channels 1 to 7: a letter's top is channel 7, its foot\n"
    "channel 1; channel 8 stays blank. Hold the tape with its start to the left\n"
    "and channel 8 at the top edge, and the label reads left to right.\n"
    "OUT is written to a temporary file beside it and takes OUT's name only\n"
    "when complete: on failure nothing is left behind and an existing OUT is\n"
    "untouched.\n"
    "Exit code: 0 done, 1 when IN cannot be read, the code cannot carry one of\n"
    "its bytes, --from or --to is past its end, IN does not check against\n"
    "--format, OUT cannot be written or names the same file as IN, 2 for a\n"
    "wrong command line.\n";

// Channels 1 to 8 each alone, all eight, none.
const unsigned char TEST_ROWS[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0xFF, 0x00};

struct Options {
    unsigned long leader = DEFAULT_ROWS;
    unsigned long trailer = DEFAULT_ROWS;
    unsigned long fill = 0;
    unsigned long from = 0;
    unsigned long to = 0;
    bool hasTo = false;
    Code code = Code::RAW;
    Newline newline = Newline::KEEP;
    bool hasCode = false;
    bool hasFill = false;
    TapeFormat format = TapeFormat::NONE;
    const char* label = nullptr;
    bool testStrip = false;
    const wchar_t* in = nullptr;
    const wchar_t* out = nullptr;
};

// An argument as ASCII; the last few stay valid at once.
const char* Ascii(const wchar_t* text)
{
    static char buffers[4][512];
    static int next = 0;
    return AsciiArgument(text, buffers[next++ % 4], sizeof buffers[0]);
}

bool Is(const char* arg, const char* option)
{
    return std::strcmp(arg, option) == 0;
}

// The command line as --format sees it.
FormatJob Job(const Options& options, bool piece)
{
    return {options.format, options.leader,  options.trailer, options.hasCode,
            options.code,   options.newline, options.hasFill, piece,
            options.label != nullptr, options.in, options.out};
}

// Returns -1 when the command line is good, else the exit code.
int ParseOptions(int argc, wchar_t** argv, Options& options)
{
    const wchar_t* files[3] = {};
    int positional = 0;
    bool hasFrom = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = Ascii(argv[i]);
        if (arg[0] != '-' || !arg[1]) {
            if (positional == 3)
                return CommandLineError("tapeprep", USAGE, "one file too many: %s", arg);
            files[positional++] = argv[i];
            continue;
        }
        if (Is(arg, "--test-strip")) {
            options.testStrip = true;
            continue;
        }
        static const char* const VALUED[] = {"--leader",  "--trailer", "--fill", "--label",
                                             "--code",    "--newline", "--from", "--to",
                                             "--format"};
        bool known = false;
        for (const char* name : VALUED)
            known = known || Is(arg, name);
        if (!known)
            return CommandLineError(
                "tapeprep", USAGE, "unknown option %s (tapeprep --help lists the options)", arg);
        if (i + 1 == argc)
            return CommandLineError("tapeprep", USAGE, "a value is missing after %s", arg);
        const wchar_t* wide = argv[++i];
        const char* value = Ascii(wide);
        if (Is(arg, "--label")) {
            for (const wchar_t* c = wide; *c; ++c)
                if (*c > 0x7E) {
                    return CommandLineError("tapeprep", USAGE,
                        "the label cannot have the character U+%04X.\n"
                        "The letters are %s.",
                        static_cast<unsigned>(*c), LABEL_CHARACTERS);
                }
            options.label = _strdup(value);
        } else if (Is(arg, "--code")) {
            if (!CodeByName(value, options.code))
                return CommandLineError("tapeprep", USAGE,
                    "there is no code %s. The codes are:\n  %s", value, CODE_NAMES);
            options.hasCode = true;
        } else if (Is(arg, "--format")) {
            if (!FormatByName(value, options.format))
                return CommandLineError("tapeprep", USAGE,
                    "there is no format %s. The formats are:\n  %s", value, FORMAT_NAMES);
        } else if (Is(arg, "--newline")) {
            static const char* const ENDS[] = {"crlf", "cr", "lf"};
            for (int end = 0; end < 3; ++end)
                if (Is(value, ENDS[end]))
                    options.newline = static_cast<Newline>(end + 1);
            if (options.newline == Newline::KEEP)
                return CommandLineError(
                    "tapeprep", USAGE, "--newline takes crlf, cr or lf, not %s", value);
        } else if (Is(arg, "--from") || Is(arg, "--to")) {
            const bool from = Is(arg, "--from");
            if (!ParseNumberW(wide, 0, ULONG_MAX, false, from ? options.from : options.to))
                return CommandLineError(
                    "tapeprep", USAGE, "%s takes a count of bytes of IN, 0 or more", arg);
            (from ? hasFrom : options.hasTo) = true;
        } else {
            const bool isFill = Is(arg, "--fill");
            options.hasFill = options.hasFill || isFill;
            unsigned long& number = isFill ? options.fill
                                    : Is(arg, "--leader") ? options.leader : options.trailer;
            if (!ParseNumberW(wide, 0, isFill ? 255 : MAX_ROWS, true, number))
                return CommandLineError("tapeprep", USAGE,
                    isFill ? "%s takes a byte, 0 to 255, decimal or 0x hex"
                           : "%s takes a number of rows, 0 to 100000",
                    arg);
        }
    }
    if (options.testStrip) {
        if (options.label || options.hasCode || options.newline != Newline::KEEP || hasFrom
            || options.hasTo || options.format != TapeFormat::NONE)
            return CommandLineError("tapeprep", USAGE,
                "--test-strip makes its own label and data: it takes no --label,\n"
                "--code, --newline, --from, --to or --format");
        if (positional != 1)
            return CommandLineError("tapeprep", USAGE, "--test-strip takes OUT only");
        options.out = files[0];
        return -1;
    }
    if (positional == 3)
        return CommandLineError("tapeprep", USAGE, "one file too many: %s", Ascii(files[2]));
    if (positional < 2)
        return CommandLineError("tapeprep", USAGE, "IN and OUT are both needed");
    options.in = files[0];
    options.out = files[1];
    char why[300];
    if (options.format != TapeFormat::NONE
        && !FormatOptionsFit(Job(options, hasFrom || options.hasTo), why, sizeof why))
        return CommandLineError("tapeprep", USAGE, "%s", why);
    if (options.newline != Newline::KEEP && !HasLineEnds(options.code)
        && options.format == TapeFormat::NONE)
        return CommandLineError("tapeprep", USAGE,
                                "--newline needs a code with CR and LF: ascii-even, ita2, ...");
    if (options.label && (options.code == Code::ITA2 || options.code == Code::US_TTY))
        return CommandLineError(
            "tapeprep", USAGE, "--label needs channels 1 to 7: not with a 5-hole code");
    if (options.label && !*options.label)
        return CommandLineError("tapeprep", USAGE, "--label needs some text");
    if (hasFrom && options.hasTo && options.from > options.to)
        return CommandLineError("tapeprep", USAGE,
            "--from %lu comes after --to %lu: the piece would end before it starts", options.from,
            options.to);
    return -1;
}

} // namespace

// A path for a message, in the console's code page.
const char* Shown(const wchar_t* path)
{
    static char buffers[2][MAX_PATH * 2];
    static int next = 0;
    char* shown = buffers[next++ % 2];
    return NarrowPath(path, shown, sizeof buffers[0]);
}

int CannotRead(const wchar_t* path, DWORD error)
{
    char reason[300];
    std::fprintf(stderr, "tapeprep: cannot read %s: %s\n", Shown(path),
                 ErrorReason(error, reason, sizeof reason));
    return EXIT_FAILED;
}

bool WriteRows(SafeOutput& out, unsigned long count, unsigned char fill)
{
    static unsigned char rows[MAX_ROWS];
    std::memset(rows, fill, count);
    return WriteSafeOutput(out, rows, count);
}

int RefuseByte(const wchar_t* in, const Conversion& conversion, unsigned char refused)
{
    std::fprintf(stderr,
                 "tapeprep: %s, line %lu, column %lu: byte 0x%02X %s.\n"
                 "Change the file there, or choose a code that has it (tapeprep --help).\n",
                 Shown(in), conversion.line, conversion.column, refused,
                 RefusalReason(conversion.code));
    return EXIT_FAILED;
}

namespace {

unsigned char g_chunk[CHUNK];
unsigned char g_converted[2 * CHUNK + 1];

enum class Step { DONE, READ_FAILED, WRITE_FAILED, REFUSED };

// IN's bytes from --from to --to in the code asked for.
Step WriteData(const Options& options, HANDLE in, SafeOutput& out, Conversion& conversion,
               unsigned char& refused)
{
    unsigned long long offset = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, g_chunk, CHUNK, &got, nullptr))
            return Step::READ_FAILED;
        if (got == 0)
            return Step::DONE;
        // This chunk holds IN's bytes offset to end; convert first to last.
        const unsigned long long start = offset, end = offset + got;
        unsigned long long first = start;
        if (first < options.from)
            first = end < options.from ? end : options.from;
        unsigned long long last = end;
        if (options.hasTo && last > options.to)
            last = first > options.to ? first : options.to;
        SkipBytes(conversion, g_chunk, static_cast<size_t>(first - start));
        offset = end;
        const long converted = ConvertBytes(conversion, g_chunk + (first - start),
                                            static_cast<size_t>(last - first), g_converted,
                                            refused);
        if (converted < 0)
            return Step::REFUSED;
        if (!WriteSafeOutput(out, g_converted, static_cast<size_t>(converted)))
            return Step::WRITE_FAILED;
        if (options.hasTo && offset >= options.to)
            return Step::DONE;
    }
}

// Checks --from and --to against IN's size; -1 when they fit.
int CheckRange(const Options& options, HANDLE in)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(in, &size))
        return CannotRead(options.in, GetLastError());
    const unsigned long long bytes = static_cast<unsigned long long>(size.QuadPart);
    const bool fromPast = options.from > bytes, toPast = options.hasTo && options.to > bytes;
    if (!fromPast && !toPast)
        return -1;
    // Past the end means IN is shorter than a count, so its size fits one.
    const unsigned long shorter = static_cast<unsigned long>(bytes);
    std::fprintf(stderr,
                 "tapeprep: --%s %lu is past the end of %s, which has %lu bytes.\n"
                 "Give a count from 0 to %lu; tapeview text shows the file's rows.\n",
                 fromPast ? "from" : "to", fromPast ? options.from : options.to,
                 Shown(options.in), shorter, shorter);
    return EXIT_FAILED;
}

int Prepare(const Options& options, const unsigned char* label, size_t labelRows)
{
    HANDLE in = INVALID_HANDLE_VALUE;
    if (!options.testStrip) {
        in = CreateFileW(options.in, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (in == INVALID_HANDLE_VALUE)
            return CannotRead(options.in, GetLastError());
        const int range = CheckRange(options, in);
        if (range >= 0) {
            CloseHandle(in);
            return range;
        }
    }
    SafeOutput out;
    if (!OpenSafeOutput(out, options.out, &options.in, options.testStrip ? 0 : 1)) {
        if (in != INVALID_HANDLE_VALUE)
            CloseHandle(in);
        std::fprintf(stderr, "tapeprep: %s\n", out.why);
        return EXIT_FAILED;
    }
    Conversion conversion;
    StartConversion(conversion, options.code, options.newline);
    unsigned char refused = 0;
    const unsigned char fill = static_cast<unsigned char>(options.fill);
    Step step = WriteRows(out, options.leader, fill) && WriteSafeOutput(out, label, labelRows)
                    ? Step::DONE
                    : Step::WRITE_FAILED;
    if (step == Step::DONE)
        step = options.testStrip ? (WriteSafeOutput(out, TEST_ROWS, sizeof TEST_ROWS)
                                        ? Step::DONE
                                        : Step::WRITE_FAILED)
                                 : WriteData(options, in, out, conversion, refused);
    if (step == Step::DONE && !WriteRows(out, options.trailer, fill))
        step = Step::WRITE_FAILED;
    const DWORD error = GetLastError();
    if (in != INVALID_HANDLE_VALUE)
        CloseHandle(in);
    if (step == Step::DONE && FinishSafeOutput(out))
        return 0;
    if (step == Step::DONE || step == Step::WRITE_FAILED) {
        std::fprintf(stderr, "tapeprep: %s\n", out.why);
        return EXIT_FAILED;
    }
    AbandonSafeOutput(out);
    if (step == Step::READ_FAILED)
        return CannotRead(options.in, error);
    return RefuseByte(options.in, conversion, refused);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const char* first = argc == 2 ? Ascii(argv[1]) : "";
    if (Is(first, "--help") || Is(first, "/?") || Is(first, "-h")) {
        std::fputs(USAGE, stdout);
        std::fputs(HELP, stdout);
        return 0;
    }
    if (Is(first, "--version")) {
        std::printf("tapeprep %s\n", TAPELARK_VERSION);
        return 0;
    }
    Options options;
    const int usage = ParseOptions(argc, argv, options);
    if (usage >= 0)
        return usage;
    const char* text = options.testStrip ? "TEST" : options.label ? options.label : "";
    unsigned char* label = static_cast<unsigned char*>(std::malloc(1 + 6 * std::strlen(text)));
    if (!label)
        return EXIT_FAILED;
    char refused = 0;
    const size_t labelRows = *text ? LabelRows(text, static_cast<unsigned char>(options.fill),
                                               label, refused)
                                   : 0;
    if (*text && !labelRows) {
        std::free(label);
        return CommandLineError("tapeprep", USAGE,
            "the label cannot have the character \"%c\" (0x%02X).\n"
            "The letters are %s.",
            refused, static_cast<unsigned char>(refused), LABEL_CHARACTERS);
    }
    const int result = options.format == TapeFormat::NONE
                           ? Prepare(options, label, labelRows)
                           : PrepareFormatted(Job(options, false), label, labelRows);
    std::free(label);
    return result;
}
