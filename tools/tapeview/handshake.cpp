// The handshake read back from the emulated port's trace: pin levels as the
// punch sees them and the times of each byte's steps.
#include "tapeview.h"

namespace {

constexpr unsigned STATUS_REGISTER = 1;
constexpr unsigned CONTROL_REGISTER = 2;
// Both reach their pins inverted by the port.
constexpr unsigned STROBE_BIT = 0x01;  // control bit 0, pin 1
constexpr unsigned BUSY_BIT = 0x80;    // status bit 7, pin 11

unsigned PortBase(const std::vector<TraceLine>& trace)
{
    for (const TraceLine& line : trace)
        if (!line.isIn && (line.port & 3u) == CONTROL_REGISTER)
            return line.port & ~3u;
    return 0;
}

unsigned PinLevel(unsigned value, unsigned bit)
{
    return (value & bit) ? 0 : 1;
}

} // namespace

Handshake ReadHandshake(const std::vector<TraceLine>& trace)
{
    Handshake handshake;
    handshake.base = PortBase(trace);
    // The port starts with STROBE released, as the emulated one does.
    unsigned control = 0;
    // Index of the first data write since the last latch.
    std::size_t sinceLatch = 0;
    for (const TraceLine& line : trace) {
        if (handshake.base == 0 || (line.port & ~3u) != handshake.base)
            continue;
        const unsigned reg = line.port & 3u;
        if (line.isIn) {
            if (reg == STATUS_REGISTER)
                handshake.busy.push_back({line.micros, PinLevel(line.value, BUSY_BIT)});
            continue;
        }
        if (reg != CONTROL_REGISTER) {
            handshake.data.push_back({line.micros, line.value});
            continue;
        }
        handshake.strobe.push_back({line.micros, PinLevel(line.value, STROBE_BIT)});
        if ((line.value & STROBE_BIT) && !handshake.bytes.empty()
            && handshake.bytes.back().restAt == NO_TIME)
            handshake.bytes.back().restAt = line.micros;
        const bool released = (control & STROBE_BIT) && !(line.value & STROBE_BIT);
        control = line.value;
        if (!released)
            continue;
        // The punch takes whatever the data register holds, written now or before.
        const std::vector<Step>& data = handshake.data;
        const std::size_t writes = data.size() - sinceLatch;
        PunchedByte byte = {data.empty() ? 0 : data.back().value, NO_TIME, NO_TIME, line.micros,
                            NO_TIME};
        if (writes >= 1)
            byte.byteAt = data.back().micros;
        if (writes >= 2 && data[data.size() - 2].value == 0xFF)
            byte.blankAt = data[data.size() - 2].micros;
        handshake.bytes.push_back(byte);
        sinceLatch = data.size();
    }
    return handshake;
}
