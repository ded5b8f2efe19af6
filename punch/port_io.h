// Direct access to a PC parallel port, in the IBM PC printer-port model:
//
//   base + 0  data     write only: pins 2-9 (D0-D7)
//   base + 1  status   read only: bit 7 presents pin 11 (BUSY), inverted,
//                      so it reads 1 while the line is low; bits 5 and 3
//                      pins 12 (paper end) and 15 (ERROR) as they are
//   base + 2  control  write only: bit 0 drives pin 1 (STROBE), inverted,
//                      so writing 1 pulls the line low
//
// This is the only code that touches the hardware. Tests link a recording
// fake in its place, or run the real one under an emulated port.
#pragma once

#include <windows.h>
#include <cstdint>

using PortBase = std::uint16_t;

constexpr PortBase LPT1_BASE = 0x378;
constexpr PortBase LPT2_BASE = 0x278;

constexpr std::uint16_t DATA_REGISTER = 0;
constexpr std::uint16_t STATUS_REGISTER = 1;
constexpr std::uint16_t CONTROL_REGISTER = 2;

// The two bits of the handshake, each inverted by the port hardware.
constexpr unsigned CONTROL_STROBE = 0x01;  // written 1: pin 1 (STROBE) low
constexpr unsigned STATUS_BUSY = 0x80;     // reads 1: pin 11 (BUSY) low, the punch busy
// STROBE low: the port at rest, between bytes and between transfers; the
// punch takes no byte until STROBE rises.
constexpr unsigned CONTROL_AT_REST = CONTROL_STROBE;
// Two more status lines, not inverted: each bit reads 1 while its pin is
// high. A printer raises pin 12 (paper end) when out of paper and pulls
// pin 15 (ERROR) low on an error; a pin with nothing on it reads high.
constexpr unsigned STATUS_PAPER_END = 0x20;  // pin 12
constexpr unsigned STATUS_ERROR = 0x08;      // pin 15

// The two ways to the registers. giveio lets this process's own in and out
// reach the port; 64-bit Windows cannot load it. There the InpOut32
// library's driver does the I/O for the process, through Inp32 and Out32
// of the library's DLL, which the person installs beside the program.
enum class PortRoute { None, Giveio, InpOut32 };
enum class InpOutState { NotTried, NoDll, NoFunctions, DriverNotOpen, Opened };
#ifdef _WIN64
#define INPOUT_DLL "inpoutx64.dll"
#else
#define INPOUT_DLL "inpout32.dll"
#endif

// Which route OpenPortAccess opened, and why the others did not.
struct PortAccessReport {
    PortRoute route = PortRoute::None;
    DWORD giveioError = 0;  // GetLastError of the failed giveio open
    InpOutState inpOut = InpOutState::NotTried;
    DWORD dllError = 0;     // GetLastError of the failed load of the DLL
};

// From now on OpenPortAccess falls back on InpOut32 where giveio does not
// open. The console tools allow it; the window program keeps giveio only.
void AllowInpOut32();

// Opens the giveio device, whose opening grants this process port I/O, or
// where it does not open and InpOut32 is allowed, the DLL beside the
// program if its driver runs. Returns INVALID_HANDLE_VALUE when neither
// opens. Until ClosePortAccess, the registers go through the route opened.
HANDLE OpenPortAccess(PortAccessReport* report = nullptr);
void ClosePortAccess(HANDLE access);

// One 8-bit `in`; the full byte, widened without sign.
unsigned ReadPortByte(std::uint16_t address);
// One 8-bit `out` of the low 8 bits of value.
void WritePortByte(std::uint16_t address, unsigned value);

