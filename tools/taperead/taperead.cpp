// taperead: a tape read in from a reader on a serial port into a file, then
// checked against its loader's format and, when asked, compared with the
// file it was punched from. See HELP below.
#include "command_line.h"
#include "read_back.h"
#include "safe_output.h"
#include "serial_line.h"
#include "tape_row.h"
#include "tool_common.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

const char USAGE[] =
    "usage: taperead PORT OUT [--baud N (9600)] [--bits 7|8 (8)]\n"
    "         [--parity none|even|odd|mark|space (none)] [--stop 1|2 (1)]\n"
    "         [--control none|dtr|rts|xon (none)] [--idle SECONDS (3)]\n"
    "         [--rows N] [--compare ORIGINAL]\n"
    "       taperead --help | --version\n";

const char HELP[] =
    "Reads a tape from a reader on serial port PORT (COM1 to COM256) into OUT,\n"
    "a row a byte, then says which loader format it holds and checks it, as\n"
    "tapeview check does; with --compare, compares it with ORIGINAL, the tape\n"
    "file it was punched from, as tapeview compare does.\n"
    "  --baud, --bits, --parity, --stop  the line, as the reader sends\n"
    "  --control  how the reader is started and stopped: none (by hand), dtr\n"
    "             or rts (that line on while reading), xon (XON to start,\n"
    "             XOFF to stop)\n"
    "  --idle     the read ends when no row has come for SECONDS (1 to 3600)\n"
    "             after the first: the reader ran off the tape\n"
    "  --rows     the read ends after N rows\n"
    "Ctrl+C also ends it. OUT holds every row read, whichever ended it; it is\n"
    "written whole or not at all, never over ORIGINAL. Errors that the port\n"
    "reports (overrun, framing, parity) are named with the row.\n"
    "Exit code: 0 when the read checks (with --compare: is the same) and the\n"
    "port reported no error, 1 when not or when the port or a file fails, 2 for\n"
    "a wrong command line or ORIGINAL not read.\n";

enum { BAUD, BITS, PARITY, STOP, CONTROL, IDLE, ROWS, COMPARE, OPTION_COUNT };

const char* const BIT_WORDS[] = {"8", "7", nullptr};
const char* const PARITY_WORDS[] = {"none", "odd", "even", "mark", "space", nullptr};
const char* const STOP_WORDS[] = {"1", "2", nullptr};
const char* const CONTROL_WORDS[] = {"none", "dtr", "rts", "xon", nullptr};

volatile bool g_stop = false;
char g_port[16];  // "COM3", for messages

// Ctrl+C and Ctrl+Break end the read, and OUT keeps its rows; installed
// after the safe output's handler, so that it is asked first.
BOOL WINAPI OnBreak(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    g_stop = true;
    return TRUE;
}

// "COM3", "com3" or "\\.\COM3" to 3; 0 for anything else.
unsigned long PortNumber(const wchar_t* argument)
{
    char text[32];
    char* name = text;
    AsciiArgument(argument, text, sizeof text);
    if (std::strncmp(name, "\\\\.\\", 4) == 0)
        name += 4;
    for (char* at = name; *at; ++at)
        if (*at >= 'a' && *at <= 'z')
            *at = static_cast<char>(*at - 'a' + 'A');
    if (std::strncmp(name, "COM", 3) != 0 || name[3] == '0')
        return 0;
    wchar_t digits[8] = {};
    for (int i = 0; i < 7 && name[3 + i]; ++i)
        digits[i] = static_cast<unsigned char>(name[3 + i]);
    unsigned long number = 0;
    return ParseNumberW(digits, 1, 256, false, number) ? number : 0;
}

double Feet(std::size_t rows)
{
    return static_cast<double>(rows) / ROWS_PER_FOOT;
}

// The live line, a few times a second.
void ShowProgress(const TextBuffer& rows, const ReadResult& result)
{
    static DWORD shownAt = 0;
    static std::size_t shownRows = 0;
    const DWORD now = GetTickCount();
    if (rows.length == shownRows || now - shownAt < 250)
        return;
    shownAt = now;
    shownRows = rows.length;
    // The rows since those of the first read, over the time since it.
    const DWORD ms = result.lastMs - result.firstMs;
    const unsigned long rate =
        ms ? static_cast<unsigned long>((rows.length - result.firstRows) * 1000.0 / ms) : 0;
    std::printf("\r%lu rows, %.1f ft, %.2f m, %lu rows a second   ",
                static_cast<unsigned long>(rows.length), Feet(rows.length),
                rows.length * METRES_PER_ROW, rate);
    std::fflush(stdout);
}

