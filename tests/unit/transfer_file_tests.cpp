// The file of a send: one that cannot be opened, read whole or fit on a
// tape touches no register, the file stays open and shared; and the
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

namespace {

std::wstring Message(TransferOutcome outcome, const TransferControl& control = {})
{
    wchar_t text[OUTCOME_TEXT_CAPACITY] = {};
    return OutcomeMessage(outcome, control, text) ? text : L"(none)";
}

// A file of size bytes made in an instant: sparse, its bytes zero.
void SetFileSize(const std::string& path, LONGLONG size)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = size;
    CHECK(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    CHECK(SetEndOfFile(file));
    CloseHandle(file);
}

} // namespace

TEST_CASE("a file that cannot be read whole, or is longer than a tape, punches nothing")
{
    // Under Wine this one opens, and its first read fails.
    ResetFake();
    TransferControl control;
    CHECK(SendFileToPunch(L"Z:\\proc\\self\\mem", LPT1_BASE, &control) ==
          TransferOutcome::ReadFailed);
    CheckEvents({});
    CHECK(control.bytesSent == 0);
    CHECK(Message(TransferOutcome::ReadFailed) == L"Could not read the file");

    for (const LONGLONG size : {LONGLONG{MAX_TAPE_BYTES} + 1, LONGLONG{16} << 20}) {
        INFO("size ", size);
        ResetFake();
        TempFile file("");
        SetFileSize(file.path, size);
        TransferControl tooLarge;
        CHECK(SendFileToPunch(Widen(file.path).c_str(), LPT1_BASE, &tooLarge) ==
              TransferOutcome::FileTooLarge);
        CheckEvents({});
        CHECK(tooLarge.sizeAtSend == static_cast<ULONGLONG>(size));
        CHECK(tooLarge.bytesRead == 0);
    }
    TransferControl sixteenMiB;
    sixteenMiB.sizeAtSend = 16 << 20;
    CHECK(Message(TransferOutcome::FileTooLarge, sixteenMiB)
          == L"The file is too large to punch: 16777216 bytes, 140 reels of 1000 ft,\n"
             L"which would take 4 days 22 hours at 25.3 ms a row.\n\n"
             L"A tape holds at most 1200000 bytes, ten reels, 8 hours 27 minutes of punching.\n"
             L"Make pieces of at most that size with tapeprep --from and --to, and\n"
             L"punch them one at a time.");

    // The longest tape is taken whole: stopped at its first byte, read to
    // its end.
    ResetFake();
    TempFile longest("");
    SetFileSize(longest.path, MAX_TAPE_BYTES);
    TransferControl control2;
    Fake().onEvent = [&](const PortEvent& event) {
        if (event.op == PortOp::Out)
            RequestStop(&control2);
    };
    CHECK(SendFileToPunch(Widen(longest.path).c_str(), LPT1_BASE, &control2) ==
          TransferOutcome::Stopped);
    CHECK(control2.bytesRead == MAX_TAPE_BYTES);
    CHECK(control2.fileSize == MAX_TAPE_BYTES);
}

TEST_CASE("the messages the user sees")
{
    CHECK(Message(TransferOutcome::FileNotOpened) == L"Could not open the file");
    CHECK(Message(TransferOutcome::PortNotOpened) == L"Could not open LPT port");
    CHECK(Message(TransferOutcome::Sent) == L"(none)");
    CHECK(Message(TransferOutcome::Stopped) == L"(none)");
}
