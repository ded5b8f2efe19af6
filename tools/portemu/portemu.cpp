// portemu: runs an unmodified Windows program as its debugger and emulates
// the program's parallel-port I/O, with one Facit 4070 punch on LPT1 and one
// on LPT2, so the real program can be tested without hardware.
//
// In user mode every in/out raises EXCEPTION_PRIV_INSTRUCTION. We decode the
// instruction, do what the port would have done, step over it and let the
// program go on. Whatever a real port and punch would not allow is an error:
// it is reported and fails the run. An access the port refuses is stepped
// over so that the run still ends; port I/O before giveio was opened gets
// the exception that Windows would give.

#include "tape_row.h"
#include "tool_common.h"
#include "trace.h"
#include "version.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <unordered_map>

namespace {

constexpr int EXIT_EMULATION_ERROR = 97;
constexpr int EXIT_NOT_STARTED = 98;
constexpr int EXIT_USAGE = 99;

constexpr unsigned long long NEVER = ~0ULL;

const char USAGE[] =
    "usage: portemu [OPTIONS] -- PROGRAM.exe [ARGS...]\n"
    "       portemu --help | --version\n";

const char HELP[] =
    "Runs PROGRAM as its debugger and carries out its port I/O on an emulated\n"
    "LPT1 (378h) and LPT2 (278h), each with a Facit 4070 punch on it.\n"
    "  --busy-ms N       the punch holds BUSY for N ms after each byte (0)\n"
    "  --stuck-after N   the punch holds BUSY for good after N bytes\n"
    "  --busy-window FROM-TO\n"
    "                    the punches hold BUSY from FROM to TO ms after the\n"
    "                    program started, as if switched off for that while\n"
    "  --absent lpt1|lpt2\n"
    "                    no port at that address: every register reads FFh\n"
    "                    and writes go nowhere (may be given twice)\n"
    "  --trace FILE      every register access, with its time in microseconds\n"
    "  --punched FILE    every byte the punch took\n"
    "  --live            each row to stdout as the punch takes its byte\n"
    "Errors, as a real port and punch would have them: each is written to\n"
    "stderr and to the trace as an ERROR line, and makes portemu exit with 97.\n"
    "  - port I/O before the program has opened \\\\.\\giveio (Windows raises a\n"
    "    privileged-instruction exception; the program gets it here too)\n"
    "  - a STROBE release while the punch holds BUSY: the byte is not punched\n"
    "  - the byte written less than 12 ms after the blank data lines (the\n"
    "    first data write after STROBE went low), or STROBE low again less than\n"
    "    1 ms after a release. A pause is timed from trap to trap, less the\n"
    "    time portemu held that thread stopped at its traps. What is left of a\n"
    "    trap's delay (0.2 to 1 ms under Wine) only lengthens a pause, so the\n"
    "    tolerance, 0.1 ms, only covers the clocks; a pause short by less than\n"
    "    that delay can pass unseen\n"
    "  - anything but 8-bit in/out through dx, or a port other than the\n"
    "    three registers of the two ports\n"
    "A present port reads as a standard one: data gives the last byte written,\n"
    "control the bits 0-4 written with bits 5-7 reading 1, status the punch\n"
    "(7Fh ready, FFh busy); a write to status is ignored.\n"
    "Exit code: PROGRAM's own, 97 after an error, 98 when PROGRAM could not be\n"
    "run, 99 for a wrong command line.\n";

struct Options {
    unsigned long long busyMs = 0;
    unsigned long long stuckAfter = NEVER;
    // BUSY held from busyFrom to busyTo ms after the program started.
    unsigned long long busyFrom = NEVER;
    unsigned long long busyTo = NEVER;
    bool absent[2] = {};  // LPT1, LPT2
    bool live = false;
    const char* tracePath = nullptr;
    const char* punchedPath = nullptr;
    int programIndex = 0;  // argv index of PROGRAM
};

// ---- Output files ---------------------------------------------------------

// Output collected in memory and written in large pieces: the debug loop
// must not pay for a system call per trace line.
struct OutputFile {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string buffer;
};

constexpr std::size_t OUTPUT_CHUNK = 64 * 1024;

// A null path means the output was not asked for.
bool OpenOutput(OutputFile& out, const char* path)
{
    if (!path)
        return true;
    out.file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out.file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "portemu: cannot create %s (error %lu)\n", path, GetLastError());
        return false;
    }
    out.buffer.reserve(2 * OUTPUT_CHUNK);
    return true;
}

void WriteOutput(OutputFile& out)
{
    DWORD written = 0;
    if (!out.buffer.empty())
        WriteFile(out.file, out.buffer.data(), static_cast<DWORD>(out.buffer.size()), &written,
                  nullptr);
    out.buffer.clear();
}

