// Steps on the emulated port through the real port layer: the mistakes the
// port must catch, the same steps done right, and reads of every register.
//   port_steps before-open         writes LPT1's control, then opens giveio
//   port_steps after-open          opens giveio, then writes LPT1's control
//                                  whether the open succeeded or not
//   port_steps other-file          opens a file that is not giveio, then
//                                  writes LPT1's control
//   port_steps registers           on LPT1, then LPT2: reads data, status and
//                                  control, writes data 5A and control 0A,
//                                  reads data and control again
//   port_steps watch MS            reads LPT1's status for MS milliseconds
//   port_steps bytes N BLANK PAUSE wait|nowait [ff|00|none]
//       opens giveio and sends N bytes "A", "B"... to LPT1 with BLANK ms from
//       the blank (0xFF, or the one given, or none at all) to the byte and
//       PAUSE ms after it, waiting for the punch to be ready before each
//       byte or not
// Exits 0 when done, 1000 when giveio cannot be opened, 2000 for a wrong
// command line.
#include "port_io.h"
#include "timing.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

void PullStrobe()
{
    WritePortByte(LPT1_BASE + CONTROL_REGISTER, 0x01);
}

// blank is the data lines' value before each byte; none when above 0xFF.
int SendBytes(unsigned count, unsigned blankMs, unsigned pauseMs, bool waitReady, unsigned blank)
{
    if (OpenPortAccess() == INVALID_HANDLE_VALUE)
        return 1000;
    BeginFineTiming();
    for (unsigned index = 0; index < count; ++index) {
        PullStrobe();
        while (waitReady && (ReadPortByte(LPT1_BASE + STATUS_REGISTER) & STATUS_BUSY))
            continue;
        if (blank <= 0xFF)
            WritePortByte(LPT1_BASE + DATA_REGISTER, blank);
        PausePort(blankMs);
        WritePortByte(LPT1_BASE + DATA_REGISTER, 'A' + index);
        WritePortByte(LPT1_BASE + CONTROL_REGISTER, 0x00);
        PausePort(pauseMs);
    }
    PullStrobe();
    EndFineTiming();
    return 0;
}

void ReadAllRegisters()
{
    if (OpenPortAccess() == INVALID_HANDLE_VALUE)
        return;
    for (PortBase base : {LPT1_BASE, LPT2_BASE}) {
        for (std::uint16_t reg : {DATA_REGISTER, STATUS_REGISTER, CONTROL_REGISTER})
            ReadPortByte(base + reg);
        WritePortByte(base + DATA_REGISTER, 0x5A);
        WritePortByte(base + CONTROL_REGISTER, 0x0A);
        ReadPortByte(base + DATA_REGISTER);
        ReadPortByte(base + CONTROL_REGISTER);
    }
}

void WatchStatus(DWORD milliseconds)
{
    if (OpenPortAccess() == INVALID_HANDLE_VALUE)
        return;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        ReadPortByte(LPT1_BASE + STATUS_REGISTER);
        Sleep(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const char* command = argc > 1 ? argv[1] : "";
    if (argc == 2 && std::strcmp(command, "before-open") == 0) {
        PullStrobe();
        return OpenPortAccess() == INVALID_HANDLE_VALUE ? 1000 : 0;
    }
    if (argc == 2 && std::strcmp(command, "after-open") == 0) {
        OpenPortAccess();
        PullStrobe();
        return 0;
    }
    if (argc == 2 && std::strcmp(command, "other-file") == 0) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
        PullStrobe();
        return 0;
    }
    if (argc == 2 && std::strcmp(command, "registers") == 0) {
        ReadAllRegisters();
        return 0;
    }
    if (argc == 3 && std::strcmp(command, "watch") == 0) {
        WatchStatus(std::strtoul(argv[2], nullptr, 10));
        return 0;
    }
    if ((argc == 6 || argc == 7) && std::strcmp(command, "bytes") == 0) {
        const char* blank = argc == 7 ? argv[6] : "ff";
        return SendBytes(std::strtoul(argv[2], nullptr, 10), std::strtoul(argv[3], nullptr, 10),
                         std::strtoul(argv[4], nullptr, 10), std::strcmp(argv[5], "wait") == 0,
                         std::strcmp(blank, "none") == 0 ? 0x100 : std::strtoul(blank, nullptr, 16));
    }
    return 2000;
}
