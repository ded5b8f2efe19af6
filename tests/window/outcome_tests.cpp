// How a send ends when something other than the punch gets in the way: a
// file that another program changes while it is punched, a stop that comes
// while the last byte is on its way, and a read of the file that never
// returns while the user cancels or Windows ends the session or sleeps.
#include "harness.h"

#include <doctest/doctest.h>

#include <cstdlib>

namespace {

HWND SendButton(const AppRun& app, const Port& port)
{
    return GetDlgItem(app.window, port.button);
}

bool ButtonReads(const AppRun& app, const Port& port, const std::string& text)
{
    return ReadWindowText(SendButton(app, port)) == text;
}

// What another program may do to a file while it is punched.
void RewriteSameSize(const std::string& path)
{
    std::string bytes = ReadFileBytes(path);
    for (char& byte : bytes) {
        byte = static_cast<char>(~byte);
    }
    CHECK(WriteFileBytes(path, bytes));
}
void Append(const std::string& path)
{
    CHECK(WriteFileBytes(path, ReadFileBytes(path) + "more"));
}
void Truncate(const std::string& path)
{
    CHECK(WriteFileBytes(path, "ab"));
}
// Windows refuses it: the transfer holds the file open without delete sharing.
void Delete(const std::string& path)
{
    DeleteFileW(Widen(path).c_str());
}

// A named pipe that the test holds open and never writes: read as a file,
// every read waits, as one from a network share that went away does.
struct HeldPipe {
    std::string path = "\\\\.\\pipe\\tapelark-test-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096,
                                     4096, 0, nullptr);
    HeldPipe() { REQUIRE(server != INVALID_HANDLE_VALUE); }
    // Once the program has opened the pipe: bytes for it to read.
    void Write(const std::string& bytes)
    {
        ConnectNamedPipe(server, nullptr);
        DWORD written = 0;
        REQUIRE(WriteFile(server, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr));
    }
    ~HeldPipe() { Close(); }
    HeldPipe(const HeldPipe&) = delete;
    HeldPipe& operator=(const HeldPipe&) = delete;
    // The program's read then fails, as a broken connection's does.
    void Close()
    {
        if (server != INVALID_HANDLE_VALUE) {
            CloseHandle(server);
        }
        server = INVALID_HANDLE_VALUE;
    }
};

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD tookMs;
};

DWORD WINAPI SendAndTime(void* parameter)
{
    SentMessage* sent = static_cast<SentMessage*>(parameter);
    const DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    SendMessageTimeoutA(sent->window, sent->message, sent->wParam, sent->lParam, SMTO_NORMAL,
                        WAIT_MS, &result);
    sent->tookMs = GetTickCount() - start;
    return 0;
}

// How long the window took to answer a message; heldThread, when given, is
// the window's thread held by the test, let go once the message waits.
DWORD AnswerTime(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                 HANDLE heldThread = nullptr)
{
    SentMessage sent = {window, message, wParam, lParam, 0};
    const HANDLE sender = CreateThread(nullptr, 0, SendAndTime, &sent, 0, nullptr);
    REQUIRE(sender);
    if (heldThread) {
        Sleep(200);
        ReleaseWindowThread(heldThread);
    }
    WaitForSingleObject(sender, WAIT_MS + 5000);
    CloseHandle(sender);
    return sent.tookMs;
}

} // namespace

TEST_SUITE("transfer") {

TEST_CASE("the tape is the file as it was at Send: another program's change after the fifth row")
{
    const struct {
        const char* what;
        void (*change)(const std::string& path);
    } changes[] = {
        {"rewritten at the same size", RewriteSameSize},
        {"added to", Append},
        {"cut short", Truncate},
        {"deleted", Delete},
    };
    for (const auto& change : changes) {
        INFO("file ", std::string(change.what));
        AppRun app;
        // Long enough that the caption counts past 5 well before the end.
        const std::string bytes = RandomBytes(40, 9);
        const std::string path = StartWithFile(app, bytes, "--busy-ms 30");
        // Send with the space bar, as a person at the keyboard does.
        PostKey(SendButton(app, LPT1), WM_KEYDOWN, VK_SPACE);
        PostKey(SendButton(app, LPT1), WM_KEYUP, VK_SPACE);
        REQUIRE(WaitUntil([&] { return std::atoi(ReadWindowText(app.window).c_str()) >= 5; }));
        change.change(path);
        REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, LPT1.text); }));
        CHECK(ReadWindowText(app.window) == TITLE);
        CloseAndCheckPunched(app, LPT1, bytes);
    }
}

