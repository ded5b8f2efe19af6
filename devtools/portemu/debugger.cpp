// The debugger's loop: follows the program's debug events, steps over each in/out.
// It starts the program, hands each trapped in/out to the port and steps
// over it afterwards.
//
// In user mode every in/out raises EXCEPTION_PRIV_INSTRUCTION. An access
// the port refuses is stepped over so that the run still ends; port I/O
// before giveio was opened gets the exception that Windows would give.
#include "debuggee.h"

#include <cstdio>
#include <string>

namespace {

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

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

// Hands the I/O instruction the thread stopped at to the port. False when
// it is not one, or when Windows would refuse it: the exception then goes
// on to the program.
bool EmulateInstruction(Debuggee& debuggee, TrapHandler handle, void* handlerContext,
                        const DEBUG_EVENT& event, HANDLE thread, Address address, LONGLONG now)
{
    const IoInstruction* io = DecodeAt(debuggee, address);
    if (!io)
        return false;
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!GetThreadContext(thread, &context))
        return false;
    const unsigned port =
        io->form == IoForm::Immediate ? io->immediate : (DataRegister(context) & 0xFFFF);
    const Trap trap = {address, io, port, MayDoPortIo(debuggee, address), now,
                       debuggee.heldTicks[event.dwThreadId], debuggee.programStart,
                       event.dwThreadId};
    std::uint8_t value = static_cast<std::uint8_t>(Accumulator(context));
    const bool carriedOut = handle(trap, value, handlerContext);
    if (!trap.granted)
        return false;
    if (!carriedOut) {
        // A refused read reads all ones; the string forms are only skipped.
        if (io->isIn && io->form != IoForm::String)
            Accumulator(context) |= io->width == 4 ? 0xFFFFFFFFu : io->width == 2 ? 0xFFFFu : 0xFFu;
    } else if (io->isIn) {
        Accumulator(context) = (Accumulator(context) & ~Register(0xFF)) | value;
    }
    InstructionPointer(context) = address + io->length;
    return SetThreadContext(thread, &context) != 0;
}

DWORD HandleException(Debuggee& debuggee, TrapHandler handle, void* handlerContext,
                      const DEBUG_EVENT& event, LONGLONG now)
{
    const EXCEPTION_DEBUG_INFO& info = event.u.Exception;
    const DWORD code = info.ExceptionRecord.ExceptionCode;
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
        Rearm(debuggee, rearm->second);
        debuggee.rearm.erase(rearm);
        return DBG_CONTINUE;
    }
    if (code == EXCEPTION_BREAKPOINT && !debuggee.initialBreakpointSeen) {
        // The loader stops every debugged process once before its entry point.
        debuggee.initialBreakpointSeen = true;
        return DBG_CONTINUE;
    }
    if (code == EXCEPTION_PRIV_INSTRUCTION && info.dwFirstChance
        && EmulateInstruction(debuggee, handle, handlerContext, event, thread->second, address,
                              now))
        return DBG_CONTINUE;
    return DBG_EXCEPTION_NOT_HANDLED;
}

void CloseIfSet(HANDLE file)
{
    if (file)
        CloseHandle(file);
}

// Quotes one argument so that the C runtime's parser gives it back unchanged.
void AppendArgument(std::wstring& line, const wchar_t* arg)
{
    if (!line.empty())
        line += L' ';
    const std::wstring text(arg);
    if (!text.empty() && text.find_first_of(L" \t\"") == std::wstring::npos) {
        line += text;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes only escape when a quote follows them.
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

} // namespace

bool StartProgram(int argc, wchar_t** argv, int first)
{
    std::wstring line;
    for (int i = first; i < argc; ++i)
        AppendArgument(line, argv[i]);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    // Only the std handles are made inheritable: the output files stay ours.
    for (HANDLE stdHandle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        SetHandleInformation(stdHandle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &started)) {
        std::fprintf(stderr, "portemu: cannot start %ls (error %lu)\n", argv[first],
                     GetLastError());
        return false;
    }
    // The debug events bring handles of their own.
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
    return true;
}

bool RunDebugLoop(TrapHandler handle, void* context, DWORD& exitCode)
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
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            debuggee.programStart = arrived;
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
            debuggee.heldTicks.erase(event.dwThreadId);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            WatchForGiveio(debuggee, reinterpret_cast<Address>(event.u.LoadDll.lpBaseOfDll));
            WatchForInpOut(debuggee, reinterpret_cast<Address>(event.u.LoadDll.lpBaseOfDll), true);
            CloseIfSet(event.u.LoadDll.hFile);
            break;
        case UNLOAD_DLL_DEBUG_EVENT:
            // Other code may be loaded where the DLL was.
            debuggee.decoded.clear();
            WatchForInpOut(debuggee, reinterpret_cast<Address>(event.u.UnloadDll.lpBaseOfDll),
                           false);
            break;
        case EXCEPTION_DEBUG_EVENT:
            status = HandleException(debuggee, handle, context, event, arrived);
            debuggee.heldTicks[event.dwThreadId] += Now() - arrived;
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
