// What a click on a send button means. The button is both Send and Cancel:
// a click means what the window showed when its press began, and for the
// double-click time after the button changes meaning no click is taken, so
// that the second half of a double-click meant for the old meaning does
// nothing. A press made before a change and read after it, on a PC that
// takes its input late, is not taken either.
//
// Times are on the system's tick count, which wraps after 49.7 days; the
// guard is handed its clock, so that a test can set it anywhere.
#pragma once

#include <windows.h>

struct ButtonPress {
    HWND control;
    LONG meaningNumber; // the guard's meaningNumber when the press was read
    bool withinChange;  // made within the last change, as judged when read
};

struct ClickGuard {
    DWORD(WINAPI* clock)();
    LONG meaningNumber = 0; // numbers the buttons' meanings: one more a change
    bool settling = false;  // a change is under way: changedAt is recent
    DWORD changedAt = 0;    // clock() at the last change
    ButtonPress press = {};
};

// Given every input message as the message loop reads it: notes where a
// mouse or space-bar press began, what the buttons meant then, and whether
// it fell within a change. That is judged when the press is read, since the
// change may be over, by the timer, before the press's release is.
void NoteInput(ClickGuard& guard, const MSG& message);
// The buttons change meaning now.
void NoteChange(ClickGuard& guard);
// Whether the double-click time since the last change has passed; once it
// has, the change is over and no time is compared again until the next one.
bool ChangeSettled(ClickGuard& guard);
// Whether the click just reported by button is taken; forgets the press.
bool TakesClick(ClickGuard& guard, HWND button);
