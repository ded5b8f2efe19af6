// The real port layer and transfer, run by send_file.exe under the emulated
// port and punch, checked from the trace and the punched bytes.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "test_support.h"
#include "transfer.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

EmulatedRun RunUnderEmulatedPort(const std::string& options, const std::string& senderArguments)
{
    return RunEmulated(options, "\"" + SiblingPath("send_file.exe") + "\" " + senderArguments);
}

EmulatedRun SendUnderEmulatedPort(const std::string& bytes, unsigned base,
                                  const std::string& options = "")
{
    const std::string file = TempPath("tape");
    REQUIRE(WriteFileBytes(file, bytes));
    char port[8];
    std::snprintf(port, sizeof port, "%x", base);
    EmulatedRun run = RunUnderEmulatedPort(options, "send \"" + file + "\" " + port);
    DeleteFileA(file.c_str());
    return run;
}

std::vector<unsigned long long> WriteTimes(const std::vector<TraceLine>& trace, unsigned port,
                                           int value = -1)
{
    std::vector<unsigned long long> times;
    for (const TraceLine& line : trace)
        if (!line.isIn && line.port == port && (value < 0 || line.value == unsigned(value)))
            times.push_back(line.micros);
    return times;
}

double Milliseconds(unsigned long long from, unsigned long long to)
{
    return (static_cast<double>(to) - static_cast<double>(from)) / 1000.0;
}

// Prints the smallest, middle and largest of a run's pauses, so that a run's
// output shows how close to the minimum they come.
void PrintSpread(const char* name, std::vector<double> ms)
{
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    std::printf("  %s: min %.3f, median %.3f, max %.3f ms (%zu pauses)\n", name, ms.front(),
                ms[ms.size() / 2], ms.back(), ms.size());
}

// Checks the pauses of a trace whose handshake is already known to be right:
// 0xFF held at least 12 ms before each byte, at least 1 ms from each byte's
// latch to the next control write, and a busy punch waited for. The pauses
// are exact minimums; only the busy wait is allowed half a millisecond.
void CheckPauses(const std::vector<TraceLine>& trace, unsigned base, size_t byteCount,
                 double busyMs)
{
    const auto data = WriteTimes(trace, base);          // 0xFF and the byte, in pairs
    const auto control = WriteTimes(trace, base + 2);   // 01, 00 per byte, 01 at the end
    REQUIRE(data.size() == 2 * byteCount);
    REQUIRE(control.size() == 2 * byteCount + 1);
    std::vector<double> holds, afterLatches;
    for (size_t byte = 0; byte < byteCount; ++byte) {
        INFO("byte " << byte);
        const unsigned long long latch = control[2 * byte + 1];
        holds.push_back(Milliseconds(data[2 * byte], data[2 * byte + 1]));
        afterLatches.push_back(Milliseconds(latch, control[2 * byte + 2]));
        CHECK(holds.back() >= 12.0);
        CHECK(afterLatches.back() >= 1.0);
        if (byte + 1 < byteCount)
            CHECK(Milliseconds(latch, data[2 * byte + 2]) >= busyMs - 0.5);
    }
    PrintSpread("0xFF held before the byte", holds);
    PrintSpread("latch to next control write", afterLatches);
}

// Milliseconds from the first byte's latch to the last's, per byte.
double MillisecondsPerByte(const std::vector<TraceLine>& trace, unsigned base)
{
    const auto latches = WriteTimes(trace, base + 2, 0x00);
    if (latches.size() < 2)
        return 0;
    return Milliseconds(latches.front(), latches.back()) / (latches.size() - 1);
}

} // namespace

TEST_CASE("random bytes are punched exactly, with the exact handshake and pauses")
{
    struct Case {
        unsigned base;
        size_t count;
        unsigned seed;
    };
    for (const Case& c : {Case{0x378, 300, 1}, Case{0x278, 100, 2}}) {
        INFO("port " << std::hex << c.base);
        const std::string bytes = RandomBytes(c.count, c.seed);
        const EmulatedRun run = SendUnderEmulatedPort(bytes, c.base);
        CHECK(run.exitCode == static_cast<DWORD>(TransferOutcome::Sent));
        CHECK(run.errors.empty());
        CHECK(run.punched == bytes);
        CHECK(CheckHandshake(run.trace, c.base, bytes) == "");
        CheckPauses(run.trace, c.base, bytes.size(), 0.0);
        std::printf("port %x: %zu bytes, %.2f ms per byte (floor 13 ms)\n", c.base, bytes.size(),
                    MillisecondsPerByte(run.trace, c.base));
    }
}

