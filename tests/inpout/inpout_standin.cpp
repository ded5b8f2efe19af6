// A stand-in for InpOut32's DLL, for the tests: Inp32 and Out32 do the port
// I/O with the processor's own in and out, which the emulated port carries
// out as the real DLL's driver would do it. IsInpOutDriverOpen says 0 when
// TAPELARK_INPOUT_DRIVER is "stopped", as the real one does when its driver
// could not be started.
#include <windows.h>

#include <cstdint>

extern "C" {

__declspec(dllexport) BOOL WINAPI IsInpOutDriverOpen()
{
    char state[16] = "";
    GetEnvironmentVariableA("TAPELARK_INPOUT_DRIVER", state, sizeof state);
    return lstrcmpA(state, "stopped") != 0;
}

__declspec(dllexport) short WINAPI Inp32(short address)
{
    std::uint8_t value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(static_cast<std::uint16_t>(address)));
    return value;
}

__declspec(dllexport) void WINAPI Out32(short address, short value)
{
    __asm__ __volatile__("outb %b0, %w1"
                         :
                         : "a"(static_cast<std::uint8_t>(value)),
                           "Nd"(static_cast<std::uint16_t>(address)));
}

} // extern "C"