void Append(OutputFile& out, const char* bytes, std::size_t count)
{
    if (out.file == INVALID_HANDLE_VALUE)
        return;
    out.buffer.append(bytes, count);
    if (out.buffer.size() >= OUTPUT_CHUNK)
        WriteOutput(out);
}

void CloseOutput(OutputFile& out)
{
    if (out.file == INVALID_HANDLE_VALUE)
        return;
    WriteOutput(out);
    CloseHandle(out.file);
    out.file = INVALID_HANDLE_VALUE;
}

// ---- Trace ----------------------------------------------------------------

// Reads in a polling loop come by the thousand: a run of reads of one port
// that return the same value is held back and written as a single line.
struct Trace {
    OutputFile out;
    bool readPending = false;
    TraceLine pending = {};
};

void AppendLine(Trace& trace, const TraceLine& line)
{
    char text[64];
    const int length = FormatTraceLine(line, text, sizeof text);
    Append(trace.out, text, static_cast<std::size_t>(length));
}

void WritePendingRead(Trace& trace)
{
    if (!trace.readPending)
        return;
    AppendLine(trace, trace.pending);
    trace.readPending = false;
}

void TraceAccess(Trace& trace, unsigned long long micros, bool isIn, unsigned port, unsigned value)
{
    TraceLine& pending = trace.pending;
    if (isIn && trace.readPending && pending.port == port && pending.value == value) {
        ++pending.repeats;
        return;
    }
    WritePendingRead(trace);
    const TraceLine line = {micros, isIn, port, value, 1};
    if (isIn) {
        trace.readPending = true;
        pending = line;
        return;
    }
    AppendLine(trace, line);
}

void TraceError(Trace& trace, const char* text)
{
    WritePendingRead(trace);
    char line[256];
    int length = FormatTraceError(text, line, sizeof line);
    Append(trace.out, line, static_cast<std::size_t>(length));
}

void CloseTrace(Trace& trace)
{
    WritePendingRead(trace);
    CloseOutput(trace.out);
}

// ---- Punch model ------------------------------------------------------------

constexpr unsigned DATA_REGISTER = 0;
constexpr unsigned STATUS_REGISTER = 1;
constexpr unsigned CONTROL_REGISTER = 2;

constexpr unsigned STROBE_BIT = 0x01;
// Every bit but BUSY set while idle, so a program that looks at more than
// bit 7 shows up in the tests.
constexpr std::uint8_t STATUS_IDLE = 0x7F;
constexpr std::uint8_t STATUS_BUSY = 0xFF;
// A standard port reads back control bits 0-4 as written; bits 5-7 read 1.
constexpr std::uint8_t CONTROL_WRITTEN_BITS = 0x1F;
constexpr std::uint8_t CONTROL_UNUSED_BITS = 0xE0;
// An address where no port answers reads all ones.
constexpr std::uint8_t NOTHING_THERE = 0xFF;

// The handshake's minimum pauses, and how much shorter a measured one may be.
// A pause is timed from one access's trap to the next's, less the time we
// held that thread stopped at its own traps in between. What is left of a
// trap's delay, its way into and out of the debugger, only ever lengthens a
// pause (so a skipped pause can pass unseen on a loaded machine), and so
// does the time the thread stood still for another thread's event, which
// is not taken off: a sleeping thread's timer runs on meanwhile. The
// tolerance has only the clocks to cover: Sleep's timer against the
// performance counter.
constexpr double BLANK_MS = 12.0;
constexpr double AFTER_BYTE_MS = 1.0;
constexpr double TIMING_TOLERANCE_MS = 0.1;

constexpr LONGLONG NO_TICK = -1;

// When an access happened, on the wall clock and on its thread's.
struct Moment {
    LONGLONG wall = NO_TICK;
    LONGLONG held = 0;  // the thread's time stopped at its own traps so far
    DWORD thread = 0;
};

struct Punch {
    std::uint8_t data = 0x00;
    std::uint8_t control = 0x00;
    unsigned long long latched = 0;
    LONGLONG busyUntil = 0;          // performance-counter ticks
    Moment blankAt;                  // first data write since STROBE went low
    Moment releasedAt;               // the last STROBE release
};

struct Emulator {
    Options options;
    LONGLONG frequency = 1;
    LONGLONG start = 0;
    LONGLONG programStart = 0;
    LONGLONG busyTicks = 0;
    Punch punches[2];  // LPT1, LPT2
    // Each thread's time stopped while we handled its own debug events, and
    // the thread of the event in hand.
    std::unordered_map<DWORD, LONGLONG> heldTicks;
    DWORD thread = 0;
    bool shownHeader = false;
    Trace trace;
    OutputFile punched;
    bool failed = false;
};

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

