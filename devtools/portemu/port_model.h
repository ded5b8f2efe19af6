// The emulated ports and punches as plain functions of time and register accesses.
// Registers, BUSY timing, the strict checks and the tape; no debugger.
#pragma once

#include "port_io.h"

#include <cstddef>
#include <cstdint>

constexpr long long NEVER = -1;

struct PunchOptions {
    long long busyMs = 0;         // BUSY held for this long after each byte
    long long stuckAfter = NEVER; // BUSY held for good after this many bytes
    // BUSY held from busyFrom to busyTo ms after the program started.
    long long busyFrom = NEVER;
    long long busyTo = NEVER;
    // The ports' addresses: LPT1's, and LPT2's or a PCI card's in its place.
    unsigned bases[2] = {LPT1_BASE, LPT2_BASE};
    bool absent[2] = {};          // LPT1, LPT2: no port at the address
    bool ignoresWrites[2] = {};   // writes go nowhere; reads as before them
    bool busy[2] = {};            // that punch holds BUSY for good
    bool error[2] = {};           // pin 15 (ERROR) held low
    // The punches drive pin 12 (paper end) from their tape-low line: low
    // until each has punched this many bytes, high from then on. NEVER:
    // pin 12 floats high, as with nothing on it.
    long long tapeLowAfter = NEVER;
};

// When an access happened: microseconds on the emulator's clock, and how
// long its thread had been held stopped at its own traps by then. A pause
// between two accesses of one thread is timed without that held time.
struct Moment {
    long long micros = NEVER;
    long long heldMicros = 0;
    unsigned long thread = 0;
};

// The data writes since STROBE went low, for the check on release: none
// yet, the blank 0xFF, a byte after the blank, or a first write that was
// not the blank.
enum class DataWrites { None, Blank, ByteAfterBlank, NoBlankFirst };

struct Punch {
    std::uint8_t data = 0x00;
    std::uint8_t control = 0x00;
    unsigned long long latched = 0;  // bytes punched
    long long busyUntil = 0;
    DataWrites dataWrites = DataWrites::None;
    Moment blankAt;                  // the 0xFF before the byte
    double blankMs = 0;              // from the 0xFF to the byte's write
    Moment releasedAt;               // the last STROBE release
};

struct PortModel {
    PunchOptions options;
    long long programStart = 0;
    Punch punches[2];  // LPT1, LPT2
};

// What one access did beyond the register's value.
struct AccessResult {
    const char* refused;  // why the port refuses the access, or null
    char fault[160];      // how a carried-out access broke the handshake, or ""
    int punched;          // the punch (0 LPT1, 1 LPT2) that took a byte, or -1
};

// One 8-bit access to port at a moment: value is the byte written, or
// receives the byte read.
AccessResult PortAccess(PortModel& model, const Moment& at, unsigned port, bool isIn,
                        std::uint8_t& value);
