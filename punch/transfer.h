// Sends a file, byte for byte and unchanged, to the tape punch.
#pragma once

#include "port_io.h"

enum class TransferOutcome {
    Sent,
    FileNotOpened,
    // Longer than any reel of tape: refused before the port is touched.
    FileTooLarge,
    PortNotOpened,
    // The file could not be read whole: nothing was punched.
    ReadFailed,
    Stopped,
};

// The longest tape a send punches: ten 1000-ft reels of 120,000 rows, about
// eight and a half hours on a Facit 4070. Longer is no tape but a mistake,
// such as a disk image picked in place of the program.
constexpr LONG MAX_TAPE_BYTES = 1200000;

// Shared between the thread that runs a transfer and the one that watches
// it: the watcher sets stopRequested, the transfer publishes its progress.
struct TransferControl {
    volatile LONG stopRequested = 0;
    // 1 while the file is being read into memory, since readStartTick
    // (GetTickCount()); bytesRead of it so far.
    volatile LONG readingFile = 0;
    volatile DWORD readStartTick = 0;
    volatile LONG bytesRead = 0;
    volatile LONG bytesSent = 0;
    // The tape's length: while the file is read, its size when Send was
    // clicked, at most MAX_TAPE_BYTES + 1; then the length of what was read.
    volatile LONG fileSize = 0;
    // The file's size when Send was clicked; read only once the transfer
    // has ended.
    ULONGLONG sizeAtSend = 0;
    // 1 while the punch holds BUSY; waitStartTick is PunchClockMs(), the
    // system's tick count, at the start of that wait.
    volatile LONG waitingForPunch = 0;
    volatile DWORD waitStartTick = 0;
};

// Opens the file and reads it whole into memory, then claims the port
// against other programs, opens port access and punches that copy with the
// handshake: whatever another program does to the file meanwhile, the tape
// is the file as it was at the start. The file stays open, shared, until
// the tape is done. The path is wide, so that a name in any script opens.
// control may be null when nobody watches. A stop is seen even while a read
// of the file hangs; the read is called off before this returns.
TransferOutcome SendFileToPunch(const wchar_t* path, PortBase portBase, TransferControl* control);
// The same from the byte after the first firstByte bytes of the file: the
// rest of a tape that stopped. control's counts are of this send's bytes;
// a file by then no longer than firstByte leaves nothing to punch.
TransferOutcome SendFileToPunchFrom(const wchar_t* path, PortBase portBase, LONG firstByte,
                                    TransferControl* control);

// The byte loop on its own, for bytes already in memory and port access
// that is already granted. A stop asked for once every byte has been
// punched comes too late to make the tape short.
TransferOutcome SendBytesToPunch(const unsigned char* bytes, LONG size, PortBase portBase,
                                 TransferControl* control);

// Room for the longest message an outcome shows.
constexpr int OUTCOME_TEXT_CAPACITY = 512;
// The text to show the user for a transfer's outcome, written to text;
// false when there is none to show.
bool OutcomeMessage(TransferOutcome outcome, const TransferControl& control,
                    wchar_t (&text)[OUTCOME_TEXT_CAPACITY]);

// Asks a running transfer to stop between bytes, or at once while it waits.
void RequestStop(TransferControl* control);

// A punch that holds BUSY longer than this is worth telling the user about:
// out of tape, switched off or jammed.
constexpr LONG PUNCH_STALL_MS = 2000;
// Whether the transfer has waited that long for the punch, now.
bool PunchStalled(const TransferControl& control);
