#include "options.h"

#include "command_line.h"
#include "tape_layout.h"
#include "tool_common.h"

#include <climits>
#include <cstring>

namespace {

constexpr int EXIT_USAGE = 2;
constexpr unsigned long DEFAULT_ROWS = 120;  // 12 inches at 10 rows per inch

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

// The options' places in the table.
enum { CODE, NEWLINE, FROM, TO, LEADER, TRAILER, FILL, LABEL, FORMAT, TEST_STRIP, OPTION_COUNT };

// The text options, which the table takes as they are.
int ReadTextOptions(const CommandLine& line, const Option* table, Options& options)
{
    char name[32];
    if (table[CODE].given
        && !CodeByName(AsciiArgument(table[CODE].value, name, sizeof name), options.code))
        return CommandLineError(line, "there is no code %s. The codes are:\n  %s", name,
                                CODE_NAMES);
    if (table[FORMAT].given
        && !FormatByName(AsciiArgument(table[FORMAT].value, name, sizeof name), options.format))
        return CommandLineError(line, "there is no format %s. The formats are:\n  %s", name,
                                FORMAT_NAMES);
    if (!table[LABEL].given)
        return -1;
    for (const wchar_t* c = table[LABEL].value; *c; ++c)
        if (*c > 0x7E)
            return CommandLineError(line,
                                    "the label cannot have the character U+%04X.\n"
                                    "The letters are %s.",
                                    static_cast<unsigned>(*c), LABEL_CHARACTERS);
    options.label = AsciiArgument(table[LABEL].value, options.labelText, sizeof options.labelText);
    return -1;
}

// The options against each other and the files.
int CheckTogether(const CommandLine& line, Options& options)
{
    if (options.testStrip) {
        if (options.label || options.hasCode || options.newline != Newline::KEEP
            || options.hasFrom || options.hasTo || options.format != TapeFormat::NONE)
            return CommandLineError(line,
                "--test-strip makes its own label and data: it takes no --label,\n"
                "--code, --newline, --from, --to or --format");
        if (line.fileCount != 1)
            return CommandLineError(line, "--test-strip takes OUT only");
        options.out = line.files[0];
        return -1;
    }
    if (line.fileCount < 2)
        return CommandLineError(line, "IN and OUT are both needed");
    options.in = line.files[0];
    options.out = line.files[1];
    NarrowPath(options.in, options.inShown, sizeof options.inShown);
    char why[300];
    if (options.format != TapeFormat::NONE
        && !FormatOptionsFit(FormatJobOf(options), why, sizeof why))
        return CommandLineError(line, "%s", why);
    if (options.newline != Newline::KEEP && !HasLineEnds(options.code)
        && options.format == TapeFormat::NONE)
        return CommandLineError(line,
                                "--newline needs a code with CR and LF: ascii-even, ita2, ...");
    if (options.label && (options.code == Code::ITA2 || options.code == Code::US_TTY))
        return CommandLineError(line, "--label needs channels 1 to 7: not with a 5-hole code");
    if (options.label && !*options.label)
        return CommandLineError(line, "--label needs some text");
    if (options.hasFrom && options.hasTo && options.from > options.to)
        return CommandLineError(line,
            "--from %lu comes after --to %lu: the piece would end before it starts", options.from,
            options.to);
    return -1;
}

// The label in letters; refused at a character the font lacks.
int DrawLabel(const CommandLine& line, Options& options)
{
    const char* text = options.testStrip ? "TEST" : options.label ? options.label : "";
    if (!*text)
        return -1;
    char refused = 0;
    options.labelRowCount =
        LabelRows(text, static_cast<unsigned char>(options.fill), options.labelRows, refused);
    if (options.labelRowCount)
        return -1;
    return CommandLineError(line,
                            "the label cannot have the character \"%c\" (0x%02X).\n"
                            "The letters are %s.",
                            refused, static_cast<unsigned char>(refused), LABEL_CHARACTERS);
}

} // namespace

int ParseOptions(int argc, wchar_t** argv, Options& options)
{
    static const char* const ENDS[] = {"crlf", "cr", "lf", nullptr};
    const char COUNT[] = "a count of bytes of IN, 0 or more";
    const char ROWS[] = "a number of rows, 0 to 100000";
    Option table[OPTION_COUNT] = {
        TextOption("--code", "the name of a code"),
        WordOption("--newline", ENDS, false, "crlf, cr or lf"),
        NumberOption("--from", 0, ULONG_MAX, false, COUNT),
        NumberOption("--to", 0, ULONG_MAX, false, COUNT),
        NumberOption("--leader", 0, MAX_ROWS, true, ROWS, DEFAULT_ROWS),
        NumberOption("--trailer", 0, MAX_ROWS, true, ROWS, DEFAULT_ROWS),
        NumberOption("--fill", 0, 255, true, "a byte, 0 to 255, decimal or 0x hex"),
        TextOption("--label", "the text of a label"),
        TextOption("--format", "the name of a format"),
        FlagOption("--test-strip"),
    };
    CommandLine line = ToolCommandLine("tapeprep", USAGE, HELP, EXIT_USAGE, table, OPTION_COUNT, 2);
    int result = ParseCommandLine(line, argc, argv, 1);
    if (result < 0)
        result = ReadTextOptions(line, table, options);
    if (result >= 0)
        return result;
    options.leader = table[LEADER].number;
    options.trailer = table[TRAILER].number;
    options.fill = table[FILL].number;
    options.hasFill = table[FILL].given;
    options.from = table[FROM].number;
    options.hasFrom = table[FROM].given;
    options.to = table[TO].number;
    options.hasTo = table[TO].given;
    options.hasCode = table[CODE].given;
    options.newline = table[NEWLINE].given ? static_cast<Newline>(table[NEWLINE].number + 1)
                                           : Newline::KEEP;
    options.testStrip = table[TEST_STRIP].given;
    result = CheckTogether(line, options);
    return result >= 0 ? result : DrawLabel(line, options);
}

FormatJob FormatJobOf(const Options& options)
{
    return {options.format, options.leader,  options.trailer, options.hasCode,
            options.code,   options.newline, options.hasFill, options.hasFrom || options.hasTo,
            options.label != nullptr, options.in, options.out, options.inShown};
}