// Why the port could not be opened or set up, and what to do.
int RefusePort(DWORD error, const char* what)
{
    char reason[200];
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        std::fprintf(stderr,
                     "taperead: there is no %s on this PC.\n"
                     "Device Manager lists the serial ports under Ports (COM & LPT).\n",
                     g_port);
    else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        std::fprintf(stderr,
                     "taperead: %s is in use by another program.\n"
                     "Close that program (a terminal?), then read again.\n",
                     g_port);
    else
        std::fprintf(stderr, "taperead: %s %s:\n%s.\n", g_port, what,
                     ErrorReason(error, reason, sizeof reason));
    return EXIT_FAILED;
}

void SayLineErrors(const ReadResult& result)
{
    static const struct {
        DWORD kind;
        const char* text;
    } KINDS[] = {{CE_OVERRUN, "an overrun: rows came faster than the PC took them in"},
                 {CE_RXOVER, "a full input buffer: rows were lost"},
                 {CE_FRAME, "a framing error: check --baud, --bits and --stop"},
                 {CE_RXPARITY, "a parity error: check --parity, or a row read wrong"}};
    for (int i = 0; i < result.errorCount && i < MAX_LINE_ERRORS; ++i) {
        const LineError& error = result.errors[i];
        for (const auto& kind : KINDS) {
            if (!(error.kinds & kind.kind))
                continue;
            std::printf("%s reported %s,\n", g_port, kind.text);
            if (error.through > error.row)
                std::printf("in rows %lu to %lu.\n", error.row, error.through - 1);
            else
                std::printf("after the first %lu rows.\n", error.row);
        }
    }
    if (result.errorCount > MAX_LINE_ERRORS)
        std::printf("...and %d more errors.\n", result.errorCount - MAX_LINE_ERRORS);
}

void SayEnd(const ReadResult& result, const Option* table, std::size_t rows)
{
    char reason[200];
    if (rows)
        std::printf("\n");
    switch (result.end) {
    case ReadEnd::IDLE:
        std::printf("The read ended: no row came for %lu s.\n", table[IDLE].number);
        break;
    case ReadEnd::ROWS: std::printf("The read ended after --rows %lu.\n", table[ROWS].number); break;
    case ReadEnd::INTERRUPTED: std::printf("The read ended by Ctrl+C.\n"); break;
    case ReadEnd::PORT_FAILED:
        std::printf("The read ended: %s failed:\n%s.\n", g_port,
                    ErrorReason(result.portError, reason, sizeof reason));
        break;
    }
    const DWORD ms = result.lastMs - result.firstMs;
    if (rows)
        std::printf("Read %lu rows (%.1f ft, %.2f m) from %s in %.1f s.\n",
                    static_cast<unsigned long>(rows), Feet(rows), rows * METRES_PER_ROW, g_port,
                    ms / 1000.0);
    SayLineErrors(result);
}

