// The port's claim: a port that another transfer holds is refused without
// touching a register, and the other port stays free.
#include "transfer_steps.h"

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
