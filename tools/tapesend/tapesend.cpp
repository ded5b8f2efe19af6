// tapesend: punches a file on a parallel port at any address, as the window
// program does: the same transfer, the same handshake and pauses, the same
// claim on the port. Where giveio does not open (64-bit Windows) it reaches
// the registers through InpOut32, when its DLL lies beside this program.
//   tapesend [--port lpt1|lpt2|ADDRESS] [--from N] FILE
// Exit code 0 when the whole file was punched, 1 when not, 2 for a wrong
// command line.
#include "timing.h"
#include "transfer.h"
#include "command_line.h"
#include "tape_row.h"
#include "tool_common.h"

#include <climits>
#include <cstdio>

namespace {

constexpr int EXIT_PUNCHED = 0;
constexpr int EXIT_NOT_PUNCHED = 1;
constexpr int EXIT_USAGE = 2;

// The live line on a console, and a line of its own into a file or a pipe.
constexpr DWORD CONSOLE_LINE_MS = 250;
constexpr DWORD LOGGED_LINE_MS = 5000;
// Windows ends the process once the handler of a closed console returns,
// and gives it about 5 s: the stop takes one byte, or a read called off.
constexpr DWORD STOP_WAIT_MS = 4000;

const char USAGE[] = "usage: tapesend [--port lpt1|lpt2|ADDRESS] [--from N] FILE\n"
                     "       tapesend --help | --version\n";

const char HELP[] =
    "Punches FILE, byte for byte and unchanged, on the punch at a parallel\n"
    "port, exactly as tapelark.exe does; a live line shows the bytes punched,\n"
    "the feet of tape and the time left. Ctrl+C stops after the byte in\n"
    "progress and leaves the port at rest.\n"
    "\n"
    "  --port lpt1|lpt2|ADDRESS\n"
    "             the port: LPT1 (378h, the default), LPT2 (278h), or the\n"
    "             address of a port card's data register in hex, 0xD010 or\n"
    "             D010h, the first I/O range under the port's Resources in\n"
    "             Device Manager\n"
    "  --from N   skip the first N bytes of FILE: the rest of a tape that\n"
    "             stopped after N bytes\n"
    "\n"
    "The port registers come through the giveio driver, or where it does not\n"
    "open, through InpOut32 (" INPOUT_DLL " beside this program).\n"
    "`tapecheck --port ADDRESS` says which route opens, and why not.\n"
    "\n"
    "Exit code: 0 when every byte was punched, 1 when not, 2 for a wrong\n"
    "command line.\n";

struct Job {
    const wchar_t* path;
    unsigned port;
    LONG from;
    TransferOutcome outcome;
};

TransferControl g_control;
HANDLE g_worker = nullptr;

DWORD WINAPI Punch(void* context)
{
    Job& job = *static_cast<Job*>(context);
    job.outcome = SendFileToPunchFrom(job.path, static_cast<PortBase>(job.port), job.from,
                                      &g_control);
    return 0;
}

// Ctrl+C, Ctrl+Break, the console window closed, log-off or shut-down: stop
// after the byte in progress. For the last three Windows ends the process
// when this returns, so it waits for the port to be at rest first.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    RequestStop(&g_control);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && g_worker)
        WaitForSingleObject(g_worker, STOP_WAIT_MS);
    return TRUE;
}

// "2 h 05 min", "3 min 07 s" or "12 s".
const char* Duration(double ms, char* text, std::size_t size)
{
    // Rounded up: a short piece takes about 1 s, not 0.
    const unsigned long seconds = static_cast<unsigned long>((ms + 999.0) / 1000.0);
    if (seconds >= 3600)
        std::snprintf(text, size, "%lu h %02lu min", seconds / 3600, seconds / 60 % 60);
    else if (seconds >= 60)
        std::snprintf(text, size, "%lu min %02lu s", seconds / 60, seconds % 60);
    else
        std::snprintf(text, size, "%lu s", seconds);
    return text;
}

// The bytes of the file punched, of all of them: counted from its start,
// so that --from takes the count as it stands.
LONG Punched(const Job& job)
{
    return job.from + g_control.bytesSent;
}

void ShowProgress(const Job& job, LONG total, bool console)
{
    const DWORD waited = PunchClockMs() - g_control.waitStartTick;
    char line[96], left[32];
    if (PunchStalled(g_control))
        std::snprintf(line, sizeof line, "Waiting for the punch (BUSY on for %s): %ld of %ld bytes",
                      Duration(waited, left, sizeof left), Punched(job), total);
    else
        std::snprintf(line, sizeof line, "%ld of %ld bytes, %.1f ft punched, %s left", Punched(job),
                      total, g_control.bytesSent / static_cast<double>(ROWS_PER_FOOT),
                      Duration((total - Punched(job)) * ROW_MS, left, sizeof left));
    std::printf(console ? "\r%-78s" : "%s\n", line);
    std::fflush(stdout);
}

