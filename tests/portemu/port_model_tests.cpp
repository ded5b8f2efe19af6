// The port model fed times directly, with no program and no debugger.
#include "port_model.h"

#include <doctest/doctest.h>

#include <cstdint>
#include <string>

namespace {

// One byte on LPT1 through the model, as the handshake sends it: STROBE low
// and the 0xFF at startMs, the byte and the release blankMs later, by
// which time the thread was held heldMs at its own traps. What the
// release did.
AccessResult ModelByte(PortModel& model, double startMs, double blankMs, char byte,
                       double heldMs = 0)
{
    const Moment start = {static_cast<long long>(startMs * 1000), 0, 1};
    const Moment end = {static_cast<long long>((startMs + blankMs) * 1000),
                        static_cast<long long>(heldMs * 1000), 1};
    std::uint8_t value = 0x01;
    PortAccess(model, start, 0x37A, false, value);
    value = 0xFF;
    PortAccess(model, start, 0x378, false, value);
    value = static_cast<std::uint8_t>(byte);
    PortAccess(model, end, 0x378, false, value);
    value = 0x00;
    return PortAccess(model, end, 0x37A, false, value);
}

} // namespace

TEST_CASE("the model takes a byte only after a 12 ms blank, 1 ms apart, from a ready punch")
{
    PortModel model;
    model.options.busyMs = 50;
    CHECK(ModelByte(model, 0, 12, 'A').punched == 0);
    // Busy until 62 ms: the byte is lost.
    AccessResult result = ModelByte(model, 14, 12, 'B');
    CHECK(result.punched == -1);
    CHECK(std::string(result.fault)
          == "STROBE released while the punch is busy: byte 42 not punched");
    std::uint8_t status = 0;
    PortAccess(model, {61000, 0, 1}, 0x379, true, status);
    CHECK(status == 0xFF);
    PortAccess(model, {62000, 0, 1}, 0x379, true, status);
    CHECK(status == 0x7F);

    model.options.busyMs = 0;
    result = ModelByte(model, 70, 11.5, 'C');
    CHECK(result.punched == -1);
    CHECK(std::string(result.fault)
          == "blank data lines held before the byte: 11.50 ms, less than 12 ms: byte 43 not "
             "punched");
    // The time the thread was held at its own traps is no part of the pause.
    CHECK(ModelByte(model, 90, 12.4, 'D', 0.6).punched == -1);
    CHECK(ModelByte(model, 110, 12, 'E').punched == 0);
    // STROBE low again 0.8 ms after that release.
    std::uint8_t control = 0x01;
    result = PortAccess(model, {122800, 0, 1}, 0x37A, false, control);
    CHECK(std::string(result.fault)
          == "pause from a STROBE release to STROBE low again: 0.80 ms, less than 1 ms");
    CHECK(model.punches[0].latched == 2);
}
