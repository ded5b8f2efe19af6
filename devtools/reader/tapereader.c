/* tapereader: an emulated paper-tape reader on a serial line, for the tests
 * and for trying taperead without a reader. It plays a tape file into a
 * pseudo-terminal, a row a character, at a rate in rows a second, and
 * makes the faults a real reader makes. A link to the terminal's device
 * (a Wine prefix's dosdevices/comN) lets a Windows program open it as a
 * COM port.
 *   tapereader TAPE LINK [options]
 * It runs on the Linux side: a host C program, as the pseudo-terminal
 * calls are POSIX and the build machine's C compiler is all it needs.
 */
#define _XOPEN_SOURCE 700
#define _DEFAULT_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define XON 0x11
#define XOFF 0x13
#define NONE (-1L)

static const char USAGE[] =
    "usage: tapereader TAPE LINK [--rate ROWS] [--start ROW] [--end ROW]\n"
    "         [--lose ROW] [--repeat ROW] [--drop ROW:CHANNEL] [--add ROW:CHANNEL]\n"
    "         [--pause ROW:SECONDS] [--wait] [--hold SECONDS]\n"
    "Plays TAPE into a pseudo-terminal that LINK then names, ROWS rows a second\n"
    "(300). XOFF (DC3) from the other side stops the tape, XON (DC1) starts it.\n"
    "With --wait it waits to be started: by XON, or by signal USR1, its start\n"
    "button (kill -USR1 PID). ROW counts from 0 in TAPE.\n"
    "  --start ROW          the tape was put in with ROW under the read head\n"
    "  --end ROW            the tape runs out before ROW\n"
    "  --lose ROW           ROW is not read\n"
    "  --repeat ROW         ROW is read twice\n"
    "  --drop ROW:CHANNEL   a hole in CHANNEL (1 to 8) of ROW is not seen\n"
    "  --add ROW:CHANNEL    a hole is seen in CHANNEL of ROW that is not there\n"
    "  --pause ROW:SECONDS  the tape stops that long before ROW\n"
    "  --hold SECONDS       after the tape, keep the line open that long (600)\n";

struct Faults {
    long start, end, lose, repeat, drop, dropMask, add, addMask, pause, pauseSeconds;
};

static volatile sig_atomic_t stopped, started;

static void OnSignal(int signal)
{
    if (signal == SIGUSR1)
        started = 1;
    else
        stopped = 1;
}

static int Fail(const char* what)
{
    fprintf(stderr, "tapereader: %s: %s\n", what, strerror(errno));
    return 1;
}

static int Usage(const char* wrong)
{
    fprintf(stderr, "tapereader: %s\n%s", wrong, USAGE);
    return 2;
}

/* "ROW" or "ROW:N" into row and n; false when it is neither. */
static int Numbers(const char* text, long* row, long* n, int wantsN)
{
    char* end;
    *row = strtol(text, &end, 10);
    if (end == text || *row < 0)
        return 0;
    if (!wantsN)
        return *end == '\0';
    if (*end != ':')
        return 0;
    *n = strtol(end + 1, &end, 10);
    return *end == '\0' && *n >= 0;
}

static void Sleep(double seconds)
{
    struct timespec pause;
    pause.tv_sec = (time_t)seconds;
    pause.tv_nsec = (long)((seconds - (double)pause.tv_sec) * 1e9);
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR && !stopped) {
    }
}

