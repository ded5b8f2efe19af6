// What a click on a send button means, on the clock the guard is handed.
#include "click_guard.h"

namespace {

// Milliseconds from earlier to later, negative when "earlier" is in fact
// later. Signed, it holds across the wrap, for times less than 24.9 days
// apart: only times within a change are compared.
LONG TicksBetween(DWORD earlier, DWORD later)
{
    return static_cast<LONG>(later - earlier);
}

bool WithinChange(const ClickGuard& guard, DWORD time)
{
    return guard.settling
        && TicksBetween(guard.changedAt, time) < static_cast<LONG>(GetDoubleClickTime());
}

} // namespace

void NoteInput(ClickGuard& guard, const MSG& message)
{
    // A held space bar repeats its WM_KEYDOWN: the press began at the first.
    const bool press = message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK
        || (message.message == WM_KEYDOWN && message.wParam == VK_SPACE
            && (HIWORD(message.lParam) & KF_REPEAT) == 0);
    if (press) {
        guard.press = {message.hwnd, guard.meaningNumber, WithinChange(guard, message.time)};
    }
}

void NoteChange(ClickGuard& guard)
{
    ++guard.meaningNumber;
    guard.settling = true;
    guard.changedAt = guard.clock();
}

bool ChangeSettled(ClickGuard& guard)
{
    guard.settling = WithinChange(guard, guard.clock());
    return !guard.settling;
}

bool TakesClick(ClickGuard& guard, HWND button)
{
    // A click with no press of its own (BM_CLICK, from another program) is
    // made when it is reported.
    const ButtonPress press = guard.press.control == button
                                  ? guard.press
                                  : ButtonPress{button, guard.meaningNumber,
                                                WithinChange(guard, guard.clock())};
    guard.press = {};
    return press.meaningNumber == guard.meaningNumber && !press.withinChange;
}
