// The serial line to a tape reader: settings, start and stop, the read.
#include "serial_line.h"

namespace {

constexpr unsigned char XON = 0x11;
constexpr unsigned char XOFF = 0x13;
// The errors of a received row; a full output buffer is no concern here.
constexpr DWORD ROW_ERRORS = CE_OVERRUN | CE_RXOVER | CE_FRAME | CE_RXPARITY;

bool Send(const SerialCalls& calls, HANDLE port, unsigned char code)
{
    DWORD written = 0;
    return calls.write(port, &code, 1, &written, nullptr) && written == 1;
}

// The port's errors since the last look, named with the rows of the read
// just done.
void CountErrors(const SerialCalls& calls, HANDLE port, std::size_t row, std::size_t through,
                 ReadResult& result)
{
    DWORD kinds = 0;
    COMSTAT status;
    if (!calls.clearError(port, &kinds, &status) || !(kinds & ROW_ERRORS))
        return;
    if (result.errorCount < MAX_LINE_ERRORS)
        result.errors[result.errorCount] = {kinds & ROW_ERRORS, static_cast<unsigned long>(row),
                                            static_cast<unsigned long>(through)};
    ++result.errorCount;
}

} // namespace

const SerialCalls WINDOWS_SERIAL = {GetCommState, SetCommState, SetCommTimeouts,
                                    EscapeCommFunction, ClearCommError, ReadFile,
                                    WriteFile, GetTickCount};

bool SetUpLine(const SerialCalls& calls, HANDLE port, const LineSettings& settings, DWORD& error)
{
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, READ_WAIT_MS, 0, 1000};
    const bool ok = calls.getState(port, &dcb);
    if (ok) {
        dcb.BaudRate = settings.baud;
        dcb.ByteSize = settings.bits;
        dcb.Parity = settings.parity;
        dcb.StopBits = settings.stopBits;
        dcb.fBinary = TRUE;
        dcb.fParity = settings.parity != NOPARITY;
        dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = FALSE;
        // The line that starts the reader waits for the start; the other
        // is held on, as a terminal program holds it.
        const bool dtr = settings.control == ReaderControl::DTR;
        const bool rts = settings.control == ReaderControl::RTS;
        dcb.fDtrControl = dtr ? DTR_CONTROL_DISABLE : DTR_CONTROL_ENABLE;
        dcb.fRtsControl = rts ? RTS_CONTROL_DISABLE : RTS_CONTROL_ENABLE;
    }
    if (ok && calls.setState(port, &dcb) && calls.setTimeouts(port, &timeouts))
        return true;
    error = GetLastError();
    return false;
}

bool StartReader(const SerialCalls& calls, HANDLE port, ReaderControl control)
{
    switch (control) {
    case ReaderControl::DTR: return calls.escape(port, SETDTR);
    case ReaderControl::RTS: return calls.escape(port, SETRTS);
    case ReaderControl::XON: return Send(calls, port, XON);
    default: return true;
    }
}

bool StopReader(const SerialCalls& calls, HANDLE port, ReaderControl control)
{
    switch (control) {
    case ReaderControl::DTR: return calls.escape(port, CLRDTR);
    case ReaderControl::RTS: return calls.escape(port, CLRRTS);
    case ReaderControl::XON: return Send(calls, port, XOFF);
    default: return true;
    }
}

void ReadTape(const SerialCalls& calls, HANDLE port, const ReadLimits& limits, TextBuffer& rows,
              ReadResult& result)
{
    result = ReadResult();
    for (;;) {
        unsigned char piece[512];
        DWORD wanted = sizeof piece, got = 0;
        if (limits.maxRows && limits.maxRows - rows.length < wanted)
            wanted = static_cast<DWORD>(limits.maxRows - rows.length);
        if (!calls.read(port, piece, wanted, &got, nullptr)) {
            result.end = ReadEnd::PORT_FAILED;
            result.portError = GetLastError();
            return;
        }
        const DWORD now = calls.clock();
        if (got > 0) {
            if (rows.length == 0) {
                result.firstMs = now;
                result.firstRows = got;
            }
            result.lastMs = now;
            if (!Append(rows, piece, got)) {
                result.end = ReadEnd::PORT_FAILED;
                result.portError = ERROR_OUTOFMEMORY;
                return;
            }
        }
        CountErrors(calls, port, rows.length - got, rows.length, result);
        limits.progress(rows, result);
        if (limits.maxRows && rows.length >= limits.maxRows)
            result.end = ReadEnd::ROWS;
        else if (rows.length > 0 && now - result.lastMs >= limits.idleMs)
            result.end = ReadEnd::IDLE;
        else if (*limits.stop)
            result.end = ReadEnd::INTERRUPTED;
        else
            continue;
        return;
    }
}
