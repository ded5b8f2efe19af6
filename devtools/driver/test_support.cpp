#include "test_support.h"
#include "port_io.h"

#include <cstdio>
#include <fstream>
#include <sstream>

std::wstring Widen(const std::string& utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    &wide[0], static_cast<int>(wide.size())));
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr));
    return utf8;
}

std::string SiblingPath(const char* name)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

std::string TempPath(const char* prefix)
{
    static unsigned counter = 0;
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    // Wine hands out a finished process's id again: the start time tells
    // this process's files from those of an earlier one with the same id.
    FILETIME started, unused;
    GetProcessTimes(GetCurrentProcess(), &started, &unused, &unused, &unused);
    char name[64];
    std::snprintf(name, sizeof name, "-%lu-%lx-%u.tmp", GetCurrentProcessId(),
                  started.dwLowDateTime, ++counter);
    const std::string path = Utf8(folder) + prefix + name;
    DeleteFileW(Widen(path).c_str());
    return path;
}

Folder::Folder(const char* prefix) : path(TempPath(prefix))
{
    CreateDirectoryW(Widen(path).c_str(), nullptr);
}

Folder::~Folder()
{
    for (const std::string& name : Names())
        DeleteFileW(Widen(*this / name).c_str());
    RemoveDirectoryW(Widen(path).c_str());
}

std::string BesideInpOut(const Folder& folder, const char* program)
{
    const std::string name(program);
    const std::string copy = folder / name.substr(name.find_last_of('\\') + 1);
    CopyFileW(Widen(SiblingPath("inpout\\" INPOUT_DLL)).c_str(),
              Widen(folder / INPOUT_DLL).c_str(), FALSE);
    CopyFileW(Widen(SiblingPath(program)).c_str(), Widen(copy).c_str(), FALSE);
    return copy;
}

