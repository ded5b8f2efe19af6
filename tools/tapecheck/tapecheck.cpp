// tapecheck: whether a bench is ready: the drivers, the ports, the punches.
// It answers, in order, the three questions of a bench set-up: may this
// program use the port registers (the giveio driver, or where it does not
// open, InpOut32's), does a parallel port
// answer at the address, and is the punch on it ready (pin 11, BUSY). It
// only reads registers and never writes one, so nothing it does can punch a
// hole; but with --rest it writes the one value that keeps a punch from
// punching, 01h to the control register, as the program leaves it.
//   tapecheck [--port lpt1|lpt2|both|ADDRESS] [--watch SECONDS]
//   tapecheck --rest lpt1|lpt2|ADDRESS
// Exit code 0 when ready to punch (--rest: the port at rest), 1 when not, 2
// for a wrong command line.
#include "port_claim.h"
#include "port_io.h"
#include "command_line.h"
#include "tool_common.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int EXIT_READY = 0;
constexpr int EXIT_NOT_READY = 1;
constexpr int EXIT_USAGE = 2;
// Longest watch: a day.
constexpr unsigned long MAX_WATCH_SECONDS = 86400;
// Fast enough to see a press of the punch's feed key.
constexpr DWORD WATCH_POLL_MS = 10;
// What an I/O address with no port behind it reads on most PCs.
constexpr unsigned NOTHING_THERE = 0xFF;

const char SETUP_HELP[] = "See \"Setting up a bench PC\" in README.txt.";

const char USAGE[] =
    "usage: tapecheck [--port lpt1|lpt2|both|ADDRESS] [--watch SECONDS]\n"
    "       tapecheck --rest lpt1|lpt2|ADDRESS\n"
    "       tapecheck --help | --version\n";

const char HELP[] =
    "Checks a bench PC for Tapelark, in order:\n"
    "  driver  whether \\\\.\\giveio opens, which gives this program the port\n"
    "          registers, exactly as tapelark.exe opens it; where it does not,\n"
    "          whether InpOut32 does (" INPOUT_DLL " beside this program and\n"
    "          its driver), as tapesend opens it;\n"
    "  port    whether a parallel port answers at 378h (LPT1) and 278h (LPT2),\n"
    "          or at the address given;\n"
    "  punch   whether pin 11 (BUSY) says the punch is ready; and, as\n"
    "          information, what pins 12 (paper end) and 15 (ERROR) read.\n"
    "Without --rest it only reads the status and control registers and never\n"
    "writes one.\n"
    "\n"
    "  --rest lpt1|lpt2|ADDRESS\n"
    "                         instead: put that port at rest before the punch\n"
    "                         is switched on, control 01h (STROBE low), as the\n"
    "                         program leaves it after every tape; refused while\n"
    "                         a tape is being punched on it\n"
    "  --port lpt1|lpt2|both|ADDRESS\n"
    "                         only the ports named, each of which must answer\n"
    "                         (without it: both, and one answering is enough);\n"
    "                         ADDRESS is a port card's data register in hex,\n"
    "                         0xD010 or D010h, as Device Manager shows it\n"
    "  --watch SECONDS        then go on reading the status for that long and\n"
    "                         print a line each time BUSY changes; Ctrl+C ends\n"
    "                         it early\n"
    "\n"
    "Exit code: 0 when ready to punch (every port asked for answers, or without\n"
    "--port at least one, and every punch on a port that answers is ready), 1\n"
    "when not, 2 for a wrong command line. With --rest: 0 when the port is at\n"
    "rest, 1 when not.\n";

struct Port {
    char name[24];  // "LPT1 (378h)", "Port D010h"
    PortBase base;
    bool asked;     // to be checked
    bool present;   // a port answers
    bool busy;      // the punch holds BUSY
};

struct Options {
    bool named = false;  // --port was given: every port asked for must answer
    unsigned long watchSeconds = 0;
    Port* rest = nullptr;  // --rest: the port to put at rest
};

// The key that ended a watch early: "Ctrl+C" or "Ctrl+Break"; null until then.
const char* volatile g_interruptedBy = nullptr;

BOOL WINAPI OnConsoleBreak(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    g_interruptedBy = event == CTRL_C_EVENT ? "Ctrl+C" : "Ctrl+Break";
    return TRUE;
}

