// tapecheck: answers, in order, the three questions of a bench set-up: may
// this program use the port registers (the giveio driver), does a parallel
// port answer at the address, and is the punch on it ready (pin 11, BUSY).
// It only reads registers and never writes one, so nothing it does can
// punch a hole.
//   tapecheck [--port lpt1|lpt2|both] [--watch SECONDS]
// Exit code 0 when every port asked for is present and its punch ready, 1
// when something is not, 2 for a wrong command line.
#include "port_io.h"
#include "tool_common.h"
#include "version.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int EXIT_READY = 0;
constexpr int EXIT_NOT_READY = 1;
constexpr int EXIT_USAGE = 2;

// Longest watch: a day.
constexpr unsigned long MAX_WATCH_SECONDS = 86400;
// Fast enough to see a press of the punch's feed key.
constexpr DWORD WATCH_POLL_MS = 10;

// Status bit 7 presents pin 11 (BUSY) inverted: it reads 1 while the punch
// pulls the line low.
constexpr unsigned STATUS_PUNCH_BUSY = 0x80;
// What an I/O address with no port behind it reads on most PCs.
constexpr unsigned NOTHING_THERE = 0xFF;

const char SETUP_HELP[] = "See \"Setting up a bench PC\" in README.txt.";

const char USAGE[] =
    "usage: tapecheck [--port lpt1|lpt2|both] [--watch SECONDS]\n"
    "       tapecheck --help | --version\n";

const char HELP[] =
    "Checks a bench PC for Tapelark, in order:\n"
    "  driver  whether \\\\.\\giveio opens, which gives this program the port\n"
    "          registers, exactly as tapelark.exe opens it;\n"
    "  port    whether a parallel port answers at 378h (LPT1) and 278h (LPT2);\n"
    "  punch   whether pin 11 (BUSY) says the punch is ready.\n"
    "It only reads the status and control registers and never writes one.\n"
    "\n"
    "  --port lpt1|lpt2|both  the ports to check (both)\n"
    "  --watch SECONDS        then go on reading the status for that long and\n"
    "                         print a line each time BUSY changes; Ctrl+C ends\n"
    "                         it early\n"
    "\n"
    "Exit code: 0 when every port asked for is there with its punch ready,\n"
    "1 when something is not, 2 for a wrong command line.\n";

struct Port {
    const char* name;
    PortBase base;
};
constexpr Port LPT1 = {"LPT1", LPT1_BASE};
constexpr Port LPT2 = {"LPT2", LPT2_BASE};

struct Options {
    bool lpt1 = true;
    bool lpt2 = true;
    unsigned long watchSeconds = 0;
};

// What a check found on one port.
struct PortState {
    bool present;
    bool punchBusy;
};

// The key that ended a watch early: "Ctrl+C" or "Ctrl+Break"; null until then.
const char* volatile g_interruptedBy = nullptr;

BOOL WINAPI OnConsoleBreak(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    g_interruptedBy = event == CTRL_C_EVENT ? "Ctrl+C" : "Ctrl+Break";
    return TRUE;
}

// Fills options; returns false, having said why, for a wrong command line.
bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(option, "--port") == 0 && value) {
            options.lpt1 = std::strcmp(value, "lpt1") == 0 || std::strcmp(value, "both") == 0;
            options.lpt2 = std::strcmp(value, "lpt2") == 0 || std::strcmp(value, "both") == 0;
            if (!options.lpt1 && !options.lpt2) {
                std::fprintf(stderr, "tapecheck: --port takes lpt1, lpt2 or both, not %s\n", value);
                return false;
            }
        } else if (std::strcmp(option, "--watch") == 0 && value) {
            if (!ParseNumber(value, 1, MAX_WATCH_SECONDS, false, options.watchSeconds)) {
                std::fprintf(stderr, "tapecheck: --watch takes whole seconds from 1 to %lu, not %s\n",
                             MAX_WATCH_SECONDS, value);
                return false;
            }
        } else if (std::strcmp(option, "--port") == 0 || std::strcmp(option, "--watch") == 0) {
            std::fprintf(stderr, "tapecheck: %s needs a value\n", option);
            return false;
        } else {
            std::fprintf(stderr, "tapecheck: unknown argument %s\n", option);
            return false;
        }
        ++i;
    }
    return true;
}