unsigned long long MicrosSinceStart(const Emulator& emu, LONGLONG now)
{
    unsigned long long ticks = static_cast<unsigned long long>(now - emu.start);
    unsigned long long frequency = static_cast<unsigned long long>(emu.frequency);
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

double Milliseconds(const Emulator& emu, LONGLONG from, LONGLONG to)
{
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(emu.frequency);
}

bool IsBusy(const Emulator& emu, const Punch& punch, LONGLONG now)
{
    const double sinceStart = Milliseconds(emu, emu.programStart, now);
    const bool inWindow = emu.options.busyFrom != NEVER
                          && sinceStart >= static_cast<double>(emu.options.busyFrom)
                          && sinceStart < static_cast<double>(emu.options.busyTo);
    return inWindow || punch.latched >= emu.options.stuckAfter || now < punch.busyUntil;
}

std::uint8_t ReadRegister(const Emulator& emu, const Punch& punch, unsigned reg, LONGLONG now)
{
    switch (reg) {
    case DATA_REGISTER: return punch.data;
    case STATUS_REGISTER: return IsBusy(emu, punch, now) ? STATUS_BUSY : STATUS_IDLE;
    default: return (punch.control & CONTROL_WRITTEN_BITS) | CONTROL_UNUSED_BITS;
    }
}

Moment MomentOf(Emulator& emu, LONGLONG now)
{
    return {now, emu.heldTicks[emu.thread], emu.thread};
}

// Describes in fault a pause shorter than the punch needs.
void CheckPause(Emulator& emu, const Moment& from, LONGLONG now, double minimumMs,
                const char* what, std::string& fault)
{
    if (from.wall == NO_TICK)
        return;
    const Moment to = MomentOf(emu, now);
    const LONGLONG held = from.thread == to.thread ? to.held - from.held : 0;
    const double ms = Milliseconds(emu, from.wall, to.wall - held);
    if (ms >= minimumMs - TIMING_TOLERANCE_MS)
        return;
    char text[128];
    std::snprintf(text, sizeof text, "%s: %.2f ms, less than %g ms", what, ms, minimumMs);
    fault = text;
}

// The byte is the second data write after STROBE went low, 12 ms after the
// first (the blank 0xFF).
void WriteData(Emulator& emu, Punch& punch, std::uint8_t value, LONGLONG now, std::string& fault)
{
    punch.data = value;
    if (!(punch.control & STROBE_BIT))
        return;
    if (punch.blankAt.wall == NO_TICK) {
        punch.blankAt = MomentOf(emu, now);
        return;
    }
    CheckPause(emu, punch.blankAt, now, BLANK_MS, "blank data lines held before the byte",
               fault);
}

// The row as the tape will show it, the moment the punch takes the byte.
void ShowRow(Emulator& emu, const Punch& punch)
{
    char row[64];
    if (!emu.shownHeader) {
        TapeRowHeader(row, sizeof row);
        std::printf("port %s", row);
    }
    emu.shownHeader = true;
    TapeRowText(static_cast<unsigned long>(punch.latched), punch.data, row, sizeof row);
    std::printf("%s %s", &punch == &emu.punches[0] ? "LPT1" : "LPT2", row);
    std::fflush(stdout);
}

// The punch takes the data byte when STROBE is released, control bit 0 going
// from 1 to 0, unless it is busy: then the byte is lost. STROBE goes low
// again for the next byte no sooner than 1 ms after a release.
void WriteControl(Emulator& emu, Punch& punch, std::uint8_t value, LONGLONG now,
                  std::string& fault)
{
    const bool pulled = !(punch.control & STROBE_BIT) && (value & STROBE_BIT);
    const bool released = (punch.control & STROBE_BIT) && !(value & STROBE_BIT);
    punch.control = value;
    if (pulled) {
        punch.blankAt = Moment();
        CheckPause(emu, punch.releasedAt, now, AFTER_BYTE_MS,
                   "pause from a STROBE release to STROBE low again", fault);
    }
    if (!released)
        return;
    punch.releasedAt = MomentOf(emu, now);
    if (IsBusy(emu, punch, now)) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "STROBE released while the punch is busy: byte %02x not punched",
                      punch.data);
        fault = text;
        return;
    }
    Append(emu.punched, reinterpret_cast<const char*>(&punch.data), 1);
    if (emu.options.live)
        ShowRow(emu, punch);
    ++punch.latched;
    if (emu.busyTicks > 0)
        punch.busyUntil = now + emu.busyTicks;
}

