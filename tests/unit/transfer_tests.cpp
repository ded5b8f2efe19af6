#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "transfer_steps.h"

TEST_CASE("one byte on each port follows the handshake exactly")
{
    ResetFake();
    Fake().statusScript = {0xFF, 0x7F};
    CHECK(SendBytes("A", LPT1_BASE) == TransferOutcome::Sent);
    CheckEvents({
        OPEN,
        TIMING_ON,
        Out(0x37A, 0x01),
        In(0x379, 0xFF),
        In(0x379, 0x7F),
        Out(0x378, 0xFF),
        Pause(12),
        Out(0x378, 0x41),
        Out(0x37A, 0x00),
        Pause(1),
        Out(0x37A, 0x01),
        TIMING_OFF,
        CLOSE,
    });

    ResetFake();
    CHECK(SendBytes("A", LPT2_BASE) == TransferOutcome::Sent);
    CheckEvents({
        OPEN,
        TIMING_ON,
        Out(0x27A, 0x01),
        In(0x279, 0x7F),
        Out(0x278, 0xFF),
        Pause(12),
        Out(0x278, 0x41),
        Out(0x27A, 0x00),
        Pause(1),
        Out(0x27A, 0x01),
        TIMING_OFF,
        CLOSE,
    });
}

TEST_CASE("an empty file only rests the port")
{
    ResetFake();
    CHECK(SendBytes("", LPT1_BASE) == TransferOutcome::Sent);
    CheckEvents({OPEN, TIMING_ON, Out(0x37A, 0x01), TIMING_OFF, CLOSE});
}

TEST_CASE("the file's bytes reach the punch unchanged")
{
    ResetFake();
    SUBCASE("line ends, the DOS end-of-file mark and 0xFF are data")
    {
        CHECK(SendBytes(std::string("\x0D\x0A\x1A\xFF", 4), LPT1_BASE) == TransferOutcome::Sent);
        CHECK(PunchedBytes() == Bytes({0x0D, 0x0A, 0x1A, 0xFF}));
    }
    SUBCASE("every byte value, in order, on LPT2 without touching LPT1")
    {
        std::string all;
        std::vector<unsigned> expected;
        for (unsigned value = 0; value < 256; ++value) {
            all += static_cast<char>(value);
            expected.push_back(value);
        }
        CHECK(SendBytes(all, LPT2_BASE) == TransferOutcome::Sent);
        CHECK(PunchedBytes() == expected);
        for (const PortEvent& event : Fake().events) {
            if (event.op == PortOp::In || event.op == PortOp::Out) {
                INFO(DescribeEvent(event));
                CHECK((event.address >= 0x278 && event.address <= 0x27A));
            }
        }
    }
}

TEST_CASE("only status bit 7 holds the byte back")
{
    ResetFake();
    // Busy with every other bit clear, then ready with every other bit set.
    Fake().statusScript = {0x80, 0x80, 0x80, 0x7F};
    CHECK(SendBytes("xy", LPT1_BASE) == TransferOutcome::Sent);
    CHECK(PunchedBytes() == Bytes({'x', 'y'}));
    CHECK(Fake().statusReads == 5);
    // No byte goes out before the punch let go of BUSY.
    CHECK(DescribeEvent(Fake().events[7]) == "out 378 <- ff");
}

TEST_CASE("a transfer that cannot start touches no register")
{
    ResetFake();
    SUBCASE("missing file")
    {
        CHECK(SendFileToPunch(L"Z:\\no\\such\\file.bin", LPT1_BASE, nullptr) ==
              TransferOutcome::FileNotOpened);
        CheckEvents({});
    }
    SUBCASE("empty path")
    {
        CHECK(SendFileToPunch(L"", LPT1_BASE, nullptr) == TransferOutcome::FileNotOpened);
        CheckEvents({});
    }
    SUBCASE("file and port access both missing: the file is reported")
    {
        Fake().accessGranted = false;
        CHECK(SendFileToPunch(L"Z:\\no\\such\\file.bin", LPT1_BASE, nullptr) ==
              TransferOutcome::FileNotOpened);
        CheckEvents({});
    }
    SUBCASE("port access refused: the file is closed again")
    {
        Fake().accessGranted = false;
        TempFile file("data");
        CHECK(SendFileToPunch(Widen(file.path).c_str(), LPT1_BASE, nullptr) ==
              TransferOutcome::PortNotOpened);
        CheckEvents({OPEN});
        // Deleting fails while any handle without delete sharing is open.
        CHECK(DeleteFileA(file.path.c_str()));
    }
}

