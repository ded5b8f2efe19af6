// The file of a send: one that cannot be opened touches no register, the
// file stays open and shared, a read error is no end of file; and the
// messages the user sees.
#include "transfer_steps.h"

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

TEST_CASE("the messages the user sees")
{
    CHECK(std::wstring(OutcomeMessage(TransferOutcome::FileNotOpened)) == L"Could not open the file");
    CHECK(std::wstring(OutcomeMessage(TransferOutcome::PortNotOpened)) == L"Could not open LPT port");
    CHECK(OutcomeMessage(TransferOutcome::Sent) == nullptr);
    CHECK(OutcomeMessage(TransferOutcome::Stopped) == nullptr);
}
