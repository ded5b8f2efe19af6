// taperead's line handling against a recording fake of the port's Windows
// calls: the settings it asks for, DTR, RTS and XON starting and stopping
// the reader, the port's errors named with their row, and each end of a
// read with every row kept. The fake's clock moves only when a read waits.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "serial_line.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

namespace {

const HANDLE PORT = reinterpret_cast<HANDLE>(0x4343);

struct FakeLine {
    std::vector<std::string> calls;  // "escape SETDTR", "write 11", "read 512", ...
    DCB state;
    bool refuseState = false;
    std::vector<std::string> pieces;  // what each read gives, in turn; then nothing
    std::vector<DWORD> errors;         // what each look at the errors gives, in turn
    size_t read = 0, looked = 0;
    DWORD clockMs = 1000;
    std::vector<size_t> shownRows;  // the live line's row counts
} fake;

BOOL WINAPI GetState(HANDLE, DCB* dcb)
{
    fake.calls.push_back("get state");
    *dcb = DCB();
    dcb->BaudRate = 1200;
    dcb->fNull = TRUE;
    dcb->fOutX = TRUE;
    return TRUE;
}

BOOL WINAPI SetState(HANDLE, DCB* dcb)
{
    fake.calls.push_back("set state");
    fake.state = *dcb;
    if (fake.refuseState)
        SetLastError(ERROR_INVALID_PARAMETER);
    return !fake.refuseState;
}

BOOL WINAPI SetTimeouts(HANDLE, COMMTIMEOUTS* timeouts)
{
    // Any byte ends the wait at once; with none, the wait ends in time.
    CHECK(timeouts->ReadIntervalTimeout == MAXDWORD);
    CHECK(timeouts->ReadTotalTimeoutMultiplier == MAXDWORD);
    CHECK(timeouts->ReadTotalTimeoutConstant == READ_WAIT_MS);
    fake.calls.push_back("set timeouts");
    return TRUE;
}

BOOL WINAPI Escape(HANDLE, DWORD function)
{
    const char* names[] = {"", "SETXOFF", "SETXON", "SETRTS", "CLRRTS", "SETDTR", "CLRDTR"};
    fake.calls.push_back(std::string("escape ") + (function <= CLRDTR ? names[function] : "?"));
    return TRUE;
}

BOOL WINAPI ClearError(HANDLE, DWORD* errors, COMSTAT*)
{
    *errors = fake.looked < fake.errors.size() ? fake.errors[fake.looked] : 0;
    ++fake.looked;
    return TRUE;
}

BOOL WINAPI Read(HANDLE port, LPVOID bytes, DWORD wanted, LPDWORD got, LPOVERLAPPED)
{
    CHECK(port == PORT);
    std::string piece = fake.read < fake.pieces.size() ? fake.pieces[fake.read] : "";
    ++fake.read;
    if (piece == "fail") {
        SetLastError(ERROR_BAD_COMMAND);
        return FALSE;
    }
    // A reader sends on: what was not taken waits for the next read.
    if (piece.size() > wanted) {
        fake.pieces.insert(fake.pieces.begin() + fake.read, piece.substr(wanted));
        piece.resize(wanted);
    }
    piece.copy(static_cast<char*>(bytes), piece.size());
    *got = static_cast<DWORD>(piece.size());
    if (piece.empty())
        fake.clockMs += READ_WAIT_MS;
    return TRUE;
}

BOOL WINAPI Write(HANDLE, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED)
{
    char text[16];
    std::snprintf(text, sizeof text, "write %02X", *static_cast<const unsigned char*>(bytes));
    fake.calls.push_back(text);
    *written = count;
    return TRUE;
}

DWORD WINAPI Clock()
{
    return fake.clockMs;
}

const SerialCalls FAKE = {GetState, SetState, SetTimeouts, Escape, ClearError, Read, Write, Clock};

void Progress(const TextBuffer& rows, const ReadResult&)
{
    fake.shownRows.push_back(rows.length);
}

struct Outcome {
    std::string rows;
    ReadResult result;
};

Outcome ReadWith(unsigned long maxRows, const volatile bool* stop = nullptr)
{
    static const volatile bool never = false;
    const ReadLimits limits = {3000, maxRows, stop ? stop : &never, Progress};
    TextBuffer rows = {};
    Outcome read;
    ReadTape(FAKE, PORT, limits, rows, read.result);
    REQUIRE_FALSE(rows.failed);
    read.rows.assign(rows.data ? rows.data : "", rows.length);
    FreeBuffer(rows);
    return read;
}

} // namespace