// Fills options and the ports asked for; returns -1 when the command line
// is good, else the exit code, having answered or said what was wrong.
int ParseOptions(int argc, wchar_t** argv, Options& options, Port* ports)
{
    enum { PORT, WATCH, REST };
    Option table[] = {
        TextOption("--port", "both or " PORT_TAKES),
        NumberOption("--watch", 1, MAX_WATCH_SECONDS, false, "whole seconds from 1 to 86400"),
        TextOption("--rest", PORT_TAKES),
    };
    CommandLine line = ToolCommandLine("tapecheck", USAGE, HELP, EXIT_USAGE, table, 3, 0);
    const int result = ParseCommandLine(line, argc, argv, 1);
    if (result >= 0)
        return result;
    const Option& rest = table[REST];
    const Option& port = table[PORT];
    unsigned base = 0;
    if (rest.given && !ParsePortAddress(rest.value, base))
        return RefuseValue(line, rest);
    if (rest.given && argc != 3)
        return CommandLineError(line, "--rest goes alone: tapecheck --rest lpt1 or --rest lpt2");
    char both[8];
    options.named = port.given;
    if (port.given && lstrcmpiA(AsciiArgument(port.value, both, sizeof both), "both") != 0
        && !ParsePortAddress(port.value, base))
        return RefuseValue(line, port);
    if (base != 0) {
        // LPT1 or LPT2 alone, or a port elsewhere in LPT1's place.
        const bool lpt2 = base == LPT2_BASE;
        ports[0].asked = !lpt2;
        ports[1].asked = lpt2;
        ports[0].base = static_cast<PortBase>(lpt2 ? LPT1_BASE : base);
        options.rest = rest.given ? &ports[lpt2] : nullptr;
    }
    for (int i = 0; i < 2; ++i)
        PortName(ports[i].base, ports[i].name, sizeof ports[i].name);
    options.watchSeconds = table[WATCH].number;
    return -1;
}

// "Windows error 2,\n  The system cannot find the file specified."
void PrintWindowsError(DWORD error)
{
    char text[160];
    if (!*WindowsErrorText(error, text, sizeof text))
        std::snprintf(text, sizeof text, "no text for this error");
    std::printf("Windows error %lu,\n  %s.\n", error, text);
}

// Why InpOut32 did not open, when giveio did not either.
void SayInpOut(const PortAccessReport& report)
{
    switch (report.inpOut) {
    case InpOutState::Opened:
        std::printf("Driver: InpOut32 opened (" INPOUT_DLL " beside this program, its\n"
                    "  driver running): tapesend and this program may use the port registers\n"
                    "  through it; tapelark.exe needs giveio.\n");
        break;
    case InpOutState::NoDll:
        std::printf("Driver: InpOut32 does not open: no " INPOUT_DLL " loads from the folder\n"
                    "  of this program: ");
        PrintWindowsError(report.dllError);
        break;
    case InpOutState::NoFunctions:
        std::printf("Driver: InpOut32 does not open: " INPOUT_DLL " beside this program\n"
                    "  lacks IsInpOutDriverOpen, Inp32 or Out32: it is another DLL.\n");
        break;
    case InpOutState::DriverNotOpen:
        std::printf("Driver: InpOut32 does not open: " INPOUT_DLL " loads, but says its\n"
                    "  driver is not open: run this program once as administrator, which\n"
                    "  installs it; Windows 11's memory integrity may block it.\n");
        break;
    case InpOutState::NotTried:
        break;
    }
}

// The drivers: giveio opened as tapelark.exe opens it, then InpOut32 as
// tapesend falls back on it. The access stays open for the rest of the
// run; the process ending closes it.
bool CheckDriver()
{
    PortAccessReport report;
    if (OpenPortAccess(&report) != INVALID_HANDLE_VALUE && report.route == PortRoute::Giveio) {
        std::printf("Driver: \\\\.\\giveio opened: this program may use the port registers.\n");
        return true;
    }
    std::printf("Driver: \\\\.\\giveio does not open: ");
    PrintWindowsError(report.giveioError);
    SayInpOut(report);
    if (report.route != PortRoute::None)
        return true;
    std::printf("  Neither driver is installed and started, so no program may use the\n"
                "  port registers. %s\n",
                SETUP_HELP);
    return false;
}

const char* BusyLine(bool busy)
{
    return busy ? "pin 11 (BUSY) is low: the punch is busy, off or out of tape."
                : "pin 11 (BUSY) is high: the punch is on and ready.";
}

bool ReadBusy(const Port& port)
{
    return (ReadPortByte(port.base + STATUS_REGISTER) & STATUS_BUSY) != 0;
}

// Reads the port's registers and says what they show.
void CheckPort(Port& port)
{
    const unsigned status = ReadPortByte(port.base + STATUS_REGISTER);
    const unsigned control = ReadPortByte(port.base + CONTROL_REGISTER);
    std::printf("%s: status %02Xh, control %02Xh: ", port.name, status, control);
    port.present = !(status == NOTHING_THERE && control == NOTHING_THERE);
    port.busy = (status & STATUS_BUSY) != 0;
    if (!port.present) {
        std::printf("no parallel port answers at %Xh.\n", port.base);
        return;
    }
    std::printf("a parallel port answers.\n  Punch: %s\n", BusyLine(port.busy));
    std::printf("  Pin 12 (paper end, status bit 5) is %s; pin 15 (ERROR, bit 3) is %s.\n",
                status & STATUS_PAPER_END ? "high" : "low", status & STATUS_ERROR ? "high" : "low");
}

