// portemu: the command line, and the wiring of debugger, port model and outputs.
// portemu runs an unmodified Windows program as its debugger and emulates
// the program's parallel-port I/O, with one Facit 4070 punch on LPT1 and one
// on LPT2, so the real program can be tested without hardware.
#include "debugger.h"
#include "port_model.h"
#include "port_io.h"
#include "recording.h"
#include "command_line.h"
#include "tape_row.h"

#include <cstdio>
#include <cwchar>

namespace {

constexpr int EXIT_EMULATION_ERROR = 97;
constexpr int EXIT_NOT_STARTED = 98;
constexpr int EXIT_USAGE = 99;
// Larger counts make no sense here and could overflow the time arithmetic.
constexpr unsigned long MAX_COUNT = 0xFFFFFFFFul;

const char USAGE[] =
    "usage: portemu [OPTIONS] -- PROGRAM.exe [ARGS...]\n"
    "       portemu --help | --version\n";

const char HELP[] =
    "Runs PROGRAM as its debugger and carries out its port I/O on an emulated\n"
    "LPT1 (378h) and LPT2 (278h), each with a Facit 4070 punch on it.\n"
    "  --busy-ms N       the punch holds BUSY for N ms after each byte (0)\n"
    "  --stuck-after N   the punch holds BUSY for good after N bytes\n"
    "  --busy-window FROM-TO\n"
    "                    the punches hold BUSY from FROM to TO ms after the\n"
    "                    program started, as if switched off for that while\n"
    "  --absent lpt1|lpt2\n"
    "                    no port at that address: every register reads FFh\n"
    "                    and writes go nowhere (may be given twice)\n"
    "  --ignores-writes lpt1|lpt2\n"
    "                    a port that takes no write: the registers read as\n"
    "                    before any write (may be given twice)\n"
    "  --lpt2-at ADDRESS the second port at ADDRESS (hex, 0xD010) instead of\n"
    "                    278h, as a PCI card's port; lpt2 above names it\n"
    "  --busy lpt1|lpt2  the punch on that port holds BUSY for good, as if\n"
    "                    switched off (may be given twice)\n"
    "  --error lpt1|lpt2 pin 15 (ERROR) held low on that port: status bit 3\n"
    "                    reads 0 (may be given twice)\n"
    "  --tape-low-after N\n"
    "                    the punches drive pin 12 (paper end) from their\n"
    "                    tape-low line: low, status bit 5 reading 0, until\n"
    "                    each has punched N bytes, then high\n"
    "  --trace FILE      every register access, with its time in microseconds\n"
    "  --punched FILE    every byte the punch took\n"
    "  --live            each row to stdout as the punch takes its byte\n"
    "Errors, as a real port and punch would have them: each is written to\n"
    "stderr and to the trace as an ERROR line, and makes portemu exit with 97.\n"
    "  - port I/O before the program has opened \\\\.\\giveio (Windows raises a\n"
    "    privileged-instruction exception; the program gets it here too),\n"
    "    but for the I/O of a DLL named " INPOUT_DLL ", which stands for\n"
    "    InpOut32's DLL and its driver\n"
    "  - a STROBE release while the punch holds BUSY, or with no 0xFF on the\n"
    "    data lines (the first data write after STROBE went low) before the\n"
    "    byte, or with the byte written less than 12 ms after that 0xFF: the\n"
    "    byte is not punched\n"
    "  - STROBE low again less than 1 ms after a release\n"
    "  - anything but 8-bit in/out through dx, or a port other than the\n"
    "    three registers of the two ports\n"
    "A pause is timed from trap to trap, less the time portemu held that\n"
    "thread stopped at its traps. What is left of a trap's delay (0.2 to 1 ms\n"
    "under Wine) only lengthens a pause, so the tolerance, 0.1 ms, only covers\n"
    "the clocks; a pause short by less than that delay can pass unseen.\n"
    "A present port reads as a standard one: data gives the last byte written,\n"
    "control the bits 0-4 written with bits 5-7 reading 1, status the punch\n"
    "(7Fh ready, FFh busy, pins 12 and 15 high unless held); a write to status\n"
    "is ignored.\n"
    "Exit code: PROGRAM's own, 97 after an error, 98 when PROGRAM could not be\n"
    "run, 99 for a wrong command line.\n";

struct Options {
    PunchOptions punch;
    bool live = false;
    const wchar_t* tracePath = nullptr;
    const wchar_t* punchedPath = nullptr;
    int programIndex = 0;  // argv index of PROGRAM
};

// ---- The emulator: the debugger's traps carried out on the model ----------

struct Emulator {
    Options options;
    PortModel model;
    LONGLONG frequency = 1;
    LONGLONG start = 0;
    bool shownHeader = false;
    Trace trace;
    OutputFile punched;
    bool failed = false;
};

long long Micros(const Emulator& emu, LONGLONG ticks)
{
    const long long frequency = emu.frequency;
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

void ReportError(Emulator& emu, const Trap& trap, const char* problem)
{
    char form[32];
    DescribeForm(*trap.io, form, sizeof form);
    char text[224];
    std::snprintf(text, sizeof text, "at %08llx: %s, port %03x: %s",
                  static_cast<unsigned long long>(trap.address), form, trap.port, problem);
    std::fprintf(stderr, "portemu: ERROR %s\n", text);
    TraceError(emu.trace, text);
    emu.failed = true;
}

// The row as the tape will show it, the moment the punch takes the byte.
void ShowRow(Emulator& emu, int index)
{
    const Punch& punch = emu.model.punches[index];
    char row[64];
    if (!emu.shownHeader) {
        TapeRowHeader(row, sizeof row);
        std::printf("port %s", row);
    }
    emu.shownHeader = true;
    TapeRowText(static_cast<unsigned long>(punch.latched - 1), punch.data, row, sizeof row);
    std::printf("%s %s", index == 0 ? "LPT1" : "LPT2", row);
    std::fflush(stdout);
}

bool CarryOut(const Trap& trap, std::uint8_t& value, void* context)
{
    Emulator& emu = *static_cast<Emulator*>(context);
    if (!trap.granted) {
        // Windows refuses it: the program gets its exception.
        ReportError(emu, trap, "port I/O before \\\\.\\giveio was opened");
        return false;
    }
    const char* refused = FormProblem(*trap.io);
    if (refused) {
        ReportError(emu, trap, refused);
        return false;
    }
    emu.model.programStart = Micros(emu, trap.programStart - emu.start);
    const Moment at = {Micros(emu, trap.ticks - emu.start), Micros(emu, trap.heldTicks),
                       trap.thread};
    const AccessResult result = PortAccess(emu.model, at, trap.port, trap.io->isIn, value);
    if (result.refused) {
        ReportError(emu, trap, result.refused);
        return false;
    }
    TraceAccess(emu.trace, static_cast<unsigned long long>(at.micros), trap.io->isIn, trap.port,
                value);
    if (result.fault[0])
        ReportError(emu, trap, result.fault);
    if (result.punched >= 0) {
        AppendOutput(emu.punched, &emu.model.punches[result.punched].data, 1);
        if (emu.options.live)
            ShowRow(emu, result.punched);
    }
    return true;
}

// ---- The command line -------------------------------------------------------

// FROM-TO, both counts up to 2^32 - 1, FROM before TO.
bool ParseWindow(const wchar_t* text, long long& from, long long& to)
{
    const wchar_t* dash = std::wcschr(text, L'-');
    if (!dash || dash - text >= 16)
        return false;
    wchar_t first[16] = {};
    std::wmemcpy(first, text, static_cast<std::size_t>(dash - text));
    unsigned long low = 0, high = 0;
    if (!ParseNumberW(first, 0, MAX_COUNT, false, low)
        || !ParseNumberW(dash + 1, 0, MAX_COUNT, false, high) || low >= high)
        return false;
    from = static_cast<long long>(low);
    to = static_cast<long long>(high);
    return true;
}

// A count given, or the punch's own default.
void TakeCount(const Option& option, long long& count)
{
    if (option.given)
        count = static_cast<long long>(option.number);
}

// The ports each of a port option's words named.
void TakePorts(const Option& option, bool* ports)
{
    for (int port = 0; port < 2; ++port)
        ports[port] = ports[port] || (option.wordsGiven >> port & 1);
}

int ParseOptions(int argc, wchar_t** argv, Options& options)
{
    static const char* const PORTS[] = {"lpt1", "lpt2", nullptr};
    enum { BUSY_MS, STUCK_AFTER, BUSY_WINDOW, TAPE_LOW_AFTER, ABSENT, IGNORES_WRITES, LPT2_AT,
           BUSY, ERROR_HELD, LIVE, TRACE, PUNCHED, OPTION_COUNT };
    const char MS[] = "a number of ms, 0 to 4294967295";
    const char BYTES[] = "a number of bytes, 0 to 4294967295";
    Option table[OPTION_COUNT] = {
        NumberOption("--busy-ms", 0, MAX_COUNT, false, MS),
        NumberOption("--stuck-after", 0, MAX_COUNT, false, BYTES),
        TextOption("--busy-window", "FROM-TO in ms, FROM before TO"),
        NumberOption("--tape-low-after", 0, MAX_COUNT, false, BYTES),
        WordOption("--absent", PORTS, true, "lpt1 or lpt2"),
        WordOption("--ignores-writes", PORTS, true, "lpt1 or lpt2"),
        NumberOption("--lpt2-at", 0x100, 0xFFFC, true, "an address in hex, 0x100 to 0xFFFC",
                     LPT2_BASE),
        WordOption("--busy", PORTS, true, "lpt1 or lpt2"),
        WordOption("--error", PORTS, true, "lpt1 or lpt2"),
        FlagOption("--live"),
        TextOption("--trace", "a file"),
        TextOption("--punched", "a file"),
    };
    CommandLine line = ToolCommandLine("portemu", USAGE, HELP, EXIT_USAGE, table, OPTION_COUNT, 0);
    line.programAfterDashes = true;
    const int result = ParseCommandLine(line, argc, argv, 1);
    if (result >= 0)
        return result;
    PunchOptions& punch = options.punch;
    if (table[BUSY_WINDOW].given
        && !ParseWindow(table[BUSY_WINDOW].value, punch.busyFrom, punch.busyTo))
        return RefuseValue(line, table[BUSY_WINDOW]);
    if (line.program == 0 || line.program == argc)
        return CommandLineError(line, "the program to run is missing: it goes after --");
    TakeCount(table[BUSY_MS], punch.busyMs);
    TakeCount(table[STUCK_AFTER], punch.stuckAfter);
    TakeCount(table[TAPE_LOW_AFTER], punch.tapeLowAfter);
    TakePorts(table[ABSENT], punch.absent);
    TakePorts(table[IGNORES_WRITES], punch.ignoresWrites);
    punch.bases[1] = static_cast<unsigned>(table[LPT2_AT].number);
    TakePorts(table[BUSY], punch.busy);
    TakePorts(table[ERROR_HELD], punch.error);
    options.live = table[LIVE].given;
    options.tracePath = table[TRACE].value;
    options.punchedPath = table[PUNCHED].value;
    options.programIndex = line.program;
    return -1;
}

}  // namespace

// Ctrl+C and Ctrl+Break are the program's to handle: the emulator goes on
// until the program ends, and then writes what it recorded.
BOOL WINAPI LeaveBreakToProgram(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

int wmain(int argc, wchar_t** argv)
{
    static Emulator emu;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&now);
    emu.frequency = now.QuadPart;
    QueryPerformanceCounter(&now);
    emu.start = now.QuadPart;

    const int usage = ParseOptions(argc, argv, emu.options);
    if (usage >= 0)
        return usage;
    emu.model.options = emu.options.punch;
    const wchar_t* program = argv[emu.options.programIndex];
    if (!OpenOutput(emu.trace.out, emu.options.tracePath, program)
        || !OpenOutput(emu.punched, emu.options.punchedPath, program)
        || !StartProgram(argc, argv, emu.options.programIndex)) {
        // Nothing ran, so nothing is recorded: no output is left behind.
        AbandonOutput(emu.trace.out);
        AbandonOutput(emu.punched);
        return EXIT_NOT_STARTED;
    }
    SetConsoleCtrlHandler(LeaveBreakToProgram, TRUE);

    DWORD exitCode = 0;
    const bool ran = RunDebugLoop(CarryOut, &emu, exitCode);
    const bool written = CloseTrace(emu.trace) & CloseOutput(emu.punched);
    if (!ran || !written)
        return EXIT_NOT_STARTED;
    return emu.failed ? EXIT_EMULATION_ERROR : static_cast<int>(exitCode);
}