std::set<std::string> Folder::Names() const
{
    std::set<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Widen(path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = Utf8(found.cFileName);
        if (name != "." && name != "..")
            names.insert(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(Widen(path).c_str(), std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.good();
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(Widen(path).c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

namespace {

// Starts the process with its stdout and stderr on output when it is given.
bool StartWithOutput(const std::string& commandLine, HANDLE output, PROCESS_INFORMATION& started)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    std::wstring wide = Widen(commandLine);
    if (CreateProcessW(nullptr, &wide[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                       nullptr, &startup, &started))
        return true;
    std::fprintf(stderr, "cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
    return false;
}

DWORD RunToEnd(const std::string& commandLine, DWORD timeoutMs, HANDLE output)
{
    PROCESS_INFORMATION process = {};
    if (!StartWithOutput(commandLine, output, process))
        return ~DWORD{0};
    return FinishProcess(process, timeoutMs);
}

} // namespace

DWORD FinishProcess(PROCESS_INFORMATION& started, DWORD timeoutMs)
{
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(started.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(started.hProcess, &exitCode);
    else
        TerminateProcess(started.hProcess, STILL_ACTIVE);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    started = {};
    return exitCode;
}

bool StartProcess(const std::string& commandLine, PROCESS_INFORMATION& started)
{
    return StartWithOutput(commandLine, nullptr, started);
}

DWORD RunProcess(const std::string& commandLine, DWORD timeoutMs)
{
    return RunToEnd(commandLine, timeoutMs, nullptr);
}

DWORD RunProcessCapturing(const std::string& commandLine, DWORD timeoutMs, std::string& output)
{
    const std::string path = TempPath("output");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot make %s for the output (error %lu)\n", path.c_str(),
                     GetLastError());
        return ~DWORD{0};
    }
    const DWORD exitCode = RunToEnd(commandLine, timeoutMs, file);
    CloseHandle(file);
    output = ReadFileBytes(path);
    DeleteFileA(path.c_str());
    return exitCode;
}

ToolRun RunTool(const char* program, const std::string& arguments)
{
    ToolRun run;
    run.exitCode = RunProcessCapturing(Quoted(SiblingPath(program)) + " " + arguments,
                                       RUN_TIMEOUT_MS, run.output);
    run.lines = SplitLines(run.output);
    return run;
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string RandomBytes(size_t count, unsigned seed)
{
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += static_cast<char>(seed >> 16);
    }
    return bytes;
}

std::string UnderEmulatedPort(const std::string& options, const std::string& trace,
                              const std::string& punched, const std::string& program)
{
    return Quoted(SiblingPath("..\\portemu.exe")) + " " + options + " --trace " + Quoted(trace)
           + " --punched " + Quoted(punched) + " -- " + program;
}

namespace {

struct TraceRead {
    std::vector<TraceLine> lines;
    std::vector<std::string>* errors;
};

void KeepTraceLine(const TraceLine* line, const char* text, std::size_t length, void* context)
{
    TraceRead& read = *static_cast<TraceRead*>(context);
    if (line)
        read.lines.push_back(*line);
    else if (read.errors)
        read.errors->emplace_back(text, length);
}

} // namespace

std::vector<TraceLine> ReadTrace(const std::string& path, std::vector<std::string>* errors)
{
    const std::string text = ReadFileBytes(path);
    TraceRead read = {{}, errors};
    ForEachTraceLine(text.data(), text.size(), KeepTraceLine, &read);
    return read.lines;
}

EmulatedRun RunEmulated(const std::string& options, const std::string& program)
{
    const std::string trace = TempPath("trace");
    const std::string punched = TempPath("punched");
    EmulatedRun run;
    run.exitCode = RunProcess(UnderEmulatedPort(options, trace, punched, program), RUN_TIMEOUT_MS);
    run.trace = ReadTrace(trace, &run.errors);
    run.punched = ReadFileBytes(punched);
    DeleteFileA(trace.c_str());
    DeleteFileA(punched.c_str());
    return run;
}

namespace {

std::string Describe(const TraceLine& line)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s %03x %02x", line.isIn ? "in" : "out", line.port,
                  line.value);
    return text;
}

} // namespace

std::string CheckHandshake(const std::vector<TraceLine>& trace, unsigned base,
                           const std::string& bytes)
{
    size_t at = 0;
    // Compares the next trace line with one expected write, naming both.
    auto expectOut = [&](unsigned port, unsigned value, const char* step) -> std::string {
        char want[64];
        std::snprintf(want, sizeof want, "out %03x %02x (%s)", port, value, step);
        if (at >= trace.size())
            return "line " + std::to_string(at + 1) + ": expected " + want + ", trace ended";
        const TraceLine& line = trace[at++];
        if (line.isIn || line.port != port || line.value != value)
            return "line " + std::to_string(at) + ": expected " + want + ", got " + Describe(line);
        return "";
    };
    std::string failure;
    for (size_t index = 0; index < bytes.size() && failure.empty(); ++index) {
        const unsigned byte = static_cast<unsigned char>(bytes[index]);
        failure = expectOut(base + 2, 0x01, "control before the byte");
        // Status reads, as many as the punch wants, the last one ready.
        size_t reads = 0;
        while (failure.empty() && at < trace.size() && trace[at].isIn) {
            if (trace[at].port != base + 1)
                failure = "line " + std::to_string(at + 1) + ": read of " + Describe(trace[at]);
            else if ((trace[at].value & 0x80) && (at + 1 >= trace.size() || !trace[at + 1].isIn))
                failure = "line " + std::to_string(at + 1) + ": byte sent while busy";
            ++at;
            ++reads;
        }
        if (failure.empty() && reads == 0)
            failure = "line " + std::to_string(at + 1) + ": no status read before the byte";
        if (failure.empty())
            failure = expectOut(base, 0xFF, "data lines blank");
        if (failure.empty())
            failure = expectOut(base, byte, "the byte");
        if (failure.empty())
            failure = expectOut(base + 2, 0x00, "byte ready");
        if (!failure.empty())
            failure = "byte " + std::to_string(index) + ", " + failure;
    }
    if (failure.empty())
        failure = expectOut(base + 2, 0x01, "at rest after the transfer");
    if (failure.empty() && at != trace.size())
        failure = "line " + std::to_string(at + 1) + ": unexpected " + Describe(trace[at]);
    return failure;
}
