// The byte loop and handshake, the file read a byte at a time, the port's claim.
#include "transfer.h"
#include "port_claim.h"
#include "timing.h"

#include <climits>

namespace {

// Released, STROBE latches the byte on the data lines.
constexpr unsigned CONTROL_BYTE_READY = 0x00;
// Put on the data lines before each byte.
constexpr unsigned DATA_LINES_BLANK = 0xFF;
// A working punch is busy for about 13 ms a byte (75 characters a second).
// A wait this much longer means no tape or a jam: from then on the status
// is read about once a millisecond, not flat out.
constexpr DWORD FLAT_OUT_POLL_MS = 50;
// How often a read that has not come back looks for a stop.
constexpr DWORD READ_STOP_CHECK_MS = 10;

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

// An open file read a byte at a time, each byte when it is punched, so that
// a file that changes meanwhile shows at once. Every read is overlapped and
// watched for a stop: a file on a network share that went away can hold a
// read for a minute, and the port must not wait for it.
struct FileSource {
    HANDLE file;
    HANDLE readDone;
    OVERLAPPED read;
    unsigned long long offset;
    unsigned char byte;
    bool pending; // a read that has not come back yet
    const TransferControl* control;
};

int ResultOfFailedRead(DWORD error)
{
    // A read error must not pass for the end of the file.
    return error == ERROR_HANDLE_EOF ? SOURCE_END : SOURCE_FAILED;
}

int NextFileByte(void* context)
{
    FileSource* source = static_cast<FileSource*>(context);
    if (!source->pending) {
        source->read = {};
        source->read.Offset = static_cast<DWORD>(source->offset);
        source->read.OffsetHigh = static_cast<DWORD>(source->offset >> 32);
        source->read.hEvent = source->readDone;
        if (!ReadFile(source->file, &source->byte, 1, nullptr, &source->read)
            && GetLastError() != ERROR_IO_PENDING)
            return ResultOfFailedRead(GetLastError());
        source->pending = true;
    }
    while (WaitForSingleObject(source->readDone, READ_STOP_CHECK_MS) == WAIT_TIMEOUT) {
        if (StopRequested(source->control))
            return SOURCE_STOPPED;
    }
    source->pending = false;
    DWORD bytesRead = 0;
    if (!GetOverlappedResult(source->file, &source->read, &bytesRead, FALSE))
        return ResultOfFailedRead(GetLastError());
    if (bytesRead == 0)
        return SOURCE_END;
    ++source->offset;
    return source->byte;
}

// Binary: 0x1A and CR LF are data like any other bytes. Other programs may
// read and write the file meanwhile.
bool OpenFileSource(FileSource& source, const wchar_t* path, const TransferControl* control)
{
    source = {};
    source.control = control;
    source.file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (source.file == INVALID_HANDLE_VALUE)
        return false;
    source.readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return true;
}

// A read still out is called off first: the buffer it fills is ours.
void CloseFileSource(FileSource& source)
{
    if (source.pending) {
        CancelIo(source.file);
        DWORD bytesRead = 0;
        GetOverlappedResult(source.file, &source.read, &bytesRead, TRUE);
    }
    CloseHandle(source.readDone);
    CloseHandle(source.file);
}

// The size when the send begins. A file past 2 GiB only needs to count as
// very long.
LONG FileSize(HANDLE file)
{
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return 0;
    return high != 0 || low > LONG_MAX ? LONG_MAX : static_cast<LONG>(low);
}

// The next byte of the source onto the tape; Sent when it was punched.
TransferOutcome PunchNextByte(const ByteSource& source, PortBase base, TransferControl* control)
{
    if (StopRequested(control))
        return TransferOutcome::Stopped;
    const int next = source.next(source.context);
    switch (next) {
    case SOURCE_STOPPED:
        return TransferOutcome::Stopped;
    case SOURCE_FAILED:
        return TransferOutcome::ReadFailed;
    case SOURCE_END:
        // Shorter than when the send began.
        return TransferOutcome::FileChanged;
    }
    if (!PunchByte(base, static_cast<std::uint8_t>(next), control))
        return TransferOutcome::Stopped;
    InterlockedIncrement(&control->bytesSent);
    return TransferOutcome::Sent;
}

// Once every byte is punched, the file must end there. A stop asked for
// meanwhile comes too late to make the tape short.
TransferOutcome OutcomeAfterLastByte(const ByteSource& source)
{
    const int next = source.next(source.context);
    if (next == SOURCE_FAILED)
        return TransferOutcome::ReadFailed;
    // Longer than when the send began.
    return next >= 0 ? TransferOutcome::FileChanged : TransferOutcome::Sent;
}

} // namespace

TransferOutcome SendBytesToPunch(const ByteSource& source, LONG size, PortBase base,
                                 TransferControl* control)
{
    InterlockedExchange(&control->fileSize, size);
    InterlockedExchange(&control->bytesSent, 0);

    BeginFineTiming();
    TransferOutcome outcome = TransferOutcome::Sent;
    while (outcome == TransferOutcome::Sent && control->bytesSent < size)
        outcome = PunchNextByte(source, base, control);
    if (outcome == TransferOutcome::Sent)
        outcome = OutcomeAfterLastByte(source);
    // However the transfer ended, the port is left at rest.
    WritePortByte(base + CONTROL_REGISTER, CONTROL_AT_REST);
    EndFineTiming();
    return outcome;
}

TransferOutcome SendFileToPunch(const wchar_t* path, PortBase portBase, TransferControl* control)
{
    return SendFileToPunchFrom(path, portBase, 0, control);
}

TransferOutcome SendFileToPunchFrom(const wchar_t* path, PortBase portBase, LONG firstByte,
                                    TransferControl* control)
{
    TransferControl unwatched;
    if (!control)
        control = &unwatched;
    // The file comes first, so that when both would fail only its message
    // shows.
    FileSource file;
    if (!OpenFileSource(file, path, control))
        return TransferOutcome::FileNotOpened;

    // A port that another program drives is reported like one that cannot
    // be opened, and neither touches a register.
    TransferOutcome outcome = TransferOutcome::PortNotOpened;
    if (const HANDLE claim = ClaimPort(portBase)) {
        const HANDLE access = OpenPortAccess();
        if (access != INVALID_HANDLE_VALUE) {
            const LONG size = FileSize(file.file);
            file.offset = static_cast<unsigned long long>(firstByte);
            outcome = size <= firstByte && firstByte > 0
                          ? TransferOutcome::FileChanged
                          : SendBytesToPunch({NextFileByte, &file}, size - firstByte, portBase,
                                             control);
            ClosePortAccess(access);
        }
        ReleasePort(claim);
    }
    CloseFileSource(file);
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
    case TransferOutcome::FileChanged:
        return L"The file changed while it was being punched: the tape is not the file";
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