static double Now(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

/* Reads what the other side sent, waiting up to wait seconds: XOFF stops
 * the tape, XON starts it. */
static void Listen(int master, int* running, double wait)
{
    struct pollfd line = {master, POLLIN, 0};
    if (poll(&line, 1, (int)(wait * 1000)) <= 0 || !(line.revents & POLLIN))
        return;
    unsigned char sent[64];
    const ssize_t count = read(master, sent, sizeof sent);
    for (ssize_t i = 0; i < count; ++i) {
        if (sent[i] == XON)
            *running = 1;
        else if (sent[i] == XOFF)
            *running = 0;
    }
}

static int Write(int master, unsigned char row)
{
    while (write(master, &row, 1) != 1)
        if (errno != EINTR && errno != EAGAIN)
            return 0;
    return 1;
}

/* Plays the rows, the faults planted; the count of rows sent, or -1. */
static long Play(int master, const unsigned char* tape, long size, const struct Faults* f,
                 double rate, int running)
{
    const long end = f->end != NONE && f->end < size ? f->end : size;
    long sent = 0;
    double due = Now();
    for (long row = f->start; row < end && !stopped; ++row) {
        if (!running) {
            while (!running && !started && !stopped)
                Listen(master, &running, 0.1);
            started = 0;
            running = 1;
            due = Now();
        }
        if (row == f->pause)
            Sleep((double)f->pauseSeconds);
        if (row == f->lose)
            continue;
        unsigned char value = tape[row];
        if (row == f->drop)
            value &= (unsigned char)~f->dropMask;
        if (row == f->add)
            value |= (unsigned char)f->addMask;
        for (int times = row == f->repeat ? 2 : 1; times > 0; --times) {
            due += 1.0 / rate;
            const double wait = due - Now();
            Listen(master, &running, wait > 0 ? wait : 0);
            if (due < Now() - 1)  /* after a stop or pause: go on at the rate */
                due = Now();
            if (!Write(master, value))
                return -1;
            ++sent;
        }
    }
    return sent;
}

/* How the reader plays: its rate, how long it holds the line afterwards,
 * whether it waits to be started, and its faults. */
struct Settings {
    double rate, hold;
    int wait;
    struct Faults faults;
};

/* One option at argv[*i] and its value; 0 when it is wrong. */
static int ReadOption(char** argv, int argc, int* i, struct Settings* s)
{
    const char* option = argv[*i];
    if (strcmp(option, "--wait") == 0)
        return s->wait = 1;
    const char* value = *i + 1 < argc ? argv[++*i] : "";
    struct Faults* f = &s->faults;
    long channel = 0;
    if (strcmp(option, "--rate") == 0)
        return (s->rate = atof(value)) > 0;
    if (strcmp(option, "--hold") == 0)
        return (s->hold = atof(value)) >= 0;
    if (strcmp(option, "--start") == 0)
        return Numbers(value, &f->start, NULL, 0);
    if (strcmp(option, "--end") == 0)
        return Numbers(value, &f->end, NULL, 0);
    if (strcmp(option, "--lose") == 0)
        return Numbers(value, &f->lose, NULL, 0);
    if (strcmp(option, "--repeat") == 0)
        return Numbers(value, &f->repeat, NULL, 0);
    if (strcmp(option, "--pause") == 0)
        return Numbers(value, &f->pause, &f->pauseSeconds, 1);
    if (strcmp(option, "--drop") != 0 && strcmp(option, "--add") != 0)
        return 0;
    const int drop = option[2] == 'd';
    if (!Numbers(value, drop ? &f->drop : &f->add, &channel, 1) || channel < 1 || channel > 8)
        return 0;
    *(drop ? &f->dropMask : &f->addMask) = 1L << (channel - 1);
    return 1;
}

/* A pseudo-terminal, raw, that link names; its master side, or -1 having
 * said why. The slave side is held open so that the line stays up while
 * the other side opens and closes it; raw, so that no byte is changed or
 * echoed. It is this program's controlling terminal, in a session of its
 * own: else Wine's server, which opens it, would take it and be hung up
 * at the end. */
static int OpenLine(const char* link, const char** device)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return Fail("no pseudo-terminal"), -1;
    *device = ptsname(master);
    setsid();
    const int terminal = open(*device, O_RDWR);
    struct termios raw;
    if (terminal < 0 || tcgetattr(terminal, &raw) != 0)
        return Fail(*device), -1;
    cfmakeraw(&raw);
    tcsetattr(terminal, TCSANOW, &raw);
    unlink(link);
    if (symlink(*device, link) != 0)
        return Fail(link), -1;
    return master;
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage("a tape file and a link are needed");
    struct Settings settings = {300, 600, 0, {0, NONE, NONE, NONE, NONE, 0, NONE, 0, NONE, 0}};
    for (int i = 3; i < argc; ++i) {
        if (!ReadOption(argv, argc, &i, &settings))
            return Usage("an option or its value is wrong");
    }

    FILE* file = fopen(argv[1], "rb");
    if (!file)
        return Fail(argv[1]);
    static unsigned char tape[1 << 22];
    const long size = (long)fread(tape, 1, sizeof tape, file);
    fclose(file);

    const char* device = NULL;
    const int master = OpenLine(argv[2], &device);
    if (master < 0)
        return 1;
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
    signal(SIGUSR1, OnSignal);
    printf("tapereader: %s, %ld rows, on %s (%s) at %g rows a second\n", argv[1], size, argv[2],
           device, settings.rate);
    fflush(stdout);

    const long sent = Play(master, tape, size, &settings.faults, settings.rate, !settings.wait);
    if (sent < 0)
        return Fail("write");
    printf("tapereader: the tape ran out after %ld rows\n", sent);
    fflush(stdout);
    for (double until = Now() + settings.hold; !stopped && Now() < until;) {
        int running = 1;
        Listen(master, &running, 0.2);
    }
    unlink(argv[2]);
    return 0;
}
