#include "transfer.h"
#include "port_claim.h"
#include "timing.h"

#include <io.h>

#include <climits>
#include <cstdio>

namespace {

// Released, STROBE latches the byte on the data lines.
constexpr unsigned CONTROL_BYTE_READY = 0x00;
// Put on the data lines before each byte.
constexpr unsigned DATA_LINES_BLANK = 0xFF;
// A working punch is busy for about 13 ms a byte (75 characters a second).
// A wait this much longer means no tape or a jam: from then on the status
// is read about once a millisecond, not flat out.
constexpr DWORD FLAT_OUT_POLL_MS = 50;

bool StopRequested(const TransferControl* control)
{
    return control->stopRequested != 0;
}

// Polls the status register until the punch is ready: with no pause between
// reads while a working punch could still be busy, then resting between
// reads so that a stuck punch does not hold the processor. Returns false when
// a stop is asked for while it waits.
bool WaitForPunch(PortBase base, TransferControl* control)
{
    bool ready = true;
    bool waiting = false;
    while (ReadPortByte(base + STATUS_REGISTER) & STATUS_BUSY) {
        if (!waiting) {
            control->waitStartTick = PunchClockMs();
            InterlockedExchange(&control->waitingForPunch, 1);
            waiting = true;
        }
        if (StopRequested(control)) {
            ready = false;
            break;
        }
        if (PunchClockMs() - control->waitStartTick >= FLAT_OUT_POLL_MS)
            RestBetweenReads();
    }
    if (waiting)
        InterlockedExchange(&control->waitingForPunch, 0);
    return ready;
}

// One byte of the punch handshake. Returns false, with nothing put on the
// data lines, when a stop is asked for while the punch is busy.
bool PunchByte(PortBase base, std::uint8_t byte, TransferControl* control)
{
    // 1. Control 0x01: STROBE pin low, the punch may report busy.
    WritePortByte(base + CONTROL_REGISTER, CONTROL_AT_REST);
    // 2. Status bit 7 must read 0 (BUSY pin high) before the byte goes out:
    //    read flat out for 50 ms, then about once a millisecond.
    if (!WaitForPunch(base, control))
        return false;
    // 3. Data 0xFF: all data lines high, held for at least 12 ms.
    WritePortByte(base + DATA_REGISTER, DATA_LINES_BLANK);
    PausePort(PAUSE_BEFORE_BYTE_MS);
    // 4. Data <- the byte on D0-D7.
    WritePortByte(base + DATA_REGISTER, byte);
    // 5. Control 0x00: STROBE pin high, the punch takes the byte.
    WritePortByte(base + CONTROL_REGISTER, CONTROL_BYTE_READY);
    // 6. At least 1 ms before the next byte begins.
    PausePort(PAUSE_AFTER_BYTE_MS);
    return true;
}

// The byte source of an open file.
int NextFileByte(void* file)
{
    const int next = std::fgetc(static_cast<std::FILE*>(file));
    if (next != EOF)
        return next;
    // A read error must not pass for the end of the file.
    return std::ferror(static_cast<std::FILE*>(file)) ? SOURCE_FAILED : SOURCE_END;
}

// Asked of the file's own handle: XP's msvcrt.dll has no 64-bit seek and
// tell, and a file past 2 GiB only needs to count as very long.
LONG FileSize(std::FILE* file)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    DWORD high = 0;
    const DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return 0;
    return high != 0 || low > LONG_MAX ? LONG_MAX : static_cast<LONG>(low);
}

} // namespace

TransferOutcome SendBytesToPunch(const ByteSource& source, LONG size, PortBase base,
                                 TransferControl* control)
{
    TransferControl unwatched;
    if (!control)
        control = &unwatched;
    InterlockedExchange(&control->fileSize, size);
    InterlockedExchange(&control->bytesSent, 0);

    BeginFineTiming();
    TransferOutcome outcome = TransferOutcome::Sent;
    for (;;) {
        if (StopRequested(control)) {
            outcome = TransferOutcome::Stopped;
            break;
        }
        const int next = source.next(source.context);
        if (next == SOURCE_END)
            break;
        if (next == SOURCE_FAILED) {
            outcome = TransferOutcome::ReadFailed;
            break;
        }
        if (!PunchByte(base, static_cast<std::uint8_t>(next), control)) {
            outcome = TransferOutcome::Stopped;
            break;
        }
        InterlockedIncrement(&control->bytesSent);
    }
    // However the transfer ended, the port is left at rest.
    WritePortByte(base + CONTROL_REGISTER, CONTROL_AT_REST);
    EndFineTiming();
    return outcome;
}

TransferOutcome SendFileToPunch(const wchar_t* path, PortBase portBase, TransferControl* control)
{
    // The file comes first, so that when both would fail only its message
    // shows. Binary: 0x1A and CR LF are data like any other bytes. Other
    // programs may read and write the file meanwhile.
    std::FILE* file = _wfopen(path, L"rb");
    if (!file)
        return TransferOutcome::FileNotOpened;

    // A port that another program drives is reported like one that cannot
    // be opened, and neither touches a register.
    TransferOutcome outcome = TransferOutcome::PortNotOpened;
    if (const HANDLE claim = ClaimPort(portBase)) {
        const HANDLE access = OpenPortAccess();
        if (access != INVALID_HANDLE_VALUE) {
            outcome = SendBytesToPunch({NextFileByte, file}, FileSize(file), portBase, control);
            ClosePortAccess(access);
        }
        ReleasePort(claim);
    }
    std::fclose(file);
    return outcome;
}

const wchar_t* OutcomeMessage(TransferOutcome outcome)
{
    switch (outcome) {
    case TransferOutcome::FileNotOpened:
        return L"Could not open the file";
    case TransferOutcome::PortNotOpened:
        return L"Could not open LPT port";
    case TransferOutcome::ReadFailed:
        return L"Could not read the file";
    case TransferOutcome::Sent:
    case TransferOutcome::Stopped:
        break;
    }
    return nullptr;
}

void RequestStop(TransferControl* control)
{
    InterlockedExchange(&control->stopRequested, 1);
}