// Sets the port up, starts the reader, reads, stops it. False when the
// port failed before the read.
bool ReadFromPort(const wchar_t* path, const Option* table, TextBuffer& rows, ReadResult& result)
{
    const HANDLE port = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return RefusePort(GetLastError(), "does not open"), false;
    static const BYTE PARITIES[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    const ReaderControl control = static_cast<ReaderControl>(table[CONTROL].number);
    const LineSettings settings = {table[BAUD].number,
                                   static_cast<BYTE>(table[BITS].number ? 7 : 8),
                                   PARITIES[table[PARITY].number],
                                   static_cast<BYTE>(table[STOP].number ? TWOSTOPBITS : ONESTOPBIT),
                                   control};
    DWORD error = 0;
    bool ok = SetUpLine(WINDOWS_SERIAL, port, settings, error);
    if (!ok)
        RefusePort(error, "refuses --baud, --bits, --parity or --stop as given");
    else if (!StartReader(WINDOWS_SERIAL, port, control)) {
        ok = false;
        RefusePort(GetLastError(), "refuses --control as given");
    }
    if (ok) {
        std::printf("Waiting for the reader on %s: load the tape and start it.\n", g_port);
        std::fflush(stdout);
        SetConsoleCtrlHandler(OnBreak, TRUE);
        const ReadLimits limits = {table[IDLE].number * 1000, table[ROWS].number, &g_stop,
                                   ShowProgress};
        ReadTape(WINDOWS_SERIAL, port, limits, rows, result);
        StopReader(WINDOWS_SERIAL, port, control);
        SayEnd(result, table, rows.length);
    }
    CloseHandle(port);
    return ok;
}

// OUT from the rows; false, having said why, when it cannot be written.
bool WriteRead(SafeOutput& out, const TextBuffer& rows)
{
    char shown[MAX_PATH * 2];
    if (WriteSafeOutput(out, rows.data, rows.length) && FinishSafeOutput(out)) {
        std::printf("%s holds the %lu rows read.\n", NarrowPath(out.path, shown, sizeof shown),
                    static_cast<unsigned long>(rows.length));
        return true;
    }
    std::fprintf(stderr, "taperead: %s\n", out.why);
    return false;
}

const unsigned char* BytesOf(const TextBuffer& buffer)
{
    return reinterpret_cast<const unsigned char*>(buffer.data);
}

// The verdicts on the rows read: the format, and the compare when asked.
int Verdicts(const Option* table, const wchar_t* outPath, const TextBuffer& rows,
             const TextBuffer& original, const ReadResult& result)
{
    char outName[MAX_PATH * 2], originalName[MAX_PATH * 2];
    NarrowPath(outPath, outName, sizeof outName);
    std::printf("\n");
    int verdict = CheckFormat(BytesOf(rows), rows.length, outName);
    if (table[COMPARE].given) {
        std::printf("\n");
        verdict = CompareTapes(BytesOf(original), original.length,
                               NarrowPath(table[COMPARE].value, originalName, sizeof originalName),
                               BytesOf(rows), rows.length, outName, 0);
    }
    const bool whole = result.end != ReadEnd::PORT_FAILED && result.errorCount == 0;
    return verdict == 0 && whole ? 0 : EXIT_FAILED;
}

int Read(const wchar_t* const* files, const Option* table)
{
    TextBuffer original = {}, rows = {};
    DWORD error = 0;
    const wchar_t* compare = table[COMPARE].value;
    if (table[COMPARE].given && !ReadWholeFile(compare, original, error)) {
        SayCannotRead("taperead", compare, error);
        return EXIT_USAGE;
    }
    // \\.\COM3: the form that also opens COM10 and above.
    wchar_t path[24] = L"\\\\.\\";
    for (int i = 0; g_port[i]; ++i)
        path[4 + i] = static_cast<unsigned char>(g_port[i]);
    SafeOutput out;
    int result = EXIT_FAILED;
    ReadResult read = {};
    if (!OpenSafeOutput(out, files[1], &compare, table[COMPARE].given ? 1 : 0))
        std::fprintf(stderr, "taperead: %s\n", out.why);
    else if (!ReadFromPort(path, table, rows, read))
        AbandonSafeOutput(out);
    else if (rows.failed || rows.length == 0) {
        AbandonSafeOutput(out);
        std::printf(rows.failed ? "Out of memory: nothing was written.\n"
                                : "No row came: nothing was written.\n");
    } else if (WriteRead(out, rows))
        result = Verdicts(table, files[1], rows, original, read);
    FreeBuffer(rows);
    FreeBuffer(original);
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Option table[OPTION_COUNT] = {
        NumberOption("--baud", 110, 115200, false, "a rate from 110 to 115200", 9600),
        WordOption("--bits", BIT_WORDS, false, "7 or 8"),
        WordOption("--parity", PARITY_WORDS, true, "none, even, odd, mark or space"),
        WordOption("--stop", STOP_WORDS, false, "1 or 2"),
        WordOption("--control", CONTROL_WORDS, true, "none, dtr, rts or xon"),
        NumberOption("--idle", 1, 3600, false, "whole seconds from 1 to 3600", 3),
        NumberOption("--rows", 1, 100000000, false, "a number of rows, 1 or more"),
        TextOption("--compare", "the tape file that was punched"),
    };
    CommandLine line = ToolCommandLine("taperead", USAGE, HELP, EXIT_USAGE, table, OPTION_COUNT, 2);
    line.minFiles = 2;
    line.onceEach = true;
    const int usage = ParseCommandLine(line, argc, argv, 1);
    if (usage >= 0)
        return usage;
    const unsigned long number = PortNumber(line.files[0]);
    char shown[64];
    if (!number)
        return CommandLineError(line, "PORT is COM1 to COM256, not %s",
                                AsciiArgument(line.files[0], shown, sizeof shown));
    std::snprintf(g_port, sizeof g_port, "COM%lu", number);
    return Read(line.files, table);
}
