// Helpers shared by the Windows test programs: files, child processes and
// the emulated port's register trace.
#pragma once

#include "trace.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

// Paths and texts are UTF-8 in the tests, so that a name in any script
// passes whole; Widen gives them to the wide (...W) calls.
std::wstring Widen(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A file next to the running test program, e.g. "send_file.exe"; the
// shipped programs are one folder up: "..\\portemu.exe".
std::string SiblingPath(const char* name);
// A fresh name in the temporary folder; the file is not created.
std::string TempPath(const char* prefix);

// A folder of its own, so that a file left behind shows; removed with
// what is in it at the end. Names are UTF-8.
struct Folder {
    std::string path;
    explicit Folder(const char* prefix);
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string operator/(const std::string& name) const { return path + "\\" + name; }
    std::set<std::string> Names() const;
};

// A shipped program (a path such as "..\\tapesend.exe") copied into folder
// beside the stand-in for InpOut32's DLL, as a person puts the DLL beside
// the programs; returns the copy's path.
std::string BesideInpOut(const Folder& folder, const char* program);

bool WriteFileBytes(const std::string& path, const std::string& bytes);
// The whole file, or an empty string when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Command lines are UTF-8.
// Starts a process and leaves it running; the caller closes both handles.
bool StartProcess(const std::string& commandLine, PROCESS_INFORMATION& started);
// Runs a process to its end and returns its exit code; a process still
// running after timeoutMs is killed and gives STILL_ACTIVE.
DWORD RunProcess(const std::string& commandLine, DWORD timeoutMs);
// Waits for a process from StartProcess and closes its handles; one still
// running after timeoutMs is killed and gives STILL_ACTIVE.
DWORD FinishProcess(PROCESS_INFORMATION& started, DWORD timeoutMs);

// The same, with what the process wrote to stdout and stderr in output.
DWORD RunProcessCapturing(const std::string& commandLine, DWORD timeoutMs, std::string& output);

// How long a test waits for a program it runs before it takes it as hung.
constexpr DWORD RUN_TIMEOUT_MS = 60000;

// A program built beside the test programs (a path such as
// "..\\tapeprep.exe"), run with arguments to its end, a minute at most:
// its exit code, what it printed, and that in lines.
struct ToolRun {
    DWORD exitCode;
    std::string output;
    std::vector<std::string> lines;
};
ToolRun RunTool(const char* program, const std::string& arguments);
// A path in double quotes, for a command line.
std::string Quoted(const std::string& path);

// The lines of a text, without their line ends, LF or CR LF.
std::vector<std::string> SplitLines(const std::string& text);

// The same pseudo-random bytes for the same count and seed, on every run.
std::string RandomBytes(size_t count, unsigned seed);

// The emulated port's trace file: its accesses, and its other lines (ERROR
// lines) in errors when given. A missing file reads as an empty trace.
std::vector<TraceLine> ReadTrace(const std::string& path, std::vector<std::string>* errors);

// The command line that runs a program under the emulated port, writing the
// trace and the punched bytes to the given files.
std::string UnderEmulatedPort(const std::string& options, const std::string& trace,
                              const std::string& punched, const std::string& program);

// What a run under the emulated port left: portemu's exit code (the
// program's own, or portemu's 97 when the port saw an error), the trace's
// accesses, its ERROR lines and the punched bytes.
struct EmulatedRun {
    DWORD exitCode;
    std::vector<TraceLine> trace;
    std::vector<std::string> errors;
    std::string punched;
};
constexpr DWORD EMULATION_ERROR = 97;

// Runs a command line under the emulated port with the given options.
EmulatedRun RunEmulated(const std::string& options, const std::string& program);

// Checks a trace against the punch handshake for the given bytes on the given
// port: per byte control 01, status reads ending on bit 7 clear, data ff,
// data byte, control 00; control 01 at the end. Returns "" when it matches,
// else a description of the first line that does not.
std::string CheckHandshake(const std::vector<TraceLine>& trace, unsigned base,
                           const std::string& bytes);