TEST_CASE("the file stays open during the transfer and is shared")
{
    ResetFake();
    TempFile file("ab");
    // Another program holding the file open for writing does not stop a send.
    const HANDLE writer = CreateFileA(file.path.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(writer != INVALID_HANDLE_VALUE);
    bool deletedWhileOpen = false;
    Fake().onEvent = [&](const PortEvent& event) {
        if (event.op == PortOp::Pause)
            deletedWhileOpen = deletedWhileOpen || DeleteFileA(file.path.c_str());
    };
    CHECK(SendFileToPunch(Widen(file.path).c_str(), LPT1_BASE, nullptr) == TransferOutcome::Sent);
    CloseHandle(writer);
    CHECK_FALSE(deletedWhileOpen);
    CHECK(PunchedBytes() == Bytes({'a', 'b'}));
    CHECK(DeleteFileA(file.path.c_str()));
}

TEST_CASE("a read error is not mistaken for the end of the file")
{
    ResetFake();
    ScriptedSource disk = {"ok", true};
    TransferControl control;
    CHECK(SendBytesToPunch({NextScriptedByte, &disk}, 10, LPT1_BASE, &control) ==
          TransferOutcome::ReadFailed);
    CHECK(PunchedBytes() == Bytes({'o', 'k'}));
    CHECK(control.bytesSent == 2);
    // The port is rested and the timer given back all the same.
    const size_t count = Fake().events.size();
    REQUIRE(count >= 2);
    CHECK(DescribeEvent(Fake().events[count - 2]) == "out 37a <- 01");
    CHECK(DescribeEvent(Fake().events[count - 1]) == "fine timing off");
    CHECK(std::wstring(OutcomeMessage(TransferOutcome::ReadFailed)) == L"Could not read the file");

    // A real file whose reads fail: under Wine, this one opens, and its
    // first read fails.
    ResetFake();
    CHECK(SendFileToPunch(L"Z:\\proc\\self\\mem", LPT1_BASE, nullptr) ==
          TransferOutcome::ReadFailed);
    CheckEvents({OPEN, TIMING_ON, Out(0x37A, 0x01), TIMING_OFF, CLOSE});
}

TEST_CASE("a stop request ends the transfer with the port at rest")
{
    ResetFake();
    TransferControl control;
    SUBCASE("while the punch is busy: the waiting byte is not sent")
    {
        Fake().statusScript = {0x7F, 0xFF, 0xFF, 0xFF};
        Fake().idleStatus = 0xFF; // jammed for good
        Fake().onEvent = [&](const PortEvent& event) {
            if (event.op == PortOp::In && Fake().statusReads == 3)
                RequestStop(&control);
        };
        CHECK(SendBytes("ab", LPT1_BASE, &control) == TransferOutcome::Stopped);
        CheckEvents({
            OPEN, TIMING_ON,
            Out(0x37A, 0x01), In(0x379, 0x7F), Out(0x378, 0xFF), Pause(12),
            Out(0x378, 'a'), Out(0x37A, 0x00), Pause(1),
            Out(0x37A, 0x01), In(0x379, 0xFF), In(0x379, 0xFF),
            Out(0x37A, 0x01), TIMING_OFF, CLOSE,
        });
        CHECK(control.bytesSent == 1);
        CHECK(control.waitingForPunch == 0);
    }
    SUBCASE("during a byte: that byte is finished, the next never begins")
    {
        Fake().onEvent = [&](const PortEvent& event) {
            if (event.op == PortOp::Out && event.value == 0xFF)
                RequestStop(&control);
        };
        CHECK(SendBytes("abc", LPT1_BASE, &control) == TransferOutcome::Stopped);
        CheckEvents({
            OPEN, TIMING_ON,
            Out(0x37A, 0x01), In(0x379, 0x7F), Out(0x378, 0xFF), Pause(12),
            Out(0x378, 'a'), Out(0x37A, 0x00), Pause(1),
            Out(0x37A, 0x01), TIMING_OFF, CLOSE,
        });
        CHECK(control.bytesSent == 1);
    }
}

TEST_CASE("a punch that stays busy is read flat out for 50 ms, then about once a millisecond")
{
    ResetFake();
    Fake().idleStatus = 0xFF; // no tape
    TransferControl control;
    constexpr size_t READS_PER_MS = 10;
    constexpr size_t STOP_AT_READ = 2000;
    Fake().onEvent = [&](const PortEvent& event) {
        if (event.op != PortOp::In)
            return;
        if (Fake().statusReads % READS_PER_MS == 0)
            ++Fake().clockMs;
        if (Fake().statusReads == STOP_AT_READ)
            RequestStop(&control);
    };
    CHECK(SendBytes("a", LPT1_BASE, &control) == TransferOutcome::Stopped);

    size_t readsBeforeFirstRest = 0, readsAfter = 0, rests = 0;
    bool readWithoutRest = false; // two reads in a row once resting began
    PortOp previous = PortOp::Out;
    for (const PortEvent& event : Fake().events) {
        if (event.op == PortOp::Rest)
            ++rests;
        else if (event.op == PortOp::In && rests == 0)
            ++readsBeforeFirstRest;
        else if (event.op == PortOp::In) {
            ++readsAfter;
            readWithoutRest = readWithoutRest || previous == PortOp::In;
        }
        previous = event.op;
    }
    // Flat out for 50 ms of reads, no less and not much more.
    CHECK(readsBeforeFirstRest >= 50 * READS_PER_MS);
    CHECK(readsBeforeFirstRest <= 51 * READS_PER_MS);
    CHECK(rests == readsAfter);
    CHECK_FALSE(readWithoutRest);
    // The stop acts at the read that saw it: no rest or read follows.
    const std::vector<PortEvent>& events = Fake().events;
    REQUIRE(events.size() >= 4);
    CHECK(DescribeEvent(events[events.size() - 4]) == "in 379 -> ff");
    CHECK(DescribeEvent(events[events.size() - 3]) == "out 37a <- 01");
    CHECK(PunchedBytes().empty());
}

namespace {

struct StuckRun {
    TransferControl control;
    TransferOutcome outcome = TransferOutcome::Sent;
};

DWORD WINAPI RunStuckTransfer(void* parameter)
{
    StuckRun* run = static_cast<StuckRun*>(parameter);
    ScriptedSource data = {"stuck", false};
    run->outcome = SendBytesToPunch({NextScriptedByte, &data}, 5, LPT1_BASE, &run->control);
    return 0;
}

} // namespace

TEST_CASE("another thread can stop a transfer that waits for the punch")
{
    ResetFake();
    Fake().idleStatus = 0xFF;
    StuckRun run;
    const HANDLE worker = CreateThread(nullptr, 0, RunStuckTransfer, &run, 0, nullptr);
    REQUIRE(worker != nullptr);
    // The watcher sees the wait begin before it asks for the stop.
    const DWORD start = GetTickCount();
    while (run.control.waitingForPunch == 0 && GetTickCount() - start < 5000)
        Sleep(1);
    CHECK(run.control.waitingForPunch == 1);
    CHECK(GetTickCount() - run.control.waitStartTick < 5000);
    RequestStop(&run.control);
    const DWORD waited = WaitForSingleObject(worker, 5000);
    CloseHandle(worker);
    REQUIRE(waited == WAIT_OBJECT_0);
    CHECK(run.outcome == TransferOutcome::Stopped);
    CHECK(run.control.waitingForPunch == 0);
    CHECK(PunchedBytes().empty());
    CHECK(DescribeEvent(Fake().events[Fake().events.size() - 2]) == "out 37a <- 01");
}

namespace {

// A transfer on its own thread that stops in its first pause, holding the
// port, until the test lets it go on.
struct HeldRun {
    HANDLE holding = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD threadId = 0;
    TransferOutcome outcome = TransferOutcome::Stopped;
    ~HeldRun()
    {
        CloseHandle(holding);
        CloseHandle(release);
    }
};

DWORD WINAPI RunHeldTransfer(void* parameter)
{
    HeldRun* run = static_cast<HeldRun*>(parameter);
    run->outcome = SendBytes("ab", LPT1_BASE);
    return 0;
}

} // namespace

TEST_CASE("a port that another transfer holds is refused without touching a register")
{
    ResetFake();
    HeldRun held;
    Fake().onEvent = [&](const PortEvent& event) {
        if (event.op == PortOp::Pause && GetCurrentThreadId() == held.threadId) {
            SetEvent(held.holding);
            WaitForSingleObject(held.release, 10000);
        }
    };
    // Started only once its id is known to onEvent.
    const HANDLE worker =
        CreateThread(nullptr, 0, RunHeldTransfer, &held, CREATE_SUSPENDED, &held.threadId);
    REQUIRE(worker != nullptr);
    ResumeThread(worker);
    CHECK(WaitForSingleObject(held.holding, 5000) == WAIT_OBJECT_0);

    const size_t before = Fake().events.size();
    CHECK(SendBytes("x", LPT1_BASE) == TransferOutcome::PortNotOpened);
    CHECK(Fake().events.size() == before);
    CHECK(std::wstring(OutcomeMessage(TransferOutcome::PortNotOpened)) == L"Could not open LPT port");

    // The other port is free.
    CHECK(SendBytes("y", LPT2_BASE) == TransferOutcome::Sent);
    for (size_t i = before; i < Fake().events.size(); ++i) {
        const PortEvent& event = Fake().events[i];
        INFO(DescribeEvent(event));
        CHECK(((event.op != PortOp::In && event.op != PortOp::Out) ||
               (event.address >= 0x278 && event.address <= 0x27A)));
    }

    SetEvent(held.release);
    CHECK(WaitForSingleObject(worker, 5000) == WAIT_OBJECT_0);
    CloseHandle(worker);
    CHECK(held.outcome == TransferOutcome::Sent);
    CHECK(PunchedBytes() == Bytes({'y', 'a', 'b'}));
    // Once the transfer has ended, the port is free again.
    CHECK(SendBytes("z", LPT1_BASE) == TransferOutcome::Sent);
}

TEST_CASE("progress counts the bytes the punch has taken")
{
    ResetFake();
    TransferControl control;
    std::vector<LONG> sentAtEachLatch;
    Fake().onEvent = [&](const PortEvent& event) {
        if (event.op == PortOp::Out && event.address == 0x37A && event.value == 0x00) {
            CHECK(control.fileSize == 3);
            sentAtEachLatch.push_back(LONG{control.bytesSent});
        }
    };
    CHECK(SendBytes("abc", LPT1_BASE, &control) == TransferOutcome::Sent);
    CHECK(sentAtEachLatch == std::vector<LONG>{0, 1, 2});
    CHECK(control.bytesSent == 3);
    CHECK(control.fileSize == 3);
}

TEST_CASE("the messages the user sees")
{
    CHECK(std::wstring(OutcomeMessage(TransferOutcome::FileNotOpened)) == L"Could not open the file");
    CHECK(std::wstring(OutcomeMessage(TransferOutcome::PortNotOpened)) == L"Could not open LPT port");
    CHECK(OutcomeMessage(TransferOutcome::Sent) == nullptr);
    CHECK(OutcomeMessage(TransferOutcome::Stopped) == nullptr);
}
