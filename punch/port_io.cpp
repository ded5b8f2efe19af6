// The port's registers through `in` and `out` or InpOut32, and their opening.
#include "port_io.h"

namespace {

// InpOut32's own calls: a register's address and a byte, each in a short.
using InpFunction = short(WINAPI*)(short address);
using OutFunction = void(WINAPI*)(short address, short value);
using DriverOpenFunction = BOOL(WINAPI*)();

bool g_inpOutAllowed = false;
// Set while the InpOut32 route is open: the registers go through its driver.
HMODULE g_inpOut = nullptr;
InpFunction g_inp = nullptr;
OutFunction g_out = nullptr;

template <typename Function>
Function Export(HMODULE dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// From the program's own folder only: a DLL of that name found along the
// search path could be anything, and it gets the port.
HMODULE LoadInpOutBesideProgram(DWORD& error)
{
    wchar_t path[MAX_PATH + sizeof INPOUT_DLL];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        error = length ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return nullptr;
    }
    wchar_t* name = path + length;
    while (name > path && name[-1] != L'\\')
        --name;
    for (const char* c = INPOUT_DLL; (*name++ = static_cast<wchar_t>(*c)) != 0; ++c)
        continue;
    const HMODULE dll = LoadLibraryW(path);
    if (!dll)
        error = GetLastError();
    return dll;
}

InpOutState OpenInpOut(DWORD& dllError)
{
    const HMODULE dll = LoadInpOutBesideProgram(dllError);
    if (!dll)
        return InpOutState::NoDll;
    const auto driverOpen = Export<DriverOpenFunction>(dll, "IsInpOutDriverOpen");
    g_inp = Export<InpFunction>(dll, "Inp32");
    g_out = Export<OutFunction>(dll, "Out32");
    const InpOutState state = !driverOpen || !g_inp || !g_out ? InpOutState::NoFunctions
                              : !driverOpen()                 ? InpOutState::DriverNotOpen
                                                              : InpOutState::Opened;
    if (state == InpOutState::Opened) {
        g_inpOut = dll;
    } else {
        g_inp = nullptr;
        g_out = nullptr;
        FreeLibrary(dll);
    }
    return state;
}

} // namespace

void AllowInpOut32()
{
    g_inpOutAllowed = true;
}

HANDLE OpenPortAccess(PortAccessReport* report)
{
    PortAccessReport unasked;
    if (!report)
        report = &unasked;
    *report = PortAccessReport{};
    // Only the opening matters: giveio grants the process I/O permission
    // when its device is opened; nothing is ever read or written through it.
    const HANDLE giveio = CreateFileA("\\\\.\\giveio", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (giveio != INVALID_HANDLE_VALUE) {
        report->route = PortRoute::Giveio;
        return giveio;
    }
    report->giveioError = GetLastError();
    if (!g_inpOutAllowed)
        return INVALID_HANDLE_VALUE;
    report->inpOut = OpenInpOut(report->dllError);
    if (report->inpOut != InpOutState::Opened)
        return INVALID_HANDLE_VALUE;
    report->route = PortRoute::InpOut32;
    // The DLL stands for the route: closing it frees the DLL.
    return static_cast<HANDLE>(g_inpOut);
}

void ClosePortAccess(HANDLE access)
{
    if (g_inpOut && access == static_cast<HANDLE>(g_inpOut)) {
        g_inp = nullptr;
        g_out = nullptr;
        g_inpOut = nullptr;
        FreeLibrary(static_cast<HMODULE>(access));
        return;
    }
    CloseHandle(access);
}

unsigned ReadPortByte(std::uint16_t address)
{
    if (g_inp)
        return static_cast<unsigned>(g_inp(static_cast<short>(address))) & 0xFF;
    std::uint8_t value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(address));
    return value;
}

void WritePortByte(std::uint16_t address, unsigned value)
{
    if (g_out) {
        g_out(static_cast<short>(address), static_cast<short>(value & 0xFF));
        return;
    }
    __asm__ __volatile__("outb %b0, %w1" : : "a"(static_cast<std::uint8_t>(value)), "Nd"(address));
}
