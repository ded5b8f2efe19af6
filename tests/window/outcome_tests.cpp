// How a send ends when something other than the punch gets in the way: a
// file that another program changes while it is punched, a stop that comes
// while the last byte is on its way, and a read of the file that never
// returns while Windows ends the session or sleeps.
#include "harness.h"

#include <doctest/doctest.h>

#include <cstdlib>

namespace {

const char* const FILE_CHANGED =
    "The file changed while it was being punched: the tape is not the file";

HWND SendButton(const AppRun& app, const Port& port)
{
    return GetDlgItem(app.window, port.button);
}

bool ButtonReads(const AppRun& app, const Port& port, const std::string& text)
{
    return ReadWindowText(SendButton(app, port)) == text;
}

// Another program writes the file meanwhile, as the transfer's own
// sharing lets it: cuts it to size bytes, or adds more to its end.
void ChangeFile(const std::string& path, size_t size, const std::string& added)
{
    const HANDLE file =
        CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    if (added.empty()) {
        SetFilePointer(file, static_cast<LONG>(size), nullptr, FILE_BEGIN);
        CHECK(SetEndOfFile(file));
    } else {
        DWORD written = 0;
        SetFilePointer(file, 0, nullptr, FILE_END);
        CHECK(WriteFile(file, added.data(), static_cast<DWORD>(added.size()), &written, nullptr));
    }
    CloseHandle(file);
}

// A named pipe that the test holds open and never writes: read as a file,
// every read waits, as one from a network share that went away does.
struct HeldPipe {
    std::string path = "\\\\.\\pipe\\tapelark-test-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096,
                                     4096, 0, nullptr);
    HeldPipe() { REQUIRE(server != INVALID_HANDLE_VALUE); }
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

TEST_CASE("a file that shrinks or grows while it is punched stops the tape with a message")
{
    for (const bool grows : {false, true}) {
        INFO(std::string(grows ? "grows" : "shrinks"));
        AppRun app;
        const std::string bytes = RandomBytes(grows ? 20 : 40, 9);
        const std::string path = StartWithFile(app, bytes, "--busy-ms 20");
        Click(SendButton(app, LPT1));
        // Some bytes are punched: the caption counts them.
        REQUIRE(WaitUntil([&] { return std::atoi(ReadWindowText(app.window).c_str()) >= 5; }));
        ChangeFile(path, 3, grows ? "more" : "");
        ExpectErrorBox(app.window, FILE_CHANGED);
        REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, LPT1.text); }));
        const std::string caption = ReadWindowText(app.window);
        CloseAndExpectExitZero(app);
        // The tape is the file as it was when the send began, up to where
        // the change showed: all of it when the file grew.
        const std::string punched = ReadFileBytes(app.punched);
        CHECK(punched == bytes.substr(0, grows ? bytes.size() : punched.size()));
        CHECK(caption == "Stopped after " + std::to_string(punched.size()) + " of "
                  + std::to_string(bytes.size()) + " bytes - " + TITLE);
        CheckPortAtRest(app, LPT1);
    }
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

TEST_CASE("a read that never returns: log-off, sleep and Cancel are answered within two seconds")
{
    for (const std::string way : {"log-off", "sleep, as the read fails", "Cancel"}) {
        INFO(way);
        AppRun app;
        HeldPipe pipe;
        REQUIRE(StartApp(app, ""));
        WriteWindowText(GetDlgItem(app.window, PATH_FIELD), pipe.path);
        Click(SendButton(app, LPT2));
        REQUIRE(ButtonReads(app, LPT2, "Cancel"));
        // The transfer now waits in its read.
        Sleep(500);
        if (way == "log-off") {
            CHECK(AnswerTime(app.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF) < 2000);
            CHECK(NoDialogAppears(app));
        } else if (way == "Cancel") {
            Click(SendButton(app, LPT2));
            CHECK(WaitUntil([&] { return ButtonReads(app, LPT2, LPT2.text); }, 2000));
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
        // Nothing was punched: the caption is as it was.
        CHECK(ReadWindowText(app.window) == TITLE);
        EndAndCheckLeftAtRest(app, LPT2);
    }
}

} // TEST_SUITE
