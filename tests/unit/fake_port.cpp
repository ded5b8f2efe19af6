#include "fake_port.h"

#include <doctest/doctest.h>

#include <cstdio>

namespace {

FakePort fake;
const HANDLE FAKE_ACCESS_HANDLE = reinterpret_cast<HANDLE>(0x5151);

void Record(PortOp op, unsigned address = 0, unsigned value = 0)
{
    fake.events.push_back({op, address, value});
    if (fake.onEvent)
        fake.onEvent(fake.events.back());
}

} // namespace

FakePort& Fake()
{
    return fake;
}

void ResetFake()
{
    fake = FakePort{};
}

HANDLE OpenPortAccess(PortAccessReport*)
{
    Record(PortOp::OpenAccess);
    return fake.accessGranted ? FAKE_ACCESS_HANDLE : INVALID_HANDLE_VALUE;
}

void ClosePortAccess(HANDLE access)
{
    CHECK(access == FAKE_ACCESS_HANDLE);
    Record(PortOp::CloseAccess);
}

unsigned ReadPortByte(std::uint16_t address)
{
    const size_t index = fake.statusReads++;
    const unsigned value =
        index < fake.statusScript.size() ? fake.statusScript[index] : fake.idleStatus;
    Record(PortOp::In, address, value);
    return value;
}

void WritePortByte(std::uint16_t address, unsigned value)
{
    Record(PortOp::Out, address, value);
}

void PausePort(unsigned milliseconds)
{
    fake.clockMs += milliseconds;
    Record(PortOp::Pause, 0, milliseconds);
}

DWORD PunchClockMs()
{
    return fake.clockMs;
}

void RestBetweenReads()
{
    ++fake.clockMs;
    Record(PortOp::Rest);
}

void BeginFineTiming()
{
    Record(PortOp::FineTimingOn);
}

void EndFineTiming()
{
    Record(PortOp::FineTimingOff);
}

std::string DescribeEvent(const PortEvent& event)
{
    char text[40];
    switch (event.op) {
    case PortOp::OpenAccess: return "open port access";
    case PortOp::CloseAccess: return "close port access";
    case PortOp::Rest: return "rest";
    case PortOp::FineTimingOn: return "fine timing on";
    case PortOp::FineTimingOff: return "fine timing off";
    case PortOp::In: std::snprintf(text, sizeof text, "in %03x -> %02x", event.address, event.value); break;
    case PortOp::Out: std::snprintf(text, sizeof text, "out %03x <- %02x", event.address, event.value); break;
    case PortOp::Pause: std::snprintf(text, sizeof text, "pause %u ms", event.value); break;
    }
    return text;
}

void CheckEvents(const std::vector<PortEvent>& expected)
{
    const std::vector<PortEvent>& actual = fake.events;
    for (size_t i = 0; i < expected.size() || i < actual.size(); ++i) {
        const std::string want = i < expected.size() ? DescribeEvent(expected[i]) : "(nothing)";
        const std::string got = i < actual.size() ? DescribeEvent(actual[i]) : "(nothing)";
        if (want != got) {
            FAIL_CHECK("event " << i << ": expected " << want << ", got " << got);
            return;
        }
    }
}

std::vector<unsigned> PunchedBytes()
{
    std::vector<unsigned> bytes;
    unsigned data = 0;
    for (const PortEvent& event : fake.events) {
        if (event.op != PortOp::Out)
            continue;
        const unsigned offset = event.address & 0x3;
        if (offset == DATA_REGISTER)
            data = event.value;
        else if (offset == CONTROL_REGISTER && event.value == 0x00)
            bytes.push_back(data);
    }
    return bytes;
}
