// The handshake's clock: exact pauses, the time of a wait, and a rest for
// the reads of a punch that stays busy. Tests link a recording fake in its
// place, together with the port's.
#pragma once

#include <windows.h>

// A pause of at least the given time and at most about 0.2 ms more.
void PausePort(unsigned milliseconds);
// The same with another sleep function, so that a test can stand in a
// system timer that wakes early or late.
void PauseUsing(unsigned milliseconds, void(WINAPI* sleep)(DWORD));

// Milliseconds on the system's tick count (GetTickCount), for timing the
// wait for a busy punch.
DWORD PunchClockMs();
// Gives the processor away for about a millisecond between two status reads.
void RestBetweenReads();

// Windows' default 15.6 ms timer tick would stretch every sleep; these
// raise the system timer resolution to 1 ms and give it back.
void BeginFineTiming();
void EndFineTiming();
