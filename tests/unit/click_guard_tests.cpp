// The send buttons' click guard on a clock the test sets: a PC that has
// been up for any time, its tick count just below and above 2^31, near
// 2^32 and across the wrap.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "click_guard.h"

#include <doctest/doctest.h>

#include <string>

namespace {

DWORD g_now = 0;

DWORD WINAPI TestClock()
{
    return g_now;
}

const HWND SEND = reinterpret_cast<HWND>(0x1002);
const DWORD DAY_MS = 24 * 60 * 60 * 1000;

// The tick counts each case starts from: a PC up for a second, just below
// and just above 2^31, near 2^32, and 100 ms before the wrap, so that the
// case's clicks fall on both sides of it.
const DWORD STARTS[] = {1000, 0x7FFFFC00, 0x80000100, 0xFFFFC000, 0xFFFFFF9C};

// A press on the button made at pressedAt, read by the message loop at readAt.
void Press(ClickGuard& guard, DWORD pressedAt, DWORD readAt, UINT message = WM_LBUTTONDOWN)
{
    g_now = readAt;
    MSG input = {};
    input.hwnd = SEND;
    input.message = message;
    input.time = pressedAt;
    NoteInput(guard, input);
}

// The release of a press reported at clickedAt; when the click is taken, the
// button changes meaning at once, as a send starting or stopping does.
bool Click(ClickGuard& guard, DWORD clickedAt)
{
    g_now = clickedAt;
    const bool taken = TakesClick(guard, SEND);
    if (taken) {
        NoteChange(guard);
    }
    return taken;
}

// The program's timer, which asks every 100 ms until the change is over.
void SettleBy(ClickGuard& guard, DWORD until)
{
    for (g_now = guard.changedAt; !ChangeSettled(guard); g_now += 100) {
        REQUIRE(g_now - guard.changedAt <= until);
    }
}

std::string At(DWORD start)
{
    return "tick count " + std::to_string(start);
}

} // namespace

TEST_CASE("the first click after start-up stands, however long the PC has been up")
{
    for (DWORD start : STARTS) {
        INFO(At(start));
        ClickGuard guard = {TestClock};
        Press(guard, start, start);
        CHECK(Click(guard, start + 90));
        // A click from another program, with no press of its own, likewise.
        ClickGuard untouched = {TestClock};
        g_now = start;
        CHECK(TakesClick(untouched, SEND));
    }
}

TEST_CASE("two sends in a row: each click after the double-click time stands")
{
    const DWORD doubleClick = GetDoubleClickTime();
    for (DWORD start : STARTS) {
        INFO(At(start));
        ClickGuard guard = {TestClock};
        Press(guard, start, start);
        REQUIRE(Click(guard, start + 90));
        // A short tape: the button reads Send again 200 ms later.
        g_now = start + 290;
        NoteChange(guard);
        SettleBy(guard, doubleClick + 100);
        Press(guard, start + 3000, start + 3000);
        CHECK(Click(guard, start + 3090));
        g_now = start + 3290;
        NoteChange(guard);
        // Taken before the program's timer saw the change end.
        const DWORD soon = start + 3290 + doubleClick + 20;
        Press(guard, soon, soon);
        CHECK(Click(guard, soon + 90));
    }
}

TEST_CASE("the second click of a double-click on a send button means nothing")
{
    const DWORD doubleClick = GetDoubleClickTime();
    // The second press after each gap, released 80 ms later or, the
    // slowest, only once the program's timer has seen the change end.
    const struct {
        DWORD gap;
        bool releasedAfterTimer;
    } seconds[] = {{150, false}, {doubleClick * 8 / 10, false}, {doubleClick * 88 / 100, true}};
    for (const auto& second : seconds) {
        for (DWORD start : STARTS) {
            INFO(At(start), ", second press ", second.gap, " ms after the first",
                 std::string(second.releasedAfterTimer ? ", released after the timer" : ""));
            ClickGuard guard = {TestClock};
            Press(guard, start, start);
            REQUIRE(Click(guard, start + 80));
            Press(guard, start + second.gap, start + second.gap, WM_LBUTTONDBLCLK);
            if (second.releasedAfterTimer) {
                SettleBy(guard, doubleClick + 100);
                REQUIRE(g_now - guard.changedAt >= doubleClick);
            }
            CHECK_FALSE(Click(guard, g_now + 80));
            // Once the change is over, a click on Cancel stands.
            SettleBy(guard, doubleClick + 100);
            Press(guard, start + 2000, start + 2000);
            CHECK(Click(guard, start + 2080));
        }
    }
}

TEST_CASE("a click made before the button changed and read after it means nothing")
{
    for (DWORD start : STARTS) {
        INFO(At(start));
        // Made on Cancel, read two seconds after the tape ended and the
        // button read Send again.
        ClickGuard guard = {TestClock};
        g_now = start;
        NoteChange(guard);
        Press(guard, start - 100, start + 2000);
        CHECK_FALSE(Click(guard, start + 2010));
        // Read before the change, reported after it.
        ClickGuard early = {TestClock};
        Press(early, start - 100, start - 90);
        g_now = start;
        NoteChange(early);
        CHECK_FALSE(Click(early, start + 2010));
    }
}

TEST_CASE("a click stands weeks after the last change, past 2^31 ms and past the wrap")
{
    const DWORD doubleClick = GetDoubleClickTime();
    for (DWORD start : STARTS) {
        for (DWORD later : {25 * DAY_MS, 50 * DAY_MS}) {
            INFO(At(start), ", ", later / DAY_MS, " days later");
            ClickGuard guard = {TestClock};
            g_now = start;
            NoteChange(guard);
            SettleBy(guard, doubleClick + 100);
            Press(guard, start + later, start + later);
            CHECK(Click(guard, start + later + 90));
        }
    }
}
