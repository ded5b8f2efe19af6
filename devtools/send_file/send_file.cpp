// Drives the real port layer and transfer, for running under the emulated
// port:
//   send_file send FILE 378|278   sends FILE; the exit code is the outcome
//   send_file probe               one raw read and write; exits with the
//                                 status byte that was read
//   send_file accesses N          the register accesses of N bytes with no
//                                 pauses, to time the emulator on its own;
//                                 STROBE stays released, so that nothing is
//                                 punched and the punch's pauses do not apply
#include "port_io.h"
#include "transfer.h"

#include <cwchar>

// Wide, like the program: FILE may have a name in any script.
int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wcscmp(argv[1], L"send") == 0) {
        const PortBase base = static_cast<PortBase>(std::wcstoul(argv[3], nullptr, 16));
        return static_cast<int>(SendFileToPunch(argv[2], base, nullptr));
    }
    if (argc == 2 && std::wcscmp(argv[1], L"probe") == 0) {
        const HANDLE access = OpenPortAccess();
        if (access == INVALID_HANDLE_VALUE)
            return 1000;
        // Only the low eight bits of a wider value may reach the port.
        WritePortByte(LPT1_BASE + DATA_REGISTER, 0x1A5);
        const unsigned status = ReadPortByte(LPT1_BASE + STATUS_REGISTER);
        ClosePortAccess(access);
        return static_cast<int>(status);
    }
    if (argc == 3 && std::wcscmp(argv[1], L"accesses") == 0) {
        const unsigned long count = std::wcstoul(argv[2], nullptr, 10);
        if (OpenPortAccess() == INVALID_HANDLE_VALUE)
            return 1000;
        for (unsigned long byte = 0; byte < count; ++byte) {
            WritePortByte(LPT1_BASE + CONTROL_REGISTER, 0x00);
            ReadPortByte(LPT1_BASE + STATUS_REGISTER);
            WritePortByte(LPT1_BASE + DATA_REGISTER, 0xFF);
            WritePortByte(LPT1_BASE + DATA_REGISTER, byte & 0xFF);
            WritePortByte(LPT1_BASE + CONTROL_REGISTER, 0x00);
        }
        WritePortByte(LPT1_BASE + CONTROL_REGISTER, 0x01);
        return 0;
    }
    return 2000;
}
