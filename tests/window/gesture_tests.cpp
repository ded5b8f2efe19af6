// The window as a person uses it: clicks and double-clicks on a button whose
// meaning changes under the pointer, paths typed and pasted into the field,
// and Windows ending the session while a tape is punched. Input is posted to
// the controls, so it takes the same road through the program's message
// loop as the mouse and the keyboard.
#include "harness.h"

#include <doctest/doctest.h>

namespace {

// Shorter than any double-click time, longer than the program needs to
// take the first click.
constexpr DWORD HUMAN_DOUBLE_CLICK_GAP_MS = 150;
// Longer than Windows' default double-click time of 500 ms.
constexpr DWORD PAST_DOUBLE_CLICK_MS = 700;

HWND SendButton(const AppRun& app, const Port& port)
{
    return GetDlgItem(app.window, port.button);
}

bool ButtonReads(const AppRun& app, const Port& port, const std::string& text)
{
    return ReadWindowText(SendButton(app, port)) == text;
}

LRESULT SendAndRead(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0xBAD;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, WAIT_MS, &result);
    return static_cast<LRESULT>(result);
}

} // namespace

TEST_SUITE("gestures") {

TEST_CASE("a double-click on a send button punches the whole file, once")
{
    for (const Port& port : {LPT1, LPT2}) {
        INFO(std::string(port.text));
        AppRun app;
        const std::string bytes = RandomBytes(50, port.base);
        StartWithFile(app, bytes, "--busy-ms 20");
        PostDoubleClick(SendButton(app, port), HUMAN_DOUBLE_CLICK_GAP_MS);
        // The second click lands on "Cancel" and must not be taken for one.
        REQUIRE(WaitUntil([&] { return ButtonReads(app, port, "Cancel"); }, 5000));
        REQUIRE(WaitUntil([&] { return ButtonReads(app, port, port.text); }, 60000));
        CloseAndCheckPunched(app, port, bytes);
    }
}

TEST_CASE("a double-click on Cancel stops the transfer and does not start it again")
{
    AppRun app;
    const std::string bytes = RandomBytes(50, 7);
    StartWithFile(app, bytes, "--busy-ms 20");
    Click(SendButton(app, LPT1));
    REQUIRE(ButtonReads(app, LPT1, "Cancel"));
    Sleep(PAST_DOUBLE_CLICK_MS);
    // The first click stops the transfer and the button reads Send again
    // before the second click comes.
    PostDoubleClick(SendButton(app, LPT1), HUMAN_DOUBLE_CLICK_GAP_MS);
    REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, LPT1.text); }));
    Sleep(PAST_DOUBLE_CLICK_MS);
    CHECK(ButtonReads(app, LPT1, LPT1.text));
    CHECK(ReadWindowText(app.window) == TITLE);
    CloseAndExpectExitZero(app);
    CheckStoppedShort(app, bytes);
    CheckPortAtRest(app, LPT1);
}

TEST_CASE("a press on Cancel released after the last byte starts nothing")
{
    AppRun app;
    const std::string bytes = "12345";
    StartWithFile(app, bytes, "--busy-ms 200");
    HWND button = SendButton(app, LPT2);
    Click(button);
    REQUIRE(ButtonReads(app, LPT2, "Cancel"));
    Sleep(PAST_DOUBLE_CLICK_MS);
    PostMouse(button, WM_LBUTTONDOWN);
    // Held down while the last bytes go out and the button turns back.
    REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT2, LPT2.text); }));
    PostMouse(button, WM_LBUTTONUP);
    Sleep(PAST_DOUBLE_CLICK_MS);
    CHECK(ButtonReads(app, LPT2, LPT2.text));
    CloseAndCheckPunched(app, LPT2, bytes);
}

TEST_CASE("a path typed or pasted into the field is used whole")
{
    AppRun app;
    // A path as long as an ordinary XP one, far wider than the field, and
    // one of the longest length a send takes.
    const std::string typed = AddFile(app, "typed", TempPathOfLength("typed", 120, 't'));
    const std::string pasted = AddFile(app, "pasted", TempPathOfLength("pasted", 254, 'p'));
    REQUIRE(StartApp(app, ""));
    HWND field = GetDlgItem(app.window, PATH_FIELD);

    WriteWindowText(field, "");
    PostTyping(field, typed);
    CHECK(WaitUntil([&] { return ReadWindowText(field) == typed; }, 5000));
    SendAndWait(app, LPT1);

    WriteWindowText(field, "");
    REQUIRE(Paste(field, pasted));
    CHECK(ReadWindowText(field) == pasted);
    Sleep(PAST_DOUBLE_CLICK_MS);
    SendAndWait(app, LPT1);

    CloseAndExpectExitZero(app);
    CHECK(ReadFileBytes(app.punched) == "typedpasted");
}

} // TEST_SUITE

TEST_SUITE("session") {

TEST_CASE("log-off, shutdown and standby are refused while a tape is punched, and only then")
{
    AppRun app;
    StartWithFile(app, SAMPLE, "--stuck-after 2");
    auto refusals = [&] {
        return std::to_string(SendAndRead(app.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF))
            + " " + std::to_string(SendAndRead(app.window, WM_QUERYENDSESSION, 0, 0)) + " "
            + std::to_string(SendAndRead(app.window, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 1));
    };
    const std::string allowed = "1 1 1";
    CHECK(refusals() == allowed);

    HWND button = SendButton(app, LPT1);
    Click(button);
    REQUIRE(ButtonReads(app, LPT1, "Cancel"));
    CHECK(refusals() == "0 0 " + std::to_string(BROADCAST_QUERY_DENY));
    // Refusing is all: the transfer goes on, and a session that does not
    // end stops nothing.
    SendAndRead(app.window, WM_ENDSESSION, FALSE, 0);
    CHECK(ButtonReads(app, LPT1, "Cancel"));

    Sleep(PAST_DOUBLE_CLICK_MS);
    Click(button);
    REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, LPT1.text); }));
    CHECK(refusals() == allowed);
    CloseAndExpectExitZero(app);
}

TEST_CASE("when the session ends anyway the transfer stops at rest before Windows ends the program")
{
    AppRun app;
    const std::string bytes = RandomBytes(20, 3);
    StartWithFile(app, bytes, "--busy-ms 300");
    Click(SendButton(app, LPT2));
    REQUIRE(WaitUntil([&] { return ReadWindowText(app.window) != TITLE; }));
    SendAndRead(app.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    // Windows ends the process as soon as its windows have answered.
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, app.appId);
    REQUIRE(process);
    TerminateProcess(process, 1);
    CloseHandle(process);
    WaitForExit(app);

    CheckStoppedShort(app, bytes);
    // The very last access left the port at rest: nothing came after it.
    const std::vector<TraceLine> trace = ReadTrace(app.trace, nullptr);
    REQUIRE_FALSE(trace.empty());
    CHECK_FALSE(trace.back().isIn);
    CHECK(trace.back().port == LPT2.base + 2);
    CHECK(trace.back().value == 0x01);
}

} // TEST_SUITE
