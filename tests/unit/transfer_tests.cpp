// The byte loop against the recording fake: the handshake, the bytes
// unchanged, BUSY, the waits for the punch, a stop, the progress.
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
    const unsigned char data[] = "stuck";
    run->outcome = SendBytesToPunch(data, 5, LPT1_BASE, &run->control);
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