TEST_CASE("a file longer than a tape is refused before the port is touched")
{
    AppRun app;
    // One byte longer than ten 1000-ft reels.
    StartWithFile(app, std::string(1200001, 'x'), "");
    Click(SendButton(app, LPT2));
    ExpectErrorBox(app.window,
                   "The file is too large to punch: 1200001 bytes, 11 reels of 1000 ft,\n"
                   "which would take 8 hours 27 minutes at 25.3 ms a row.\n\n"
                   "A tape holds at most 1200000 bytes, ten reels, 8 hours 27 minutes of "
                   "punching.\nMake pieces of at most that size with tapeprep --from and --to, "
                   "and\npunch them one at a time.");
    CHECK(ReadWindowText(app.window) == TITLE);
    EndFromOutside(app);
    CHECK(ReadTrace(app.trace, nullptr).empty());
}

TEST_CASE("Cancel while the last byte is on its way leaves a finished tape")
{
    AppRun app;
    // After the first byte the punch is busy for two seconds: the second,
    // last byte waits for it.
    StartWithFile(app, "AB", "--busy-ms 2000");
    Click(SendButton(app, LPT1));
    REQUIRE(WaitUntil([&] { return ReadWindowText(app.window) == "1 of 2 bytes - " + TITLE; }));
    // The emulated port held: the program stops at the transfer's next
    // register access until the punch is long ready. That access may be a
    // status read already answered busy, so the click on Cancel made
    // meanwhile is read only once the program has had time for one more
    // read, the ready one: during the 12 ms of blank data lines before the
    // last byte, or at worst after the tape ended, never while the punch
    // was still busy.
    REQUIRE(SuspendThread(app.started.hThread) != static_cast<DWORD>(-1));
    Sleep(2500);
    const HANDLE held = HoldWindowThread(app.window);
    PostClick(SendButton(app, LPT1));
    ResumeThread(app.started.hThread);
    Sleep(8);
    ReleaseWindowThread(held);
    REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, LPT1.text); }));
    CHECK(ReadWindowText(app.window) == TITLE);
    CloseAndCheckPunched(app, LPT1, "AB");
}

} // TEST_SUITE

TEST_SUITE("session") {

TEST_CASE("a read that never returns: Cancel within a second, log-off and sleep within two")
{
    for (const std::string way : {"Cancel", "log-off", "sleep, as the read fails"}) {
        INFO(way);
        AppRun app;
        HeldPipe pipe;
        REQUIRE(StartApp(app, ""));
        WriteWindowText(GetDlgItem(app.window, PATH_FIELD), pipe.path);
        Click(SendButton(app, LPT2));
        REQUIRE(ButtonReads(app, LPT2, "Cancel"));
        // The program reads these, then waits in its next read: after a
        // second the caption says so.
        pipe.Write("0123456789");
        CHECK(WaitUntil(
            [&] { return ReadWindowText(app.window) == "Reading the file - 10 bytes - " + TITLE; },
            2000));
        if (way == "log-off") {
            CHECK(AnswerTime(app.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF) < 2000);
            CHECK(NoDialogAppears(app));
        } else if (way == "Cancel") {
            // With the mouse, through the program's own reading of input.
            PostClick(SendButton(app, LPT2));
            CHECK(WaitUntil([&] { return ButtonReads(app, LPT2, LPT2.text); }, 1000));
            CHECK(NoDialogAppears(app));
        } else {
            // The read fails while the window is held, and the sleep comes
            // before the window hears that the transfer has ended: its
            // message shows once the sleep has been answered.
            const HANDLE held = HoldWindowThread(app.window);
            REQUIRE(held);
            pipe.Close();
            Sleep(500);
            CHECK(AnswerTime(app.window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, held) < 2000);
            ExpectErrorBox(app.window, "Could not read the file");
        }
        // Nothing was punched: the caption is as it was, and no register
        // was touched.
        CHECK(ReadWindowText(app.window) == TITLE);
        EndFromOutside(app);
        CHECK(ReadTrace(app.trace, nullptr).empty());
    }
}

} // TEST_SUITE
