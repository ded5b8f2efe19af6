// The window as a person uses it: clicks and double-clicks on a button whose
// meaning changes under the pointer, also when the program reads them late,
// paths typed and pasted into the field, and Windows ending the session or
// sleeping while a tape is punched. Input is posted to the controls, so it
// takes the same road through the program's message loop as the mouse and
// the keyboard.
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

TEST_CASE("a double-click on a send button punches the whole file, once, also when read late")
{
    // A slow double-click: its second press well past half of Windows'
    // double-click time.
    const DWORD slowGap = GetDoubleClickTime() * 8 / 10;
    // Slower still: the second press at 88% of the double-click time,
    // released after the program's timer has seen the change end.
    const DWORD slowerGap = GetDoubleClickTime() * 88 / 100;
    const struct {
        Port port;
        DWORD gapMs;
        DWORD holdMs;
        bool readLate;
    } doubleClicks[] = {
        {LPT1, HUMAN_DOUBLE_CLICK_GAP_MS, 0, false},
        {LPT1, slowGap, 0, false},
        {LPT2, slowerGap, PAST_DOUBLE_CLICK_MS, false},
        // The program reads the whole double-click only after the transfer
        // its first click starts.
        {LPT2, HUMAN_DOUBLE_CLICK_GAP_MS, 0, true},
    };
    for (const auto& doubleClick : doubleClicks) {
        const Port& port = doubleClick.port;
        INFO(std::string(port.text), ", second press after ", doubleClick.gapMs, " ms, held ",
             doubleClick.holdMs, " ms", std::string(doubleClick.readLate ? ", read late" : ""));
        AppRun app;
        const std::string bytes = RandomBytes(50, port.base);
        StartWithFile(app, bytes, "--busy-ms 20");
        const HANDLE held = doubleClick.readLate ? HoldWindowThread(app.window) : nullptr;
        PostDoubleClick(SendButton(app, port), doubleClick.gapMs, doubleClick.holdMs);
        if (held) {
            Sleep(HUMAN_DOUBLE_CLICK_GAP_MS);
            ReleaseWindowThread(held);
        }
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
    const std::string caption = ReadWindowText(app.window);
    CloseAndExpectExitZero(app);
    CheckStoppedShort(app, bytes);
    CHECK(caption == StoppedCaption(app, bytes));
    CheckPortAtRest(app, LPT1);
}

TEST_CASE("a press on Cancel released after the last byte starts nothing, nor a click read late")
{
    for (const std::string way : {"mouse", "space bar", "click read late"}) {
        INFO(way);
        AppRun app;
        const std::string bytes = "12345";
        StartWithFile(app, bytes, "--busy-ms 200");
        HWND button = SendButton(app, LPT2);
        Click(button);
        REQUIRE(ButtonReads(app, LPT2, "Cancel"));
        Sleep(PAST_DOUBLE_CLICK_MS);
        if (way == "click read late") {
            // Clicked while the button still reads Cancel, but after the last
            // byte; the program reads the click after the end of the tape.
            const HANDLE held = HoldWindowThread(app.window);
            REQUIRE(held);
            Sleep(2000);
            PostClick(button);
            Sleep(HUMAN_DOUBLE_CLICK_GAP_MS);
            ReleaseWindowThread(held);
        } else {
            // Held down while the last bytes go out and the button turns
            // back, and past the double-click time after that; the space
            // bar repeats meanwhile.
            const bool mouse = way == "mouse";
            mouse ? PostMouse(button, WM_LBUTTONDOWN) : PostKey(button, WM_KEYDOWN, VK_SPACE);
            REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT2, LPT2.text); }));
            Sleep(PAST_DOUBLE_CLICK_MS);
            if (!mouse) {
                PostKey(button, WM_KEYDOWN, VK_SPACE, true);
            }
            mouse ? PostMouse(button, WM_LBUTTONUP) : PostKey(button, WM_KEYUP, VK_SPACE);
        }
        Sleep(PAST_DOUBLE_CLICK_MS);
        CHECK(ButtonReads(app, LPT2, LPT2.text));
        CloseAndCheckPunched(app, LPT2, bytes);
    }
}