TEST_CASE("a busy punch holds every byte back until it is ready")
{
    const std::string bytes = "\x0D\x0A\x1A\xFF busy";
    const EmulatedRun run = SendUnderEmulatedPort(bytes, 0x378, "--busy-ms 20");
    CHECK(run.exitCode == static_cast<DWORD>(TransferOutcome::Sent));
    CHECK(run.punched == bytes);
    CHECK(CheckHandshake(run.trace, 0x378, bytes) == "");
    // Busy for 20 ms after each latch: the next 0xFF waits for it.
    CheckPauses(run.trace, 0x378, bytes.size(), 20.0);
    std::printf("busy 20 ms: %.2f ms per byte (floor 32 ms)\n", MillisecondsPerByte(run.trace, 0x378));
}

TEST_CASE("a port that another program drives is refused, the other port is not")
{
    // The first program punches one byte, then finds the punch busy for
    // long enough to run two more programs.
    const std::string file = TempPath("tape");
    REQUIRE(WriteFileBytes(file, "ab"));
    const std::string trace = TempPath("trace");
    const std::string punched = TempPath("punched");
    PROCESS_INFORMATION first = {};
    REQUIRE(StartProcess(UnderEmulatedPort("--busy-ms 10000", trace, punched,
                                           "\"" + SiblingPath("send_file.exe") + "\" send \"" +
                                               file + "\" 378"),
                         first));
    // The programs keep each other off a port with this mutex: wait until
    // the first one holds it.
    bool held = false;
    for (DWORD start = GetTickCount(); !held && GetTickCount() - start < 20000; Sleep(20)) {
        const HANDLE guard = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\Tapelark.Port.378");
        if (!guard)
            continue;
        const DWORD wait = WaitForSingleObject(guard, 0);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
            ReleaseMutex(guard);
        held = wait == WAIT_TIMEOUT;
        CloseHandle(guard);
    }
    CHECK(held);

    const EmulatedRun refused = SendUnderEmulatedPort("xy", 0x378);
    CHECK(refused.exitCode == static_cast<DWORD>(TransferOutcome::PortNotOpened));
    CHECK(refused.trace.empty());
    CHECK(refused.errors.empty());
    CHECK(refused.punched.empty());
    const EmulatedRun other = SendUnderEmulatedPort("cd", 0x278);
    CHECK(other.exitCode == static_cast<DWORD>(TransferOutcome::Sent));
    CHECK(other.punched == "cd");
    // Both ran while the first program still held its port.
    CHECK(WaitForSingleObject(first.hProcess, 0) == WAIT_TIMEOUT);

    CHECK(FinishProcess(first, RUN_TIMEOUT_MS) == static_cast<DWORD>(TransferOutcome::Sent));
    CHECK(ReadFileBytes(punched) == "ab");
    CHECK(CheckHandshake(ReadTrace(trace, nullptr), 0x378, "ab") == "");
    for (const std::string& path : {file, trace, punched})
        DeleteFileA(path.c_str());
}

TEST_CASE("an empty file only rests the control register")
{
    const EmulatedRun run = SendUnderEmulatedPort("", 0x278);
    CHECK(run.exitCode == static_cast<DWORD>(TransferOutcome::Sent));
    CHECK(run.punched.empty());
    CHECK(CheckHandshake(run.trace, 0x278, "") == "");
}

TEST_CASE("raw port access reads the whole status byte and writes the low eight bits")
{
    const EmulatedRun run = RunUnderEmulatedPort("", "probe");
    // The idle punch's status has every bit but 7 set.
    CHECK(run.exitCode == 0x7F);
    REQUIRE(run.trace.size() == 2);
    CHECK_FALSE(run.trace[0].isIn);
    CHECK(run.trace[0].port == 0x378);
    CHECK(run.trace[0].value == 0xA5);
    CHECK(run.trace[1].isIn);
    CHECK(run.trace[1].port == 0x379);
}

TEST_CASE("without the giveio device no register is touched" * doctest::skip(true))
{
    const EmulatedRun run = SendUnderEmulatedPort("abc", 0x378);
    CHECK(run.exitCode == static_cast<DWORD>(TransferOutcome::PortNotOpened));
    CHECK(run.trace.empty());
    CHECK(run.errors.empty());
    CHECK(run.punched.empty());
    CHECK(RunUnderEmulatedPort("", "probe").exitCode == 1000);
}