// One 8-bit access through dx: value is the byte written, or receives the
// byte read. Returns why the port refuses the access, or null; an access
// that is carried out but breaks the handshake is described in fault.
const char* EmulateAccess(Emulator& emu, unsigned port, bool isIn, std::uint8_t& value,
                          LONGLONG now, std::string& fault)
{
    const int index = (port & ~3u) == 0x378 ? 0 : (port & ~3u) == 0x278 ? 1 : -1;
    const unsigned reg = port & 3u;
    if (index < 0 || reg > CONTROL_REGISTER)
        return "port not emulated";
    Punch& punch = emu.punches[index];
    if (emu.options.absent[index]) {
        if (isIn)
            value = NOTHING_THERE;
    } else if (isIn) {
        value = ReadRegister(emu, punch, reg, now);
    } else if (reg == DATA_REGISTER) {
        WriteData(emu, punch, value, now, fault);
    } else if (reg == CONTROL_REGISTER) {
        WriteControl(emu, punch, value, now, fault);
    }  // a write to status goes nowhere, as on a real port
    TraceAccess(emu.trace, MicrosSinceStart(emu, now), isIn, port, value);
    return nullptr;
}

// ---- Instruction decoding -----------------------------------------------

// An address in the program. The kit's programs are 32-bit; the tests also
// run an x86-64 build of everything on machines that cannot run 32-bit code.
using Address = DWORD_PTR;

// The registers the debugger reads and sets, by the program's architecture.
#ifdef _WIN64
using Register = DWORD64;
Register& InstructionPointer(CONTEXT& context) { return context.Rip; }
Register& Accumulator(CONTEXT& context) { return context.Rax; }
Register DataRegister(const CONTEXT& context) { return context.Rdx; }
Register StackPointer(const CONTEXT& context) { return context.Rsp; }
#else
using Register = DWORD;
Register& InstructionPointer(CONTEXT& context) { return context.Eip; }
Register& Accumulator(CONTEXT& context) { return context.Eax; }
Register DataRegister(const CONTEXT& context) { return context.Edx; }
Register StackPointer(const CONTEXT& context) { return context.Esp; }
#endif

enum class IoForm { ThroughDx, Immediate, String };

struct IoInstruction {
    IoForm form = IoForm::ThroughDx;
    bool isIn = false;
    unsigned width = 1;  // bytes moved per transfer
    bool sizePrefix = false;
    bool rep = false;
    std::uint8_t immediate = 0;
    unsigned length = 0;
};

bool IsPrefix(std::uint8_t byte)
{
    switch (byte) {
    case 0x66: case 0x67: case 0xF0: case 0xF2: case 0xF3:
    case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:
        return true;
    default:
        return false;
    }
}

// Decodes the I/O instructions (E4-E7, EC-EF, 6C-6F). Returns false for
// anything else, which is then not ours to handle.
bool DecodeIo(const std::uint8_t* code, std::size_t available, IoInstruction& io)
{
    std::size_t at = 0;
    while (at < available && IsPrefix(code[at])) {
        io.sizePrefix |= code[at] == 0x66;
        io.rep |= code[at] == 0xF3 || code[at] == 0xF2;
        ++at;
    }
    if (at >= available)
        return false;
    std::uint8_t opcode = code[at++];
    unsigned wide = io.sizePrefix ? 2 : 4;
    if ((opcode & 0xF4) == 0xE4) {  // E4-E7 and EC-EF
        io.isIn = !(opcode & 0x02);
        io.width = (opcode & 0x01) ? wide : 1;
        if (!(opcode & 0x08)) {
            if (at >= available)
                return false;
            io.form = IoForm::Immediate;
            io.immediate = code[at++];
        }
    } else if ((opcode & 0xFC) == 0x6C) {  // ins, outs
        io.form = IoForm::String;
        io.isIn = !(opcode & 0x02);
        io.width = (opcode & 0x01) ? wide : 1;
    } else {
        return false;
    }
    io.length = static_cast<unsigned>(at);
    return true;
}

// Only `in al, dx` and `out dx, al` are what the program may use.
const char* FormProblem(const IoInstruction& io)
{
    if (io.form == IoForm::Immediate)
        return "immediate port number";
    if (io.form == IoForm::String)
        return "string I/O";
    if (io.width != 1)
        return "wider than 8 bits";
    if (io.sizePrefix)
        return "operand-size prefix";
    return nullptr;
}

