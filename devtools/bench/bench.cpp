// Times the real program punching through the emulated port and prints a
// Markdown table: time per byte against the protocol's floor, the emulator's
// own share of the difference, start-up time against a minimal window
// program's, bare and with the program's manifest, peak memory and file size.
#include "app_driver.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int ID_SEND_LPT1 = 1002;
constexpr int ID_PATH = 1003;
constexpr DWORD TRANSFER_TIMEOUT_MS = 180000;
constexpr unsigned EMULATOR_PROBE_BYTES = 300;
constexpr int STARTUP_RUNS = 31;
// A ready punch costs five register accesses a byte.
constexpr double ACCESSES_PER_BYTE = 5;

struct Punch {
    const char* name;
    unsigned busyMs;
};
// A punch that is never busy, and one that needs 1/75 s a character.
constexpr Punch PUNCHES[] = {{"never busy", 0}, {"75 chars/s", 13}};
constexpr unsigned SIZES[] = {1, 64, 1024};

double NowMs()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// From the transfer's first register write to its last, per byte.
double TraceMsPerByte(const std::vector<TraceLine>& trace, unsigned bytes)
{
    if (trace.size() < 2 || bytes == 0)
        return 0;
    return (trace.back().micros - trace.front().micros) / 1000.0 / bytes;
}

// The emulator's cost of one access, seen in a transfer's own trace: the
// median time between two accesses that have no pause and no polling
// between them.
double MsPerAccess(const std::vector<TraceLine>& trace)
{
    std::vector<double> gaps;
    for (size_t i = 1; i < trace.size(); ++i) {
        const TraceLine& a = trace[i - 1];
        const TraceLine& b = trace[i];
        const unsigned base = a.port & ~3u;
        const bool byteHold = !a.isIn && !b.isIn && a.port == base && b.port == base;
        const bool afterLatch = !a.isIn && a.port == base + 2 && a.value == 0x00;
        if (!byteHold && !afterLatch && a.repeats == 1)
            gaps.push_back((b.micros - a.micros) / 1000.0);
    }
    if (gaps.empty())
        return 0;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps[gaps.size() / 2];
}

struct TransferResult {
    bool punchedExactly;
    double msPerByte;
    double msPerAccess;
    SIZE_T peakWorkingSet;
};

// Sends a file of the given size to LPT1 by typing its path and clicking.
TransferResult TimeTransfer(unsigned size, unsigned busyMs)
{
    TransferResult result = {};
    AppRun app;
    const std::string bytes = RandomBytes(size, size);
    const std::string file = TempPath("bench");
    app.files.push_back(file);
    char options[32];
    std::snprintf(options, sizeof options, "--busy-ms %u", busyMs);
    if (!WriteFileBytes(file, bytes) || !StartApp(app, options))
        return result;
    const std::string title = ReadWindowText(app.window);
    WriteWindowText(GetDlgItem(app.window, ID_PATH), file);
    Click(GetDlgItem(app.window, ID_SEND_LPT1));
    // The caption shows progress while the transfer runs and the title again after.
    WaitUntil([&] { return ReadWindowText(app.window) != title; }, 2000);
    WaitUntil([&] { return ReadWindowText(app.window) == title; }, TRANSFER_TIMEOUT_MS);

    if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                     app.appId)) {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(process, &memory, sizeof memory))
            result.peakWorkingSet = memory.PeakWorkingSetSize;
        CloseHandle(process);
    }
    PostMessageA(app.window, WM_CLOSE, 0, 0);
    if (WaitForExit(app) != 0)
        return result;
    result.punchedExactly = ReadFileBytes(app.punched) == bytes;
    const std::vector<TraceLine> trace = ReadTrace(app.trace, nullptr);
    result.msPerByte = TraceMsPerByte(trace, size);
    result.msPerAccess = MsPerAccess(trace);
    return result;
}

// The same register accesses as a transfer, with no pauses: what the
// emulator alone costs per byte.
double EmulatorMsPerByte()
{
    const std::string trace = TempPath("trace");
    const std::string punched = TempPath("punched");
    char arguments[64];
    std::snprintf(arguments, sizeof arguments, "\"%s\" accesses %u",
                  SiblingPath("send_file.exe").c_str(), EMULATOR_PROBE_BYTES);
    const DWORD exitCode = RunProcess(UnderEmulatedPort("", trace, punched, arguments), 60000);
    const double msPerByte =
        exitCode == 0 ? TraceMsPerByte(ReadTrace(trace, nullptr), EMULATOR_PROBE_BYTES) : 0;
    DeleteFileA(trace.c_str());
    DeleteFileA(punched.c_str());
    return msPerByte;
}