// The driver: the same open as tapelark.exe's. The handle stays open for
// the rest of the run; the process ending closes it.
bool CheckDriver()
{
    if (OpenPortAccess() != INVALID_HANDLE_VALUE) {
        std::printf("Driver: \\\\.\\giveio opened: this program may use the port registers.\n");
        return true;
    }
    const DWORD error = GetLastError();
    char text[200];
    if (!*WindowsErrorText(error, text, sizeof text)) {
        std::snprintf(text, sizeof text, "no text for this error");
    }
    std::printf("Driver: \\\\.\\giveio does not open: Windows error %lu, %s\n"
                "  The giveio driver is not installed or not started, so no program may use\n"
                "  the port registers. %s\n",
                error, text, SETUP_HELP);
    return false;
}

const char* BusyLine(bool punchBusy)
{
    return punchBusy ? "pin 11 (BUSY) is low: the punch is busy, switched off, out of tape "
                       "or not connected."
                     : "pin 11 (BUSY) is high: the punch is on and ready (a pin with no "
                       "cable in reads high too).";
}

PortState CheckPort(const Port& port)
{
    const unsigned status = ReadPortByte(port.base + STATUS_REGISTER);
    const unsigned control = ReadPortByte(port.base + CONTROL_REGISTER);
    std::printf("%s (%Xh): status %02Xh, control %02Xh: ", port.name, port.base, status, control);
    if (status == NOTHING_THERE && control == NOTHING_THERE) {
        std::printf("no parallel port answers at %Xh.\n"
                    "  Check the BIOS setup: the parallel port enabled, at 378h (LPT1) or 278h\n"
                    "  (LPT2), in standard (SPP) or ECP/EPP mode; and the card, if the port is\n"
                    "  on one. %s\n",
                    port.base, SETUP_HELP);
        return {false, true};
    }
    const bool punchBusy = (status & STATUS_PUNCH_BUSY) != 0;
    std::printf("a parallel port answers.\n  Punch: %s\n", BusyLine(punchBusy));
    return {true, punchBusy};
}

void PrintClock()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::printf("%02u:%02u:%02u.%03u", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

// Reads the status of the present ports until the time is up or Ctrl+C,
// with a line each time BUSY changes. Updates the states to the last seen.
void Watch(const Port* ports, PortState* states, int count, unsigned long seconds)
{
    std::printf("Watching pin 11 (BUSY) for %lu s; Ctrl+C ends it.\n", seconds);
    std::fflush(stdout);
    SetConsoleCtrlHandler(OnConsoleBreak, TRUE);
    const DWORD start = GetTickCount();
    while (!g_interruptedBy && GetTickCount() - start < seconds * 1000) {
        for (int i = 0; i < count; ++i) {
            if (!states[i].present) {
                continue;
            }
            const bool busy =
                (ReadPortByte(ports[i].base + STATUS_REGISTER) & STATUS_PUNCH_BUSY) != 0;
            if (busy != states[i].punchBusy) {
                states[i].punchBusy = busy;
                PrintClock();
                std::printf("  %s %s\n", ports[i].name, BusyLine(busy));
                std::fflush(stdout);
            }
        }
        Sleep(WATCH_POLL_MS);
    }
    if (g_interruptedBy) {
        std::printf("Watch ended by %s.\n", g_interruptedBy);
    } else {
        std::printf("Watch ended.\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("%s%s", USAGE, HELP);
        return EXIT_READY;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tapecheck %s\n", TAPELARK_VERSION);
        return EXIT_READY;
    }
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(USAGE, stderr);
        return EXIT_USAGE;
    }
    if (!CheckDriver()) {
        return EXIT_NOT_READY;
    }
    Port ports[2];
    PortState states[2];
    int count = 0;
    if (options.lpt1) {
        ports[count++] = LPT1;
    }
    if (options.lpt2) {
        ports[count++] = LPT2;
    }
    for (int i = 0; i < count; ++i) {
        states[i] = CheckPort(ports[i]);
    }
    if (options.watchSeconds) {
        Watch(ports, states, count, options.watchSeconds);
    }
    bool ready = true;
    for (int i = 0; i < count; ++i) {
        ready = ready && states[i].present && !states[i].punchBusy;
    }
    if (ready) {
        std::printf("Ready to punch.\n");
    } else {
        std::printf("Not ready. %s\n", SETUP_HELP);
    }
    return ready ? EXIT_READY : EXIT_NOT_READY;
}
