// The handshake's clock: exact pauses, the time of a wait, and a rest for
// the reads of a punch that stays busy. Tests link a recording fake in its
// place, together with the port's.
#pragma once

#include <windows.h>

// The handshake's pauses: the blank data lines before each byte, and the
// least time from a byte to the start of the next.
constexpr unsigned PAUSE_BEFORE_BYTE_MS = 12;
constexpr unsigned PAUSE_AFTER_BYTE_MS = 1;
// The Facit 4070's rating, 75 rows a second: busy for 1/75 s after a byte.
constexpr double PUNCH_BUSY_MS = 1000.0 / 75;
// What a person waits per row with this program on that punch: the blank
// before the byte, then the punch's busy time, longer than the pause after.
constexpr double ROW_MS = PAUSE_BEFORE_BYTE_MS + (PUNCH_BUSY_MS > PAUSE_AFTER_BYTE_MS
                                                      ? PUNCH_BUSY_MS
                                                      : PAUSE_AFTER_BYTE_MS);

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
