// How a transfer ends when the file does not keep still: a file that
// another program changes while it is punched, a stop during the last byte,
// and a read that never returns.
#include "transfer_steps.h"

TEST_CASE("the tape is the file as it was at Send, whatever another program then does to it")
{
    const std::string original = "0123456789abcdef";
    const struct {
        const char* change;
        void (*make)(const std::string& path);
    } changes[] = {
        {"rewritten at the same size", [](const std::string& path) {
             CHECK(WriteFileBytes(path, "FEDCBA9876543210"));
         }},
        {"added to", [](const std::string& path) {
             FILE* file = fopen(path.c_str(), "ab");
             REQUIRE(file);
             fputs("more", file);
             fclose(file);
         }},
        {"cut short", [](const std::string& path) { CHECK(WriteFileBytes(path, "01")); }},
        // Windows refuses: the transfer holds the file open without delete
        // sharing.
        {"deleted", [](const std::string& path) { DeleteFileA(path.c_str()); }},
    };
    for (const auto& change : changes) {
        INFO("file ", change.change, " after the fifth row");
        ResetFake();
        TempFile file(original);
        size_t latches = 0;
        Fake().onEvent = [&](const PortEvent& event) {
            if (event.op == PortOp::Out && event.address == 0x37A && event.value == 0x00
                && ++latches == 5)
                change.make(file.path);
        };
        TransferControl control;
        CHECK(SendFileToPunch(Widen(file.path).c_str(), LPT1_BASE, &control) ==
              TransferOutcome::Sent);
        CHECK(latches == original.size());
        CHECK(PunchedBytes() == std::vector<unsigned>(original.begin(), original.end()));
        CHECK(control.fileSize == 16);
    }
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
    // Nothing was punched, nor the port touched: the file is read whole first.
    CHECK(run.outcome == TransferOutcome::Stopped);
    CheckEvents({});
}

