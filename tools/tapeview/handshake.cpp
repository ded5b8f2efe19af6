// The handshake read back from the emulated port's trace: pin levels as the
// punch sees them and the times of each byte's steps.
#include "tapeview.h"

#include "port_io.h"

#include <cstdlib>

namespace {

unsigned TracedPortBase(const TraceLine* trace, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!trace[i].isIn && (trace[i].port & 3u) == CONTROL_REGISTER)
            return trace[i].port & ~3u;
    return 0;
}

unsigned PinLevel(unsigned value, unsigned bit)
{
    return (value & bit) ? 0 : 1;
}

void Add(Signal& signal, unsigned long long micros, unsigned value)
{
    signal.items[signal.count++] = {micros, value};
}

} // namespace

bool ReadHandshake(const TraceLine* trace, std::size_t count, Handshake& handshake)
{
    handshake = {};
    // Each line adds at most one value and one byte.
    const std::size_t room = count ? count : 1;
    handshake.strobe.items = static_cast<TimedValue*>(std::malloc(room * sizeof(TimedValue)));
    handshake.data.items = static_cast<TimedValue*>(std::malloc(room * sizeof(TimedValue)));
    handshake.busy.items = static_cast<TimedValue*>(std::malloc(room * sizeof(TimedValue)));
    handshake.bytes.items = static_cast<PunchedByte*>(std::malloc(room * sizeof(PunchedByte)));
    if (!handshake.strobe.items || !handshake.data.items || !handshake.busy.items
        || !handshake.bytes.items) {
        FreeHandshake(handshake);
        return false;
    }
    handshake.base = TracedPortBase(trace, count);
    // The port starts with STROBE released, as the emulated one does.
    unsigned control = 0;
    // Index of the first data write since the last latch.
    std::size_t sinceLatch = 0;
    Signal& data = handshake.data;
    for (std::size_t i = 0; i < count; ++i) {
        const TraceLine& line = trace[i];
        if (handshake.base == 0 || (line.port & ~3u) != handshake.base)
            continue;
        const unsigned reg = line.port & 3u;
        if (line.isIn) {
            if (reg == STATUS_REGISTER)
                Add(handshake.busy, line.micros, PinLevel(line.value, STATUS_BUSY));
            continue;
        }
        if (reg != CONTROL_REGISTER) {
            Add(data, line.micros, line.value);
            continue;
        }
        Add(handshake.strobe, line.micros, PinLevel(line.value, CONTROL_STROBE));
        PunchedByte* bytes = handshake.bytes.items;
        std::size_t& punched = handshake.bytes.count;
        if ((line.value & CONTROL_STROBE) && punched && bytes[punched - 1].restAt == NO_TIME)
            bytes[punched - 1].restAt = line.micros;
        const bool released = (control & CONTROL_STROBE) && !(line.value & CONTROL_STROBE);
        control = line.value;
        if (!released)
            continue;
        // The punch takes whatever the data register holds, written now or before.
        const std::size_t writes = data.count - sinceLatch;
        PunchedByte byte = {data.count ? data.items[data.count - 1].value : 0, NO_TIME, NO_TIME,
                            line.micros, NO_TIME};
        if (writes >= 1)
            byte.byteAt = data.items[data.count - 1].micros;
        if (writes >= 2 && data.items[data.count - 2].value == 0xFF)
            byte.blankAt = data.items[data.count - 2].micros;
        bytes[punched++] = byte;
        sinceLatch = data.count;
    }
    return true;
}

void FreeHandshake(Handshake& handshake)
{
    std::free(handshake.strobe.items);
    std::free(handshake.data.items);
    std::free(handshake.busy.items);
    std::free(handshake.bytes.items);
    handshake = {};
}
