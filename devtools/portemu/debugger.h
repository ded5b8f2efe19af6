// The debugger: runs the program and hands each in/out it traps to a handler.
// It watches the program open \\.\giveio, before which Windows refuses
// port I/O.
#pragma once

#include "io_decode.h"

#include <windows.h>

#include <cstdint>

// An address in the program. The kit's programs are 32-bit; the tests also
// run an x86-64 build of everything on machines that cannot run 32-bit code.
using Address = DWORD_PTR;

// One in/out instruction the program stopped at.
struct Trap {
    Address address;
    const IoInstruction* io;
    unsigned port;
    bool granted;  // giveio was opened, or InpOut32's DLL does it: the port I/O is let through
    LONGLONG ticks;          // performance counter when the trap arrived
    LONGLONG heldTicks;      // the thread's time held stopped at its earlier traps
    LONGLONG programStart;   // performance counter when the program started
    DWORD thread;
};

// Carries out a trapped access: value is the byte written, or receives the
// byte read. False when the port refuses it: a read then reads all ones.
// Without giveio the program gets its exception whatever this returns.
typedef bool (*TrapHandler)(const Trap& trap, std::uint8_t& value, void* context);

// Starts argv[first] with the arguments after it, for debugging. False,
// having said why, when it cannot be started.
bool StartProgram(int argc, wchar_t** argv, int first);

// Runs the started program to its end and gives its exit code. False when
// the debugger itself failed.
bool RunDebugLoop(TrapHandler handle, void* context, DWORD& exitCode);