TEST_CASE("a path typed or pasted into the field is used whole, in any script")
{
    AppRun app;
    // A path as long as an ordinary XP one, far wider than the field, with
    // a name outside the ANSI code page of a Western Windows; and one of
    // the longest length a send takes.
    const std::string typed = AddFile(app, "typed", TempPathOfLength("Лента ω", 120, 't'));
    const std::string pasted = AddFile(app, "pasted", TempPathOfLength("pasted", 254, 'p'));
    REQUIRE(StartApp(app, "--busy-ms 100"));
    HWND field = GetDlgItem(app.window, PATH_FIELD);

    WriteWindowText(field, "");
    PostTyping(field, typed);
    CHECK(WaitUntil([&] { return ReadWindowText(field) == typed; }, 5000));
    // A person clicks Send; after that tape another program clicks it
    // (BM_CLICK, as automation and accessibility tools do), with no press
    // of its own: the person's press must not stand in for it.
    PostClick(SendButton(app, LPT1));
    REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, "Cancel"); }));
    REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, LPT1.text); }));

    WriteWindowText(field, "");
    REQUIRE(Paste(field, pasted));
    CHECK(ReadWindowText(field) == pasted);
    Sleep(PAST_DOUBLE_CLICK_MS);
    SendAndWait(app, LPT1);

    CloseAndExpectExitZero(app);
    CHECK(ReadFileBytes(app.punched) == "typedpasted");
}

} // TEST_SUITE

TEST_SUITE("dialog") {

TEST_CASE("a double-click on Select file read late opens one dialog")
{
    AppRun app;
    REQUIRE(StartApp(app));
    const HANDLE held = HoldWindowThread(app.window);
    REQUIRE(held);
    PostDoubleClick(GetDlgItem(app.window, SELECT_FILE), HUMAN_DOUBLE_CLICK_GAP_MS);
    ReleaseWindowThread(held);
    HWND dialog =
        WaitForWindow([&] { return FindAppWindow(app, "#32770", "Select file for copiing"); });
    REQUIRE(dialog);
    // Time for a second dialog to open over the first, had the second
    // click been taken.
    Sleep(PAST_DOUBLE_CLICK_MS);
    Click(GetDlgItem(dialog, IDCANCEL), 500);
    REQUIRE(WaitUntil([&] { return !IsWindow(dialog); }));
    CHECK(NoDialogAppears(app));
    CHECK(IsWindowEnabled(app.window));
    CloseAndExpectExitZero(app);
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

TEST_CASE("when the session ends anyway, or the PC goes to sleep, the transfer stops at rest first")
{
    for (const bool sleep : {false, true}) {
        INFO(std::string(sleep ? "sleep" : "log-off"));
        AppRun app;
        // Long enough to be punching still; with no busy time the transfer
        // is nearly always in the middle of a byte.
        const std::string bytes = RandomBytes(200, 3);
        StartWithFile(app, bytes, "");
        Click(SendButton(app, LPT2));
        REQUIRE(WaitUntil([&] { return ReadWindowText(app.window) != TITLE; }));
        sleep ? SendAndRead(app.window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0)
              : SendAndRead(app.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        const std::string caption = ReadWindowText(app.window);
        // Windows ends the process, or the PC sleeps, as soon as the
        // windows have answered: nothing more happens.
        EndAndCheckLeftAtRest(app, LPT2);
        CheckStoppedShort(app, bytes);
        CHECK(caption == StoppedCaption(app, bytes));
    }
}

} // TEST_SUITE

// Run by uptime.sh, with Wine's clocks moved so that the tick count starts
// past 2^31 ms, the uptime of a PC left on for 24.9 days; and once more
// with the count about to wrap, as it does after 49.7 days.
TEST_SUITE("uptime" * doctest::skip(true)) {

TEST_CASE("on a PC up for weeks a click on Send punches the file, also across the wrap")
{
    const DWORD start = GetTickCount();
    MESSAGE("GetTickCount() at the start: ", start);
    REQUIRE(start >= 0x80000000u);
    // Within a minute of the wrap: a send on each side of it.
    const bool wrapsSoon = start > 0xFFFFFFFFu - 60000;
    AppRun app;
    StartWithFile(app, SAMPLE, "--busy-ms 20");
    std::string expected;
    auto send = [&] {
        MESSAGE("a click at GetTickCount() ", GetTickCount());
        PostClick(SendButton(app, LPT1));
        CHECK(WaitUntil([&] { return ButtonReads(app, LPT1, "Cancel"); }, 5000));
        REQUIRE(WaitUntil([&] { return ButtonReads(app, LPT1, LPT1.text); }, 30000));
        expected += SAMPLE;
    };
    send();
    if (wrapsSoon) {
        REQUIRE(WaitUntil([] { return GetTickCount() < 0x80000000u; }, 70000));
        send();
    }
    CHECK(NoDialogAppears(app));
    CloseAndExpectExitZero(app);
    CHECK(ReadFileBytes(app.punched) == expected);
    CheckPortAtRest(app, LPT1);
    char keep[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TAPELARK_KEEP_TAPE", keep, MAX_PATH)) {
        CHECK(CopyFileA(app.punched.c_str(), keep, FALSE));
    }
}

} // TEST_SUITE