// Once, after the ports that answer: what pins 12 and 15 can tell.
void ExplainPins()
{
    std::printf("Pins 12 and 15 do not change the verdict. Each status bit reads 1 while\n"
                "its pin is high, and a pin with nothing on it reads high. A cable may\n"
                "wire the punch's tape-low line to pin 12, which a printer raises when\n"
                "out of paper; a printer pulls pin 15 low on an error.\n");
}

void ExplainBios()
{
    std::printf("Check the BIOS setup: the parallel port enabled, at 378h (LPT1) or 278h\n"
                "(LPT2), in standard (SPP) or ECP/EPP mode; and the card, if the port is\n"
                "on one: its address is the first I/O range under the port's Resources\n"
                "in Device Manager.\n");
}

// Control 01h, STROBE low, as the program leaves the port after every tape:
// a punch switched on then takes no byte. The port is claimed as a send
// claims it, so that this never cuts into a tape being punched.
int PutAtRest(Port& port)
{
    const HANDLE claim = ClaimPort(port.base);
    if (!claim) {
        std::printf("%s is in use: a tape is being punched on it, and the program\n"
                    "leaves the port at rest when it ends. Nothing was written.\n",
                    port.name);
        return EXIT_NOT_READY;
    }
    bool atRest = false;
    if (CheckDriver()) {
        CheckPort(port);
        if (port.present) {
            ExplainPins();
            WritePortByte(port.base + CONTROL_REGISTER, CONTROL_AT_REST);
            const unsigned control = ReadPortByte(port.base + CONTROL_REGISTER);
            // Bit 0 reads back as written on a port that took the write.
            atRest = (control & CONTROL_STROBE) != 0;
            std::printf("%s: control 01h written, it reads %02Xh: ", port.name, control);
            std::printf(atRest ? "STROBE (pin 1) is\nlow, the port at rest. Switch the punch on now.\n"
                               : "bit 0 is not 1: the\nwrite did not take, and pin 1 (STROBE) may "
                                 "be high, which makes a punch\nswitched on punch. Do not switch "
                                 "it on.\n");
            if (!atRest)
                ExplainBios();
        } else {
            ExplainBios();
            std::printf("Nothing was written.\n");
        }
    }
    ReleasePort(claim);
    return atRest ? EXIT_READY : EXIT_NOT_READY;
}

void PrintClock()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::printf("%02u:%02u:%02u.%03u", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

// Reads the status of the ports that answer until the time is up or
// Ctrl+C, with a line each time BUSY changes; keeps the count of busy
// punches.
void Watch(Port* ports, unsigned long seconds, int& busyPunches)
{
    std::printf("Watching pin 11 (BUSY) for %lu s; Ctrl+C ends it.\n", seconds);
    std::fflush(stdout);
    SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
    const DWORD start = GetTickCount();
    while (!g_interruptedBy && GetTickCount() - start < seconds * 1000) {
        for (int i = 0; i < 2; ++i) {
            Port& port = ports[i];
            if (!port.asked || !port.present || ReadBusy(port) == port.busy)
                continue;
            port.busy = !port.busy;
            busyPunches += port.busy ? 1 : -1;
            PrintClock();
            // Its first word, "LPT1" or "Port", keeps the line within 79.
            const char* space = std::strchr(port.name, ' ');
            std::printf("  %.*s %s\n", static_cast<int>(space ? space - port.name : 4), port.name,
                        BusyLine(port.busy));
            std::fflush(stdout);
        }
        Sleep(WATCH_POLL_MS);
    }
    if (g_interruptedBy)
        std::printf("Watch ended by %s.\n", g_interruptedBy);
    else
        std::printf("Watch ended.\n");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Port ports[2] = {{"", LPT1_BASE, true, false, false}, {"", LPT2_BASE, true, false, false}};
    AllowInpOut32();
    Options options;
    const int usage = ParseOptions(argc, argv, options, ports);
    if (usage >= 0)
        return usage;
    if (options.rest)
        return PutAtRest(*options.rest);
    if (!CheckDriver())
        return EXIT_NOT_READY;
    int answering = 0, missing = 0, busyPunches = 0;
    for (Port& port : ports) {
        if (!port.asked)
            continue;
        CheckPort(port);
        answering += port.present;
        missing += !port.present;
        busyPunches += port.present && port.busy;
    }
    // A pin with nothing on it floats high: say so once, beside "ready".
    if (answering > busyPunches)
        std::printf("Pin 11 also reads high with no cable in: if nothing punches, check it.\n");
    if (answering > 0)
        ExplainPins();
    if (missing && (options.named || answering == 0))
        ExplainBios();
    else if (missing)
        std::printf("One port is enough: the bench uses the one that answers.\n");
    if (options.watchSeconds && answering > 0)
        Watch(ports, options.watchSeconds, busyPunches);
    const bool ready = answering > 0 && !(options.named && missing) && busyPunches == 0;
    if (ready)
        std::printf("Ready to punch.\n");
    else
        std::printf("Not ready. %s\n", SETUP_HELP);
    return ready ? EXIT_READY : EXIT_NOT_READY;
}
