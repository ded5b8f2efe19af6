// How a transfer ends when the file does not keep still: a file that ends
// early or goes on, a stop during the last byte, and a read that never
// returns.
#include "transfer_steps.h"

TEST_CASE("the size when the send began is the tape: a source that ends early or goes on is a change")
{
    // A file cut short after the send began, and one that grew.
    for (const LONG size : {5, 2}) {
        INFO("size ", size);
        ResetFake();
        ScriptedSource file = {"abc", false};
        TransferControl control;
        CHECK(SendBytesToPunch({NextScriptedByte, &file}, size, LPT1_BASE, &control) ==
              TransferOutcome::FileChanged);
        // What was there is punched, what came after is not.
        CHECK(PunchedBytes() == (size == 5 ? Bytes({'a', 'b', 'c'}) : Bytes({'a', 'b'})));
        CHECK(control.bytesSent == (size == 5 ? 3 : 2));
        CHECK(DescribeEvent(Fake().events[Fake().events.size() - 2]) == "out 37a <- 01");
    }
    CHECK(std::wstring(OutcomeMessage(TransferOutcome::FileChanged)) ==
          L"The file changed while it was being punched: the tape is not the file");
}

TEST_CASE("a stop asked for while the last byte is on its way leaves a finished tape")
{
    ResetFake();
    TransferControl control;
    size_t blanks = 0;
    Fake().onEvent = [&](const PortEvent& event) {
        if (event.op == PortOp::Out && event.value == 0xFF && ++blanks == 3)
            RequestStop(&control);
    };
    CHECK(SendBytes("abc", LPT1_BASE, &control) == TransferOutcome::Sent);
    CHECK(PunchedBytes() == Bytes({'a', 'b', 'c'}));
    CHECK(DescribeEvent(Fake().events[Fake().events.size() - 3]) == "out 37a <- 01");
}

namespace {

struct PipeRun {
    std::wstring path;
    TransferControl control;
    TransferOutcome outcome = TransferOutcome::FileNotOpened;
};

DWORD WINAPI RunPipeTransfer(void* parameter)
{
    PipeRun* run = static_cast<PipeRun*>(parameter);
    run->outcome = SendFileToPunch(run->path.c_str(), LPT1_BASE, &run->control);
    return 0;
}

} // namespace

TEST_CASE("a stop is seen while a read of the file never returns")
{
    ResetFake();
    // A named pipe that is held open and never written: every read waits.
    const std::string name = "\\\\.\\pipe\\tapelark-unit-" + std::to_string(GetCurrentProcessId());
    const HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1,
                                         4096, 4096, 0, nullptr);
    REQUIRE(pipe != INVALID_HANDLE_VALUE);
    PipeRun run;
    run.path = Widen(name);
    const HANDLE worker = CreateThread(nullptr, 0, RunPipeTransfer, &run, 0, nullptr);
    REQUIRE(worker != nullptr);
    Sleep(500);
    CHECK(WaitForSingleObject(worker, 0) == WAIT_TIMEOUT);
    RequestStop(&run.control);
    CHECK(WaitForSingleObject(worker, 1000) == WAIT_OBJECT_0);
    // A read that missed the stop then fails, and the thread ends with the test.
    CloseHandle(pipe);
    WaitForSingleObject(worker, 5000);
    CloseHandle(worker);
    CHECK(run.outcome == TransferOutcome::Sent);
    CheckEvents({OPEN, TIMING_ON, Out(0x37A, 0x01), TIMING_OFF, CLOSE});
}