void DescribeForm(const IoInstruction& io, char* text, std::size_t size)
{
    const char* reg = io.width == 1 ? "al" : io.width == 2 ? "ax" : "eax";
    char suffix = io.width == 1 ? 'b' : io.width == 2 ? 'w' : 'd';
    const char* prefix = io.sizePrefix && io.width == 1 ? "66 " : "";
    char port[8];
    if (io.form == IoForm::Immediate)
        std::snprintf(port, sizeof port, "0x%02x", io.immediate);
    else
        std::snprintf(port, sizeof port, "dx");

    if (io.form == IoForm::String)
        std::snprintf(text, size, "%s%s%c", io.rep ? "rep " : "", io.isIn ? "ins" : "outs", suffix);
    else if (io.isIn)
        std::snprintf(text, size, "%sin %s, %s", prefix, reg, port);
    else
        std::snprintf(text, size, "%sout %s, %s", prefix, port, reg);
}

void ReportError(Emulator& emu, Address address, const IoInstruction& io, unsigned port,
                 const char* problem)
{
    char form[32];
    DescribeForm(io, form, sizeof form);
    char text[224];
    std::snprintf(text, sizeof text, "at %08llx: %s, port %03x: %s",
                  static_cast<unsigned long long>(address), form, port, problem);
    std::fprintf(stderr, "portemu: ERROR %s\n", text);
    TraceError(emu.trace, text);
    emu.failed = true;
}

// ---- Debug loop ---------------------------------------------------------


// The breakpoints are int3 bytes written over the program's code.
constexpr std::uint8_t INT3 = 0xCC;
constexpr DWORD TRAP_FLAG = 0x100;

struct Debuggee {
    HANDLE process = nullptr;
    std::unordered_map<DWORD, HANDLE> threads;  // by thread id
    // Decoded instructions by address: reading the program's memory is the
    // dearest step under Wine, and a polling loop hits one address.
    std::unordered_map<Address, IoInstruction> decoded;
    bool initialBreakpointSeen = false;
    // giveio grants port I/O to a process once it has opened the device.
    bool accessGranted = false;
    Address createFile = 0;                           // ntdll!NtCreateFile in the program
    std::unordered_map<DWORD, Address> giveioReturns; // thread id -> return address
    std::unordered_map<Address, std::uint8_t> breakpoints;  // address -> byte replaced
    std::unordered_map<DWORD, Address> rearm;         // thread id -> breakpoint to put back
};

std::size_t ReadCode(HANDLE process, Address address, std::uint8_t* code, std::size_t size)
{
    SIZE_T got = 0;
    const void* at = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address));
    if (ReadProcessMemory(process, at, code, size, &got))
        return got;
    // The instruction ends before an unmapped page: read only up to it.
    std::size_t toPageEnd = 0x1000 - (address & 0xFFF);
    if (toPageEnd < size && ReadProcessMemory(process, at, code, toPageEnd, &got))
        return got;
    return 0;
}

// Null when the instruction at address is not port I/O.
const IoInstruction* DecodeAt(Debuggee& debuggee, Address address)
{
    auto known = debuggee.decoded.find(address);
    if (known != debuggee.decoded.end())
        return &known->second;
    std::uint8_t code[16];
    IoInstruction io;
    if (!DecodeIo(code, ReadCode(debuggee.process, address, code, sizeof code), io))
        return nullptr;
    return &debuggee.decoded.emplace(address, io).first->second;
}

// ---- Port access: the opening of \\.\giveio ------------------------------
//
// giveio grants port I/O to the process that opens it; before that, every
// in/out faults on Windows. CreateFile reaches the device through ntdll's
// NtCreateFile: a breakpoint there reads the name being opened, and one at
// the call's return address reads its NTSTATUS.

bool ReadMemory(HANDLE process, Address address, void* into, std::size_t size)
{
    SIZE_T got = 0;
    const void* at = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address));
    return ReadProcessMemory(process, at, into, size, &got) && got == size;
}

bool WriteCodeByte(HANDLE process, Address address, std::uint8_t byte)
{
    void* at = reinterpret_cast<void*>(static_cast<std::uintptr_t>(address));
    DWORD protection = 0;
    if (!VirtualProtectEx(process, at, 1, PAGE_EXECUTE_READWRITE, &protection))
        return false;
    SIZE_T written = 0;
    const bool ok = WriteProcessMemory(process, at, &byte, 1, &written) && written == 1;
    VirtualProtectEx(process, at, 1, protection, &protection);
    FlushInstructionCache(process, at, 1);
    return ok;
}

void InsertBreakpoint(Debuggee& debuggee, Address address)
{
    std::uint8_t original = 0;
    if (debuggee.breakpoints.count(address) || !ReadMemory(debuggee.process, address, &original, 1)
        || !WriteCodeByte(debuggee.process, address, INT3))
        return;
    debuggee.breakpoints[address] = original;
}

