// The debugger's view of the program: threads, breakpoints, the giveio watch.
#pragma once

#include "debugger.h"

#include <unordered_map>

// The registers the debugger reads and sets, by the program's architecture.
#ifdef _WIN64
using Register = DWORD64;
inline Register& InstructionPointer(CONTEXT& context) { return context.Rip; }
inline Register& Accumulator(CONTEXT& context) { return context.Rax; }
inline Register DataRegister(const CONTEXT& context) { return context.Rdx; }
inline Register StackPointer(const CONTEXT& context) { return context.Rsp; }
#else
using Register = DWORD;
inline Register& InstructionPointer(CONTEXT& context) { return context.Eip; }
inline Register& Accumulator(CONTEXT& context) { return context.Eax; }
inline Register DataRegister(const CONTEXT& context) { return context.Edx; }
inline Register StackPointer(const CONTEXT& context) { return context.Esp; }
#endif

struct Debuggee {
    HANDLE process = nullptr;
    std::unordered_map<DWORD, HANDLE> threads;  // by thread id
    // Each thread's time held stopped at its own traps so far.
    std::unordered_map<DWORD, LONGLONG> heldTicks;
    LONGLONG programStart = 0;
    // Decoded instructions by address: reading the program's memory is the
    // dearest step under Wine, and a polling loop hits one address.
    std::unordered_map<Address, IoInstruction> decoded;
    bool initialBreakpointSeen = false;
    // giveio grants port I/O to a process once it has opened the device.
    bool accessGranted = false;
    Address createFile = 0;                                // ntdll!NtCreateFile in the program
    std::unordered_map<DWORD, Address> giveioReturns;      // thread id -> return address
    std::unordered_map<Address, std::uint8_t> breakpoints; // address -> byte replaced
    // Where the InpOut32 DLL lies, whose I/O stands for its driver's.
    Address inpOutStart = 0, inpOutEnd = 0;
    std::unordered_map<DWORD, Address> rearm;              // thread id -> breakpoint to put back
};

bool ReadMemory(HANDLE process, Address address, void* into, std::size_t size);

// ntdll has been loaded at base: watch its NtCreateFile for \\.\giveio.
void WatchForGiveio(Debuggee& debuggee, Address base);
// A DLL has been loaded at base, or unloaded from there: note where the
// InpOut32 DLL lies.
void WatchForInpOut(Debuggee& debuggee, Address base, bool loaded);
// Whether Windows lets the instruction at address do port I/O.
bool MayDoPortIo(const Debuggee& debuggee, Address address);
// A breakpoint of ours was hit: act on it and let the thread go on.
void HitBreakpoint(Debuggee& debuggee, HANDLE thread, DWORD threadId, Address address);
// The thread stepped past a breakpoint that must go back.
void Rearm(Debuggee& debuggee, Address address);