// Shows the live line until the worker ends.
void Watch(const Job& job, LONG total)
{
    DWORD mode = 0;
    const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    DWORD lastLogged = GetTickCount();
    while (WaitForSingleObject(g_worker, CONSOLE_LINE_MS) == WAIT_TIMEOUT) {
        if (console || GetTickCount() - lastLogged >= LOGGED_LINE_MS) {
            ShowProgress(job, total, console);
            lastLogged = GetTickCount();
        }
    }
    if (console)
        std::printf("\r%-78s\r", "");
}

// The file's size now, for the first line and --from; -1, having said why,
// when it cannot be read.
long long FileSizeOf(const wchar_t* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
        SayCannotRead("tapesend", path, GetLastError());
        return -1;
    }
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

int SayOutcome(const Job& job, LONG total)
{
    char shown[MAX_PATH * 2], port[24];
    wchar_t message[OUTCOME_TEXT_CAPACITY];
    PortName(job.port, port, sizeof port);
    NarrowPath(job.path, shown, sizeof shown);
    OutcomeMessage(job.outcome, g_control, message);
    switch (job.outcome) {
    case TransferOutcome::Sent:
        std::printf("Punched %ld bytes on %s.\n", total - job.from, port);
        return EXIT_PUNCHED;
    case TransferOutcome::Stopped:
        std::printf("Stopped after %ld of %ld bytes; the port is at rest.\n"
                    "To punch the rest: tapesend --from %ld, or a piece with leader from\n"
                    "tapeprep --from %ld.\n",
                    Punched(job), total, Punched(job), Punched(job));
        return EXIT_NOT_PUNCHED;
    case TransferOutcome::PortNotOpened:
        std::printf("%ls: %s.\nAnother program punches on it, or neither giveio nor InpOut32 gives\n"
                    "the port registers here: tapecheck --port %Xh says which.\n",
                    message, port, job.port);
        return EXIT_NOT_PUNCHED;
    case TransferOutcome::FileTooLarge:
        std::printf("%s:\n%ls\n", shown, message);
        return EXIT_NOT_PUNCHED;
    default:
        // Nothing is punched unless the whole file was read.
        std::printf("%ls: %s\n", message, shown);
        return EXIT_NOT_PUNCHED;
    }
}

// Fills job from the command line; returns -1 when it is good, else the
// exit code, having answered or said what was wrong.
int ParseOptions(int argc, wchar_t** argv, Job& job)
{
    enum { PORT, FROM };
    Option table[] = {
        TextOption("--port", PORT_TAKES),
        NumberOption("--from", 0, LONG_MAX, false, "a number of bytes, 0 or more"),
    };
    CommandLine line = ToolCommandLine("tapesend", USAGE, HELP, EXIT_USAGE, table, 2, 1);
    line.minFiles = 1;
    const int result = ParseCommandLine(line, argc, argv, 1);
    if (result >= 0)
        return result;
    job.port = LPT1_BASE;
    if (table[PORT].given && !ParsePortAddress(table[PORT].value, job.port))
        return RefuseValue(line, table[PORT]);
    job.from = static_cast<LONG>(table[FROM].number);
    job.path = line.files[0];
    return -1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Job job = {};
    const int usage = ParseOptions(argc, argv, job);
    if (usage >= 0)
        return usage;
    const long long size = FileSizeOf(job.path);
    if (size < 0)
        return EXIT_NOT_PUNCHED;
    const LONG total = size > LONG_MAX ? LONG_MAX : static_cast<LONG>(size);
    char shown[MAX_PATH * 2], port[24], time[32];
    NarrowPath(job.path, shown, sizeof shown);
    if (job.from > 0 && job.from >= total) {
        std::printf("--from %ld leaves nothing to punch: the file has %ld bytes. The tape\n"
                    "is whole already, or this is not the file it was punched from.\n",
                    job.from, total);
        return EXIT_NOT_PUNCHED;
    }
    AllowInpOut32();
    std::printf("Punching %s\n%ld bytes on %s, about %s; Ctrl+C stops.\n", shown,
                total - job.from, PortName(job.port, port, sizeof port),
                Duration((total - job.from) * ROW_MS, time, sizeof time));
    std::fflush(stdout);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    g_worker = CreateThread(nullptr, 0, Punch, &job, 0, nullptr);
    if (!g_worker)
        Punch(&job);
    else
        Watch(job, total);
    // The count of the file as it was read, once punching has begun.
    return SayOutcome(job, g_control.bytesSent > 0 ? job.from + g_control.fileSize : total);
}
