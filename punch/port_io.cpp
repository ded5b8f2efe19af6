// The port's registers through `in` and `out`, and the giveio open.
#include "port_io.h"

HANDLE OpenPortAccess()
{
    // Only the opening matters: giveio grants the process I/O permission
    // when its device is opened; nothing is ever read or written through it.
    return CreateFileA("\\\\.\\giveio", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void ClosePortAccess(HANDLE access)
{
    CloseHandle(access);
}

unsigned ReadPortByte(std::uint16_t address)
{
    std::uint8_t value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(address));
    return value;
}

void WritePortByte(std::uint16_t address, unsigned value)
{
    __asm__ __volatile__("outb %b0, %w1" : : "a"(static_cast<std::uint8_t>(value)), "Nd"(address));
}