struct VisibleWindowSearch {
    DWORD processId;
    bool found;
};

BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM parameter)
{
    VisibleWindowSearch* search = reinterpret_cast<VisibleWindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    search->found = search->found || (processId == search->processId && IsWindowVisible(window));
    return TRUE;
}

// From starting a window program to its window shown, painted and waiting
// for input; then the program is told to quit. 0 when that fails.
double StartupMs(const std::string& program)
{
    PROCESS_INFORMATION started = {};
    const double start = NowMs();
    if (!StartProcess('"' + program + '"', started))
        return 0;
    double ms = 0;
    if (WaitForInputIdle(started.hProcess, WAIT_MS) == 0) {
        ms = NowMs() - start;
        VisibleWindowSearch search = {started.dwProcessId, false};
        EnumWindows(NoteVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            ms = 0;
    }
    PostThreadMessageA(started.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(started.hProcess, WAIT_MS) != WAIT_OBJECT_0)
        TerminateProcess(started.hProcess, 1);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return ms;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

DWORD FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.nFileSizeLow;
}

// The program's start-up against the two minimal window programs', bare and
// themed, in turns so that all see the same machine; one start of each
// first, unmeasured, so that none pays alone for Wine loading its DLLs.
void PrintStartupAndSize()
{
    const std::string programs[] = {SiblingPath("..\\tapelark.exe"),
                                    SiblingPath("minimal_window.exe"),
                                    SiblingPath("minimal_window_themed.exe")};
    std::vector<double> ms[3];
    for (int run = -1; run < STARTUP_RUNS; ++run) {
        for (int i = 0; i < 3; ++i) {
            const double started = StartupMs(programs[i]);
            if (run >= 0)
                ms[i].push_back(started);
        }
    }
    double median[3];
    for (int i = 0; i < 3; ++i)
        median[i] = Median(ms[i]);
    std::printf("- start-up to a painted window, median of %d: tapelark.exe %.0f ms; minimal "
                "window program %.0f ms, ratio %.2f; the same with the program's manifest and "
                "InitCommonControls %.0f ms, ratio %.2f\n",
                STARTUP_RUNS, median[0], median[1], median[1] > 0 ? median[0] / median[1] : 0.0,
                median[2], median[2] > 0 ? median[0] / median[2] : 0.0);
    std::printf("- tapelark.exe: %lu bytes (minimal window programs: %lu and %lu bytes)\n",
                FileSize(programs[0]), FileSize(programs[1]), FileSize(programs[2]));
}

} // namespace

// bench          the transfers through the emulated punch, then start-up
// bench startup  start-up and size only
int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "startup") {
        PrintStartupAndSize();
        return 0;
    }
    bool allExact = true;
    SIZE_T peakWorkingSet = 0;
    std::printf("| punch | bytes | ms per byte | floor (ms) | ratio | emulator (ms per byte) | "
                "emulator's share of the excess |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Punch& punch : PUNCHES) {
        for (unsigned size : SIZES) {
            const TransferResult result = TimeTransfer(size, punch.busyMs);
            allExact = allExact && result.punchedExactly;
            peakWorkingSet = std::max(peakWorkingSet, result.peakWorkingSet);
            // 12 ms of 0xFF, then the longer of the 1 ms pause and the punch's
            // busy time; the first byte finds the punch idle.
            const double floorMs =
                (13.0 * size + (size - 1) * (std::max(punch.busyMs, 1u) - 1.0)) / size;
            const double emulatorMs = ACCESSES_PER_BYTE * result.msPerAccess;
            const double excessMs = result.msPerByte - floorMs;
            std::printf("| %s | %u | %.2f | %.2f | %.2f | %.2f | %.0f%% |%s\n", punch.name, size,
                        result.msPerByte, floorMs, result.msPerByte / floorMs, emulatorMs,
                        excessMs > 0 ? 100.0 * emulatorMs / excessMs : 0.0,
                        result.punchedExactly ? "" : " NOT PUNCHED EXACTLY");
        }
    }
    std::printf("\n");
    std::printf("- the same accesses with no pauses at all: %.2f ms per byte under the emulator\n",
                EmulatorMsPerByte());
    std::printf("- peak working set: %.1f MiB\n", peakWorkingSet / 1048576.0);
    PrintStartupAndSize();
    return allExact ? 0 : 1;
}
