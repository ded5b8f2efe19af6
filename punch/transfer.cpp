// The file read whole at Send, the byte loop and handshake, the port's claim.
#include "transfer.h"
#include "port_claim.h"
#include "timing.h"

namespace {

// A 1000-ft reel at ten rows an inch.
constexpr ULONGLONG ROWS_PER_REEL = 120000;

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

// The file as it is when Send is clicked, read whole into memory before
// the first row. Every read is overlapped and watched for a stop: a file on
// a network share that went away can hold a read for a minute, and Cancel
// must not wait for it.
struct FileCopy {
    HANDLE file;
    HANDLE readDone;
    unsigned char* bytes; // on the process heap
    LONG capacity;
    LONG length;
};

// Read in pieces of this size, so that the caption can count a slow read.
constexpr LONG READ_CHUNK_BYTES = 64 * 1024;

// Binary: 0x1A and CR LF are data like any other bytes. Other programs may
// read and write the file meanwhile, as they may while the tape runs.
bool OpenFileCopy(FileCopy& copy, const wchar_t* path)
{
    copy = {};
    copy.file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (copy.file == INVALID_HANDLE_VALUE)
        return false;
    copy.readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return true;
}

void CloseFileCopy(FileCopy& copy)
{
    if (copy.bytes)
        HeapFree(GetProcessHeap(), 0, copy.bytes);
    CloseHandle(copy.readDone);
    CloseHandle(copy.file);
}

// The size now, or 0 where the file has none to tell (a pipe, a device).
ULONGLONG SizeNow(HANDLE file)
{
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return 0;
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

// Grows the copy's buffer to hold wanted bytes, but never more than one
// byte past the longest tape: a file that grows past it while it is read
// shows as too large.
bool Reserve(FileCopy& copy, ULONGLONG wanted)
{
    if (wanted > MAX_TAPE_BYTES + 1)
        wanted = MAX_TAPE_BYTES + 1;
    if (wanted <= static_cast<ULONGLONG>(copy.capacity))
        return true;
    void* grown = copy.bytes ? HeapReAlloc(GetProcessHeap(), 0, copy.bytes, wanted)
                             : HeapAlloc(GetProcessHeap(), 0, wanted);
    if (!grown)
        return false;
    copy.bytes = static_cast<unsigned char*>(grown);
    copy.capacity = static_cast<LONG>(wanted);
    return true;
}

// One overlapped read at the copy's end: the bytes it got, 0 at the end of
// the file, or a failed or stopped outcome. A read still out when a stop
// comes is called off first: the buffer it fills is ours.
TransferOutcome ReadChunk(FileCopy& copy, const TransferControl* control, DWORD& got)
{
    OVERLAPPED read = {};
    read.Offset = static_cast<DWORD>(copy.length);
    read.hEvent = copy.readDone;
    const LONG room = copy.capacity - copy.length;
    const DWORD wanted = room < READ_CHUNK_BYTES ? room : READ_CHUNK_BYTES;
    got = 0;
    if (!ReadFile(copy.file, copy.bytes + copy.length, wanted, nullptr, &read)
        && GetLastError() != ERROR_IO_PENDING)
        return GetLastError() == ERROR_HANDLE_EOF ? TransferOutcome::Sent
                                                  : TransferOutcome::ReadFailed;
    while (WaitForSingleObject(copy.readDone, READ_STOP_CHECK_MS) == WAIT_TIMEOUT) {
        if (StopRequested(control)) {
            CancelIo(copy.file);
            GetOverlappedResult(copy.file, &read, &got, TRUE);
            return TransferOutcome::Stopped;
        }
    }
    if (GetOverlappedResult(copy.file, &read, &got, FALSE))
        return TransferOutcome::Sent;
    // A read error must not pass for the end of the file.
    return GetLastError() == ERROR_HANDLE_EOF ? TransferOutcome::Sent : TransferOutcome::ReadFailed;
}

// Reads the whole file into the copy, to its end as it is now: room for
// the size at the click and one byte, so that the end shows without a
// second allocation. Sent when the copy is whole.
TransferOutcome TakeCopy(FileCopy& copy, TransferControl* control)
{
    control->sizeAtSend = SizeNow(copy.file);
    const bool tooLarge = control->sizeAtSend > MAX_TAPE_BYTES;
    InterlockedExchange(&control->fileSize,
                        tooLarge ? MAX_TAPE_BYTES + 1 : static_cast<LONG>(control->sizeAtSend));
    if (tooLarge)
        return TransferOutcome::FileTooLarge;
    control->readStartTick = GetTickCount();
    InterlockedExchange(&control->readingFile, 1);
    TransferOutcome outcome = Reserve(copy, control->sizeAtSend + 1) ? TransferOutcome::Sent
                                                                       : TransferOutcome::ReadFailed;
    for (DWORD got = 1; outcome == TransferOutcome::Sent && got > 0;) {
        got = 0;
        if (StopRequested(control))
            outcome = TransferOutcome::Stopped;
        else if (copy.length > MAX_TAPE_BYTES)
            outcome = TransferOutcome::FileTooLarge;
        else if (copy.length == copy.capacity
                 && !Reserve(copy, static_cast<ULONGLONG>(copy.length) + READ_CHUNK_BYTES))
            outcome = TransferOutcome::ReadFailed;
        else
            outcome = ReadChunk(copy, control, got);
        copy.length += static_cast<LONG>(got);
        InterlockedExchange(&control->bytesRead, copy.length);
    }
    InterlockedExchange(&control->readingFile, 0);
    // Grown past the longest tape while it was read: the message tells its
    // size now, or what came of a file that has none to tell.
    if (outcome == TransferOutcome::FileTooLarge) {
        const ULONGLONG sizeNow = SizeNow(copy.file);
        control->sizeAtSend = sizeNow > static_cast<ULONGLONG>(copy.length) ? sizeNow : copy.length;
    }
    return outcome;
}

// The next byte onto the tape; Sent when it was punched.
TransferOutcome PunchNextByte(unsigned char byte, PortBase base, TransferControl* control)
{
    if (StopRequested(control) || !PunchByte(base, byte, control))
        return TransferOutcome::Stopped;
    InterlockedIncrement(&control->bytesSent);
    return TransferOutcome::Sent;
}

} // namespace

TransferOutcome SendBytesToPunch(const unsigned char* bytes, LONG size, PortBase base,
                                 TransferControl* control)
{
    InterlockedExchange(&control->fileSize, size);
    InterlockedExchange(&control->bytesSent, 0);

    BeginFineTiming();
    TransferOutcome outcome = TransferOutcome::Sent;
    while (outcome == TransferOutcome::Sent && control->bytesSent < size)
        outcome = PunchNextByte(bytes[control->bytesSent], base, control);
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
    FileCopy file;
    if (!OpenFileCopy(file, path))
        return TransferOutcome::FileNotOpened;
    TransferOutcome outcome = TakeCopy(file, control);
    if (outcome == TransferOutcome::Sent) {
        // A port that another program drives is reported like one that
        // cannot be opened, and neither touches a register.
        outcome = TransferOutcome::PortNotOpened;
        if (const HANDLE claim = ClaimPort(portBase)) {
            const HANDLE access = OpenPortAccess();
            if (access != INVALID_HANDLE_VALUE) {
                const LONG first = firstByte < file.length ? firstByte : file.length;
                outcome = SendBytesToPunch(file.bytes + first, file.length - first, portBase,
                                           control);
                ClosePortAccess(access);
            }
            ReleasePort(claim);
        }
    }
    CloseFileCopy(file);
    return outcome;
}

namespace {

// "1 day 2 hours", "8 hours 27 minutes" or "3 minutes": the two largest
// units, rounded up to the minute.
void FormatDuration(double seconds, wchar_t* text)
{
    const ULONGLONG minutes = static_cast<ULONGLONG>(seconds + 59) / 60;
    const ULONGLONG hours = minutes / 60;
    const ULONGLONG large = hours >= 24 ? hours / 24 : hours > 0 ? hours : minutes;
    const ULONGLONG small = hours >= 24 ? hours % 24 : minutes % 60;
    const wchar_t* largeUnit = hours >= 24 ? L"day" : hours > 0 ? L"hour" : L"minute";
    const wchar_t* smallUnit = hours >= 24 ? L"hour" : L"minute";
    wsprintfW(text, L"%I64u %s%s", large, largeUnit, large == 1 ? L"" : L"s");
    if (hours > 0)
        wsprintfW(text + lstrlenW(text), L" %I64u %s%s", small, smallUnit, small == 1 ? L"" : L"s");
}

// Why the file is no tape, and what to do: its size, the time the punch
// would take and the reels it would fill, beside the longest tape.
void FormatTooLarge(ULONGLONG size, wchar_t (&text)[OUTCOME_TEXT_CAPACITY])
{
    wchar_t fileTime[40];
    wchar_t longestTime[40];
    FormatDuration(size * ROW_MS / 1000, fileTime);
    FormatDuration(MAX_TAPE_BYTES * ROW_MS / 1000, longestTime);
    // Lines a console shows whole, too.
    wsprintfW(text,
              L"The file is too large to punch: %I64u bytes, %I64u reels of 1000 ft,\n"
              L"which would take %s at %d.%d ms a row.\n\n"
              L"A tape holds at most %ld bytes, ten reels, %s of punching.\n"
              L"Make pieces of at most that size with tapeprep --from and --to, and\n"
              L"punch them one at a time.",
              size, (size + ROWS_PER_REEL - 1) / ROWS_PER_REEL, fileTime,
              static_cast<int>(ROW_MS), static_cast<int>(ROW_MS * 10) % 10, MAX_TAPE_BYTES,
              longestTime);
}

} // namespace

bool OutcomeMessage(TransferOutcome outcome, const TransferControl& control,
                    wchar_t (&text)[OUTCOME_TEXT_CAPACITY])
{
    const wchar_t* fixed = nullptr;
    switch (outcome) {
    case TransferOutcome::FileNotOpened:
        fixed = L"Could not open the file";
        break;
    case TransferOutcome::FileTooLarge:
        FormatTooLarge(control.sizeAtSend, text);
        return true;
    case TransferOutcome::PortNotOpened:
        fixed = L"Could not open LPT port";
        break;
    case TransferOutcome::ReadFailed:
        fixed = L"Could not read the file";
        break;
    case TransferOutcome::Sent:
    case TransferOutcome::Stopped:
        return false;
    }
    lstrcpyW(text, fixed);
    return true;
}

void RequestStop(TransferControl* control)
{
    InterlockedExchange(&control->stopRequested, 1);
}

bool PunchStalled(const TransferControl& control)
{
    // Signed: a wait that began after now was read is not a long one.
    return control.waitingForPunch
        && static_cast<LONG>(PunchClockMs() - control.waitStartTick) > PUNCH_STALL_MS;
}
