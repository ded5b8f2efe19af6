// Sends a file, byte for byte and unchanged, to the tape punch.
#pragma once

#include "port_io.h"

enum class TransferOutcome {
    Sent,
    FileNotOpened,
    PortNotOpened,
    ReadFailed,
    Stopped,
    // The file ended before the size it had when the send began, or went on
    // past it: the tape is not the file.
    FileChanged,
};

// Shared between the thread that runs a transfer and the one that watches
// it: the watcher sets stopRequested, the transfer publishes its progress.
struct TransferControl {
    volatile LONG stopRequested = 0;
    volatile LONG bytesSent = 0;
    volatile LONG fileSize = 0;
    // 1 while the punch holds BUSY; waitStartTick is PunchClockMs(), the
    // system's tick count, at the start of that wait.
    volatile LONG waitingForPunch = 0;
    volatile DWORD waitStartTick = 0;
};

// Opens the file, claims the port against other programs, opens port access,
// then sends every byte with the punch handshake. The path is wide, so that
// a name in any script opens. control may be null when nobody watches. A
// stop is seen even while a read of the file hangs: the port is left at
// rest at once, and the read is called off before this returns.
TransferOutcome SendFileToPunch(const wchar_t* path, PortBase portBase, TransferControl* control);
// The same from the byte after the first firstByte bytes of the file: the
// rest of a tape that stopped. control's counts are of this send's bytes;
// a file by then no longer than firstByte is FileChanged.
TransferOutcome SendFileToPunchFrom(const wchar_t* path, PortBase portBase, LONG firstByte,
                                    TransferControl* control);

// Where a transfer's bytes come from: next(context) gives the next byte
// (0-255), SOURCE_END after the last one, SOURCE_FAILED when a read fails,
// or SOURCE_STOPPED when a stop was asked for while a read waited.
// A file in the program; a test may stand in a disk that fails part-way.
constexpr int SOURCE_END = -1;
constexpr int SOURCE_FAILED = -2;
constexpr int SOURCE_STOPPED = -3;
struct ByteSource {
    int (*next)(void* context);
    void* context;
};

// The byte loop on its own, for a source that is already open and port
// access that is already granted. size is the promise: exactly that many
// bytes, and then the source's end. A stop asked for once every byte has
// been punched comes too late to make the tape short.
TransferOutcome SendBytesToPunch(const ByteSource& source, LONG size, PortBase portBase,
                                 TransferControl* control);

// The text to show the user for an outcome; null when there is none to show.
const wchar_t* OutcomeMessage(TransferOutcome outcome);

// Asks a running transfer to stop between bytes, or at once while it waits.
void RequestStop(TransferControl* control);
