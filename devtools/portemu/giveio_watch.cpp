// The watch on \\.\giveio: breakpoints that tell when the program may do port I/O.
#include "debuggee.h"
#include "port_io.h"

#include <winternl.h>

#include <cstring>
#include <string>

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

namespace {

// The breakpoints are int3 bytes written over the program's code.
constexpr std::uint8_t INT3 = 0xCC;
constexpr DWORD TRAP_FLAG = 0x100;

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

} // namespace

// ntdll is the same file in the program as in this process, so NtCreateFile
// lies at the same offset from its base.
void WatchForGiveio(Debuggee& debuggee, Address base)
{
    if (debuggee.createFile || lstrcmpiA(ModuleName(debuggee.process, base).c_str(), "ntdll.dll"))
        return;
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const FARPROC ours = GetProcAddress(ntdll, "NtCreateFile");
    debuggee.createFile =
        base + (reinterpret_cast<Address>(ours) - reinterpret_cast<Address>(ntdll));
    InsertBreakpoint(debuggee, debuggee.createFile);
}

// InpOut32's driver does the port I/O that its DLL asks for, with or without
// giveio: here the DLL's own in and out stand for it.
void WatchForInpOut(Debuggee& debuggee, Address base, bool loaded)
{
    if (!loaded) {
        if (base == debuggee.inpOutStart)
            debuggee.inpOutStart = debuggee.inpOutEnd = 0;
        return;
    }
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS nt;
    if (lstrcmpiA(ModuleName(debuggee.process, base).c_str(), INPOUT_DLL)
        || !ReadMemory(debuggee.process, base, &dos, sizeof dos)
        || !ReadMemory(debuggee.process, base + dos.e_lfanew, &nt, sizeof nt))
        return;
    debuggee.inpOutStart = base;
    debuggee.inpOutEnd = base + nt.OptionalHeader.SizeOfImage;
}

bool MayDoPortIo(const Debuggee& debuggee, Address address)
{
    return debuggee.accessGranted
           || (address >= debuggee.inpOutStart && address < debuggee.inpOutEnd);
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

void Rearm(Debuggee& debuggee, Address address)
{
    if (StillWanted(debuggee, address))
        InsertBreakpoint(debuggee, address);
}