void RemoveBreakpoint(Debuggee& debuggee, Address address)
{
    auto found = debuggee.breakpoints.find(address);
    if (found == debuggee.breakpoints.end())
        return;
    WriteCodeByte(debuggee.process, address, found->second);
    debuggee.breakpoints.erase(found);
}

// Whether a breakpoint is still needed once the thread that hit it is past.
bool StillWanted(const Debuggee& debuggee, Address address)
{
    if (address == debuggee.createFile)
        return !debuggee.accessGranted;
    for (const auto& pending : debuggee.giveioReturns)
        if (pending.second == address)
            return true;
    return false;
}

// The module's own name from its export directory; "" when it has none.
std::string ModuleName(HANDLE process, Address base)
{
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS nt;
    IMAGE_EXPORT_DIRECTORY exports;
    char name[16] = {};
    if (!ReadMemory(process, base, &dos, sizeof dos)
        || !ReadMemory(process, base + dos.e_lfanew, &nt, sizeof nt))
        return "";
    const IMAGE_DATA_DIRECTORY& directory =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0
        || !ReadMemory(process, base + directory.VirtualAddress, &exports, sizeof exports))
        return "";
    ReadMemory(process, base + exports.Name, name, sizeof name - 1);
    return name;
}

// ntdll is the same file in the program as in this process, so NtCreateFile
// lies at the same offset from its base.
void WatchForGiveio(Debuggee& debuggee, Address base)
{
    if (debuggee.createFile || lstrcmpiA(ModuleName(debuggee.process, base).c_str(), "ntdll.dll"))
        return;
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const FARPROC ours = GetProcAddress(ntdll, "NtCreateFile");
    debuggee.createFile = base + (reinterpret_cast<Address>(ours) - reinterpret_cast<Address>(ntdll));
    InsertBreakpoint(debuggee, debuggee.createFile);
}

// At NtCreateFile's entry the return address is on top of the stack, and
// its third argument is the OBJECT_ATTRIBUTES naming the file: on the stack
// above the first two on x86, in r8 on x86-64.
bool OpensGiveio(const Debuggee& debuggee, const CONTEXT& context, Address& returnAddress)
{
    Address stack[4];
    OBJECT_ATTRIBUTES attributes;
    UNICODE_STRING name;
    WCHAR text[16] = {};
    const wchar_t wanted[] = L"\\??\\giveio";
    if (!ReadMemory(debuggee.process, StackPointer(context), stack, sizeof stack))
        return false;
#ifdef _WIN64
    const Address attributesAt = context.R8;
#else
    const Address attributesAt = stack[3];
#endif
    if (!ReadMemory(debuggee.process, attributesAt, &attributes, sizeof attributes)
        || attributes.RootDirectory
        || !ReadMemory(debuggee.process, reinterpret_cast<Address>(attributes.ObjectName), &name,
                       sizeof name)
        || name.Length != sizeof wanted - sizeof(WCHAR)
        || !ReadMemory(debuggee.process, reinterpret_cast<Address>(name.Buffer), text, name.Length))
        return false;
    returnAddress = stack[0];
    return lstrcmpiW(text, wanted) == 0;
}

// A breakpoint of ours was hit: act on it, then let the thread run the
// original instruction, single-stepping it when the breakpoint must go back.
void HitBreakpoint(Debuggee& debuggee, HANDLE thread, DWORD threadId, Address address)
{
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!GetThreadContext(thread, &context))
        return;
    Address returnAddress = 0;
    if (address == debuggee.createFile && OpensGiveio(debuggee, context, returnAddress)) {
        debuggee.giveioReturns[threadId] = returnAddress;
        InsertBreakpoint(debuggee, returnAddress);
    }
    auto pending = debuggee.giveioReturns.find(threadId);
    if (pending != debuggee.giveioReturns.end() && pending->second == address) {
        debuggee.giveioReturns.erase(pending);
        if (static_cast<LONG>(Accumulator(context)) >= 0)  // NT_SUCCESS
            debuggee.accessGranted = true;
    }
    RemoveBreakpoint(debuggee, address);
    InstructionPointer(context) = address;
    if (StillWanted(debuggee, address)) {
        context.EFlags |= TRAP_FLAG;
        debuggee.rearm[threadId] = address;
    }
    SetThreadContext(thread, &context);
    if (debuggee.accessGranted && debuggee.giveioReturns.empty())
        RemoveBreakpoint(debuggee, debuggee.createFile);
}

// ---- Emulating an instruction -------------------------------------------

