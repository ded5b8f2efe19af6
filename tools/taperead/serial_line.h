// The serial line to a tape reader: its settings, starting and stopping the
// reader, and the read itself, rows kept as they come and the line's
// errors named with the row where they came. Every Windows call on the
// port goes through a table, so that tests can put a recording fake
// beneath it.
#pragma once

#include "text_buffer.h"

#include <windows.h>

struct SerialCalls {
    BOOL(WINAPI* getState)(HANDLE, DCB*);
    BOOL(WINAPI* setState)(HANDLE, DCB*);
    BOOL(WINAPI* setTimeouts)(HANDLE, COMMTIMEOUTS*);
    BOOL(WINAPI* escape)(HANDLE, DWORD);
    BOOL(WINAPI* clearError)(HANDLE, DWORD*, COMSTAT*);
    BOOL(WINAPI* read)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* write)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    DWORD(WINAPI* clock)();
};

// Windows' own.
extern const SerialCalls WINDOWS_SERIAL;

// How the reader is started and stopped.
enum class ReaderControl { NONE, DTR, RTS, XON };

struct LineSettings {
    DWORD baud;
    BYTE bits;      // 7 or 8
    BYTE parity;    // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
    BYTE stopBits;  // ONESTOPBIT or TWOSTOPBITS
    ReaderControl control;
};

// A read waits this long for a row before it looks at the clock again.
constexpr DWORD READ_WAIT_MS = 100;

// Sets the line up: the settings, no flow control, every byte kept (a
// blank row is a NUL), reads that return what has come. False, with
// Windows' error, when the port refuses.
bool SetUpLine(const SerialCalls& calls, HANDLE port, const LineSettings& settings,
               DWORD& error);
// DTR or RTS on, or XON sent; and DTR or RTS off, or XOFF sent.
bool StartReader(const SerialCalls& calls, HANDLE port, ReaderControl control);
bool StopReader(const SerialCalls& calls, HANDLE port, ReaderControl control);

enum class ReadEnd { IDLE, ROWS, INTERRUPTED, PORT_FAILED };

// An error the port reported: CE_OVERRUN, CE_RXOVER, CE_FRAME, CE_RXPARITY,
// somewhere in rows row to through - 1, those of the read after which it
// told it; row == through when that read took no row.
struct LineError {
    DWORD kinds;
    unsigned long row;
    unsigned long through;
};

constexpr int MAX_LINE_ERRORS = 8;

struct ReadResult {
    ReadEnd end;
    DWORD portError;  // PORT_FAILED: Windows' error
    DWORD firstMs;    // the clock at the first row and at the last
    DWORD lastMs;
    DWORD firstRows;  // the rows of the read that brought the first
    LineError errors[MAX_LINE_ERRORS];  // the first ones
    int errorCount;                     // all of them
};

struct ReadLimits {
    DWORD idleMs;             // the end, this long after the last row
    unsigned long maxRows;    // 0: no limit
    const volatile bool* stop;  // set by Ctrl+C
    // Called after each read: the live line.
    void (*progress)(const TextBuffer& rows, const ReadResult& result);
};

// Reads rows into rows until no row has come for idleMs after the first,
// maxRows are in, stop is set or the port fails.
void ReadTape(const SerialCalls& calls, HANDLE port, const ReadLimits& limits, TextBuffer& rows,
              ReadResult& result);
