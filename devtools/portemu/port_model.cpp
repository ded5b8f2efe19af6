// The emulated ports and punches, as functions of time and register accesses.
#include "port_model.h"


#include <cstdio>
#include <cstring>

namespace {

// Every bit but BUSY set while idle, pins 12 and 15 high as with nothing
// on them, so a program that looks at more than bit 7 shows up in the tests.
constexpr std::uint8_t STATUS_IDLE = 0x7F;
// A standard port reads back control bits 0-4 as written; bits 5-7 read 1.
constexpr std::uint8_t CONTROL_WRITTEN_BITS = 0x1F;
constexpr std::uint8_t CONTROL_UNUSED_BITS = 0xE0;
// An address where no port answers reads all ones.
constexpr std::uint8_t NOTHING_THERE = 0xFF;
constexpr std::uint8_t DATA_BLANK = 0xFF;

// The handshake's minimum pauses, and how much shorter a measured one may
// be. What is left of a trap's delay, its way into and out of the debugger,
// only ever lengthens a pause, and so does the time a thread stood still
// for another thread's event: a sleeping thread's timer runs on meanwhile.
// The tolerance has only the clocks to cover: Sleep's timer against the
// performance counter.
constexpr double BLANK_MS = 12.0;
constexpr double AFTER_BYTE_MS = 1.0;
constexpr double TIMING_TOLERANCE_MS = 0.1;

int PunchIndex(const PortModel& model, const Punch& punch)
{
    return &punch == &model.punches[0] ? 0 : 1;
}

bool IsBusy(const PortModel& model, const Punch& punch, long long now)
{
    const PunchOptions& options = model.options;
    if (options.busy[PunchIndex(model, punch)])
        return true;
    const long long sinceStartMs = (now - model.programStart) / 1000;
    const bool inWindow = options.busyFrom != NEVER && sinceStartMs >= options.busyFrom
                          && sinceStartMs < options.busyTo;
    const bool stuck = options.stuckAfter != NEVER
                       && punch.latched >= static_cast<unsigned long long>(options.stuckAfter);
    return inWindow || stuck || now < punch.busyUntil;
}

// The pause from one moment to the next, less the time the thread was held.
double PauseMs(const Moment& from, const Moment& to)
{
    const long long held = from.thread == to.thread ? to.heldMicros - from.heldMicros : 0;
    return static_cast<double>(to.micros - from.micros - held) / 1000.0;
}

bool TooShort(double ms, double minimumMs)
{
    return ms < minimumMs - TIMING_TOLERANCE_MS;
}

// The byte is the data write after the blank 0xFF, 12 ms after it; the
// blank is the first data write after STROBE went low.
void WriteData(Punch& punch, std::uint8_t value, const Moment& at)
{
    punch.data = value;
    if (!(punch.control & CONTROL_STROBE))
        return;
    switch (punch.dataWrites) {
    case DataWrites::None:
        punch.dataWrites = value == DATA_BLANK ? DataWrites::Blank : DataWrites::NoBlankFirst;
        punch.blankAt = at;
        break;
    case DataWrites::Blank:
    case DataWrites::ByteAfterBlank:
        punch.dataWrites = DataWrites::ByteAfterBlank;
        punch.blankMs = PauseMs(punch.blankAt, at);
        break;
    case DataWrites::NoBlankFirst:
        break;
    }
}

// Why the punch must not take the byte on this release, in result.fault;
// false when it may.
bool RefuseByte(const PortModel& model, const Punch& punch, long long now, AccessResult& result)
{
    const int size = sizeof result.fault;
    if (IsBusy(model, punch, now))
        std::snprintf(result.fault, size, "STROBE released while the punch is busy");
    else if (punch.dataWrites != DataWrites::ByteAfterBlank)
        std::snprintf(result.fault, size, "no 0xFF on the data lines before the byte");
    else if (TooShort(punch.blankMs, BLANK_MS))
        std::snprintf(result.fault, size,
                      "blank data lines held before the byte: %.2f ms, less than %g ms",
                      punch.blankMs, BLANK_MS);
    else
        return false;
    const int length = static_cast<int>(std::strlen(result.fault));
    std::snprintf(result.fault + length, size - length, ": byte %02x not punched", punch.data);
    return true;
}

// The punch takes the data byte when STROBE is released, control bit 0
// going from 1 to 0, unless it is busy or the blank before the byte was
// wrong: then the byte is lost. STROBE goes low again for the next byte no
// sooner than 1 ms after a release.
void WriteControl(PortModel& model, Punch& punch, std::uint8_t value, const Moment& at,
                  AccessResult& result)
{
    const bool pulled = !(punch.control & CONTROL_STROBE) && (value & CONTROL_STROBE);
    const bool released = (punch.control & CONTROL_STROBE) && !(value & CONTROL_STROBE);
    punch.control = value;
    if (pulled) {
        punch.dataWrites = DataWrites::None;
        const double ms = PauseMs(punch.releasedAt, at);
        if (punch.releasedAt.micros != NEVER && TooShort(ms, AFTER_BYTE_MS))
            std::snprintf(result.fault, sizeof result.fault,
                          "pause from a STROBE release to STROBE low again: %.2f ms, less "
                          "than %g ms",
                          ms, AFTER_BYTE_MS);
    }
    if (!released)
        return;
    punch.releasedAt = at;
    if (RefuseByte(model, punch, at.micros, result))
        return;
    result.punched = PunchIndex(model, punch);
    ++punch.latched;
    if (model.options.busyMs > 0)
        punch.busyUntil = at.micros + model.options.busyMs * 1000;
}

// The status register: pins 11, 12 and 15; the other bits read 1.
std::uint8_t Status(const PortModel& model, const Punch& punch, long long now)
{
    const PunchOptions& options = model.options;
    std::uint8_t status = STATUS_IDLE;
    if (options.tapeLowAfter != NEVER
        && punch.latched < static_cast<unsigned long long>(options.tapeLowAfter))
        status &= static_cast<std::uint8_t>(~STATUS_PAPER_END);
    if (options.error[PunchIndex(model, punch)])
        status &= static_cast<std::uint8_t>(~STATUS_ERROR);
    return IsBusy(model, punch, now) ? status | STATUS_BUSY : status;
}

} // namespace

AccessResult PortAccess(PortModel& model, const Moment& at, unsigned port, bool isIn,
                        std::uint8_t& value)
{
    AccessResult result = {nullptr, "", -1};
    const unsigned* bases = model.options.bases;
    const int index = (port & ~3u) == bases[0] ? 0 : (port & ~3u) == bases[1] ? 1 : -1;
    const unsigned reg = port & 3u;
    if (index < 0 || reg > CONTROL_REGISTER) {
        result.refused = "port not emulated";
        return result;
    }
    Punch& punch = model.punches[index];
    if (model.options.absent[index]) {
        if (isIn)
            value = NOTHING_THERE;
    } else if (!isIn && model.options.ignoresWrites[index]) {
        return result;
    } else if (isIn && reg == STATUS_REGISTER) {
        value = Status(model, punch, at.micros);
    } else if (isIn) {
        value = reg == DATA_REGISTER ? punch.data
                                     : (punch.control & CONTROL_WRITTEN_BITS) | CONTROL_UNUSED_BITS;
    } else if (reg == DATA_REGISTER) {
        WriteData(punch, value, at);
    } else if (reg == CONTROL_REGISTER) {
        WriteControl(model, punch, value, at, result);
    }  // a write to status goes nowhere, as on a real port
    return result;
}