// Emulates the I/O instruction the thread stopped at. Returns false when it
// is not one, so the exception goes on to the program.
bool EmulateInstruction(Emulator& emu, Debuggee& debuggee, HANDLE thread, Address address,
                        LONGLONG now)
{
    const IoInstruction* decoded = DecodeAt(debuggee, address);
    if (!decoded)
        return false;
    const IoInstruction& io = *decoded;
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!GetThreadContext(thread, &context))
        return false;

    unsigned port = io.form == IoForm::Immediate ? io.immediate : (DataRegister(context) & 0xFFFF);
    if (!debuggee.accessGranted) {
        // Windows refuses it: the program gets its exception.
        ReportError(emu, address, io, port, "port I/O before \\\\.\\giveio was opened");
        return false;
    }
    std::uint8_t value = static_cast<std::uint8_t>(Accumulator(context));
    std::string fault;
    const char* refused = FormProblem(io);
    if (!refused)
        refused = EmulateAccess(emu, port, io.isIn, value, now, fault);
    if (refused) {
        ReportError(emu, address, io, port, refused);
        // A refused read reads all ones; the string forms are only skipped.
        if (io.isIn && io.form != IoForm::String)
            Accumulator(context) |= io.width == 4 ? 0xFFFFFFFFu : io.width == 2 ? 0xFFFFu : 0xFFu;
    } else if (io.isIn) {
        Accumulator(context) = (Accumulator(context) & ~Register(0xFF)) | value;
    }
    if (!fault.empty())
        ReportError(emu, address, io, port, fault.c_str());
    InstructionPointer(context) = address + io.length;
    return SetThreadContext(thread, &context) != 0;
}

DWORD HandleException(Emulator& emu, Debuggee& debuggee, const DEBUG_EVENT& event, LONGLONG now)
{
    const EXCEPTION_DEBUG_INFO& info = event.u.Exception;
    DWORD code = info.ExceptionRecord.ExceptionCode;
    const Address address = reinterpret_cast<Address>(info.ExceptionRecord.ExceptionAddress);
    auto thread = debuggee.threads.find(event.dwThreadId);
    if (thread == debuggee.threads.end())
        return DBG_EXCEPTION_NOT_HANDLED;
    if (code == EXCEPTION_BREAKPOINT && debuggee.breakpoints.count(address)) {
        HitBreakpoint(debuggee, thread->second, event.dwThreadId, address);
        return DBG_CONTINUE;
    }
    auto rearm = debuggee.rearm.find(event.dwThreadId);
    if (code == EXCEPTION_SINGLE_STEP && rearm != debuggee.rearm.end()) {
        if (StillWanted(debuggee, rearm->second))
            InsertBreakpoint(debuggee, rearm->second);
        debuggee.rearm.erase(rearm);
        return DBG_CONTINUE;
    }
    if (code == EXCEPTION_BREAKPOINT && !debuggee.initialBreakpointSeen) {
        // The loader stops every debugged process once before its entry point.
        debuggee.initialBreakpointSeen = true;
        return DBG_CONTINUE;
    }
    if (code == EXCEPTION_PRIV_INSTRUCTION && info.dwFirstChance
        && EmulateInstruction(emu, debuggee, thread->second, address, now))
        return DBG_CONTINUE;
    return DBG_EXCEPTION_NOT_HANDLED;
}

void CloseIfSet(HANDLE file)
{
    if (file)
        CloseHandle(file);
}