TEST_CASE("the line as asked, and each way of starting and stopping the reader")
{
    struct Case {
        ReaderControl control;
        const char* start;
        const char* stop;
        WORD dtr, rts;  // fDtrControl, fRtsControl
    } cases[] = {
        {ReaderControl::NONE, nullptr, nullptr, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
        {ReaderControl::DTR, "escape SETDTR", "escape CLRDTR", DTR_CONTROL_DISABLE,
         RTS_CONTROL_ENABLE},
        {ReaderControl::RTS, "escape SETRTS", "escape CLRRTS", DTR_CONTROL_ENABLE,
         RTS_CONTROL_DISABLE},
        {ReaderControl::XON, "write 11", "write 13", DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
    };
    for (const Case& c : cases) {
        fake = FakeLine();
        const LineSettings settings = {4800, 7, MARKPARITY, TWOSTOPBITS, c.control};
        DWORD error = 0;
        CAPTURE(static_cast<int>(c.control));
        REQUIRE(SetUpLine(FAKE, PORT, settings, error));
        const DCB& dcb = fake.state;
        CHECK(dcb.BaudRate == 4800);
        CHECK(dcb.ByteSize == 7);
        CHECK(dcb.Parity == MARKPARITY);
        CHECK(dcb.fParity);
        CHECK(dcb.StopBits == TWOSTOPBITS);
        // A blank row is a NUL and must be kept; XON and XOFF are data.
        CHECK_FALSE(dcb.fNull);
        CHECK_FALSE(dcb.fOutX);
        CHECK_FALSE(dcb.fInX);
        CHECK_FALSE(dcb.fAbortOnError);
        CHECK_FALSE(dcb.fOutxCtsFlow);
        CHECK(dcb.fDtrControl == c.dtr);
        CHECK(dcb.fRtsControl == c.rts);
        CHECK(StartReader(FAKE, PORT, c.control));
        fake.pieces = {"AB"};
        CHECK(ReadWith(0).rows == "AB");
        CHECK(StopReader(FAKE, PORT, c.control));
        std::vector<std::string> expected = {"get state", "set state", "set timeouts"};
        for (const char* call : {c.start, c.stop})
            if (call)
                expected.push_back(call);
        CHECK(fake.calls == expected);
    }
    // A port that refuses the settings: Windows' reason comes back.
    fake = FakeLine();
    fake.refuseState = true;
    DWORD error = 0;
    CHECK_FALSE(SetUpLine(FAKE, PORT, {9600, 8, NOPARITY, ONESTOPBIT, ReaderControl::NONE}, error));
    CHECK(error == ERROR_INVALID_PARAMETER);
}

TEST_CASE("a read ends when the reader is idle, after --rows, on Ctrl+C or a failed port")
{
    // Before the first row the wait has no end; after it, 3 s of quiet: on
    // a PC up for a second, past 2^31 ms, and with the wrap of the tick
    // count in the middle of the read (the first row comes 10 s after the
    // start, 1 s before the wrap).
    for (const DWORD start : {DWORD{1000}, DWORD{0x80000100}, DWORD{0} - 11000}) {
        CAPTURE(start);
        fake = FakeLine();
        fake.clockMs = start;
        fake.pieces = std::vector<std::string>(100, "");
        fake.pieces.push_back("\x80\x80");
        fake.pieces.push_back(std::string("\0AB", 3));
        fake.pieces.insert(fake.pieces.end(), 29, "");
        fake.pieces.push_back("C");
        const Outcome read = ReadWith(0);
        CHECK(read.result.end == ReadEnd::IDLE);
        CHECK(read.rows == std::string("\x80\x80\0ABC", 6));
        CHECK(read.result.lastMs - read.result.firstMs == 29 * READ_WAIT_MS);
        CHECK(read.result.firstRows == 2);
        CHECK(fake.clockMs - read.result.lastMs == 3000);
        CHECK(fake.shownRows.back() == 6);
    }
    Outcome read;

    // --rows: exactly so many, though the reader sent more.
    fake = FakeLine();
    fake.pieces = {"0123", "456789"};
    read = ReadWith(7);
    CHECK(read.result.end == ReadEnd::ROWS);
    CHECK(read.rows == "0123456");

    // Ctrl+C: what came is kept.
    fake = FakeLine();
    fake.pieces = {"XY"};
    volatile bool stop = true;
    read = ReadWith(0, &stop);
    CHECK(read.result.end == ReadEnd::INTERRUPTED);
    CHECK(read.rows == "XY");

    // A port that fails mid-read (a USB adapter pulled): kept, and why.
    fake = FakeLine();
    fake.pieces = {"XY", "fail"};
    read = ReadWith(0);
    CHECK(read.result.end == ReadEnd::PORT_FAILED);
    CHECK(read.result.portError == ERROR_BAD_COMMAND);
    CHECK(read.rows == "XY");
}

TEST_CASE("errors the port reports are counted and named with the row they came at")
{
    fake = FakeLine();
    fake.pieces = {"0123", "4567", "89", "AB", "CD"};
    // The errors after each read; a full output buffer is not the read's.
    fake.errors = {0, CE_OVERRUN, CE_TXFULL, CE_FRAME | CE_RXPARITY, CE_RXOVER};
    Outcome read = ReadWith(0);
    CHECK(read.rows == "0123456789ABCD");
    REQUIRE(read.result.errorCount == 3);
    // Each within the rows of the read after which the port told it.
    const LineError expected[] = {{CE_OVERRUN, 4, 8}, {CE_FRAME | CE_RXPARITY, 10, 12},
                                  {CE_RXOVER, 12, 14}};
    for (int i = 0; i < 3; ++i) {
        CAPTURE(i);
        CHECK(read.result.errors[i].kinds == expected[i].kinds);
        CHECK(read.result.errors[i].row == expected[i].row);
        CHECK(read.result.errors[i].through == expected[i].through);
    }

    // Past the ones kept, still counted.
    fake = FakeLine();
    fake.pieces = std::vector<std::string>(MAX_LINE_ERRORS + 3, "x");
    fake.errors = std::vector<DWORD>(MAX_LINE_ERRORS + 3, CE_OVERRUN);
    CHECK(ReadWith(0).result.errorCount == MAX_LINE_ERRORS + 3);
}