// Runs the program to its end and gives its exit code. False when the
// debugger itself failed.
bool RunDebugLoop(Emulator& emu, DWORD& exitCode)
{
    Debuggee debuggee;
    DEBUG_EVENT event;
    for (;;) {
        if (!WaitForDebugEvent(&event, INFINITE)) {
            std::fprintf(stderr, "portemu: waiting for the program failed (error %lu)\n",
                         GetLastError());
            return false;
        }
        const LONGLONG arrived = Now();
        emu.thread = event.dwThreadId;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            emu.programStart = arrived;
            debuggee.process = event.u.CreateProcessInfo.hProcess;
            debuggee.threads[event.dwThreadId] = event.u.CreateProcessInfo.hThread;
            CloseIfSet(event.u.CreateProcessInfo.hFile);
            break;
        case CREATE_THREAD_DEBUG_EVENT:
            debuggee.threads[event.dwThreadId] = event.u.CreateThread.hThread;
            break;
        case EXIT_THREAD_DEBUG_EVENT:
            // The system closes the thread's handle when we continue.
            debuggee.threads.erase(event.dwThreadId);
            emu.heldTicks.erase(event.dwThreadId);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            WatchForGiveio(debuggee, reinterpret_cast<Address>(event.u.LoadDll.lpBaseOfDll));
            CloseIfSet(event.u.LoadDll.hFile);
            break;
        case UNLOAD_DLL_DEBUG_EVENT:
            // Other code may be loaded where the DLL was.
            debuggee.decoded.clear();
            break;
        case EXCEPTION_DEBUG_EVENT:
            status = HandleException(emu, debuggee, event, arrived);
            emu.heldTicks[event.dwThreadId] += Now() - arrived;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            exitCode = event.u.ExitProcess.dwExitCode;
            return true;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
}

// ---- Starting the program --------------------------------------------------

// Quotes one argument so that the C runtime's parser gives it back unchanged.
void AppendArgument(std::string& line, const char* arg)
{
    if (!line.empty())
        line += ' ';
    std::string text(arg);
    if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos) {
        line += text;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes only escape when a quote follows them.
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

bool StartProgram(int argc, char** argv, int first)
{
    std::string line;
    for (int i = first; i < argc; ++i)
        AppendArgument(line, argv[i]);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    // Only the std handles are made inheritable: the output files stay ours.
    for (HANDLE stdHandle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        SetHandleInformation(stdHandle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &started)) {
        std::fprintf(stderr, "portemu: cannot start %s (error %lu)\n", argv[first],
                     GetLastError());
        return false;
    }
    // The debug events bring handles of their own.
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
    return true;
}

// A decimal count up to 2^32 - 1; larger ones make no sense here and could
// overflow the tick arithmetic.
bool ParseCount(const char* text, unsigned long long& count)
{
    unsigned long value = 0;
    if (!ParseNumber(text, 0, 0xFFFFFFFFul, false, value))
        return false;
    count = value;
    return true;
}

// FROM-TO, both counts, FROM before TO.
bool ParseWindow(const char* text, unsigned long long& from, unsigned long long& to)
{
    const char* dash = text ? std::strchr(text, '-') : nullptr;
    if (!dash)
        return false;
    const std::string first(text, dash);
    return ParseCount(first.c_str(), from) && ParseCount(dash + 1, to) && from < to;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--") {
            break;
        } else if (arg == "--busy-ms") {
            if (!ParseCount(value, options.busyMs))
                return false;
        } else if (arg == "--stuck-after") {
            if (!ParseCount(value, options.stuckAfter))
                return false;
        } else if (arg == "--busy-window") {
            if (!ParseWindow(value, options.busyFrom, options.busyTo))
                return false;
        } else if (arg == "--absent" && value && !lstrcmpiA(value, "lpt1")) {
            options.absent[0] = true;
        } else if (arg == "--absent" && value && !lstrcmpiA(value, "lpt2")) {
            options.absent[1] = true;
        } else if (arg == "--live") {
            options.live = true;
            continue;  // takes no value
        } else if (arg == "--trace" && value) {
            options.tracePath = value;
        } else if (arg == "--punched" && value) {
            options.punchedPath = value;
        } else {
            return false;
        }
        ++i;  // the option's value
    }
    options.programIndex = i + 1;
    return options.programIndex < argc;
}

}  // namespace

// Ctrl+C and Ctrl+Break are the program's to handle: the emulator goes on
// until the program ends, and then writes what it recorded.
BOOL WINAPI LeaveBreakToProgram(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

int main(int argc, char** argv)
{
    Emulator emu;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    emu.frequency = frequency.QuadPart;
    emu.start = Now();

    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 2 && first == "--version") {
        std::printf("portemu %s\n", TAPELARK_VERSION);
        return 0;
    }
    if (argc == 2 && first == "--help") {
        std::fputs(USAGE, stdout);
        std::fputs(HELP, stdout);
        return 0;
    }
    if (!ParseOptions(argc, argv, emu.options)) {
        std::fputs(USAGE, stderr);
        return EXIT_USAGE;
    }
    emu.busyTicks = static_cast<LONGLONG>(emu.options.busyMs) * emu.frequency / 1000;

    if (!OpenOutput(emu.trace.out, emu.options.tracePath)
        || !OpenOutput(emu.punched, emu.options.punchedPath))
        return EXIT_NOT_STARTED;

    if (!StartProgram(argc, argv, emu.options.programIndex))
        return EXIT_NOT_STARTED;
    SetConsoleCtrlHandler(LeaveBreakToProgram, TRUE);

    DWORD exitCode = 0;
    bool ok = RunDebugLoop(emu, exitCode);
    CloseTrace(emu.trace);
    CloseOutput(emu.punched);
    if (!ok)
        return EXIT_NOT_STARTED;
    return emu.failed ? EXIT_EMULATION_ERROR : static_cast<int>(exitCode);
}
