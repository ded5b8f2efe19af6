// The handshake's clock: exact pauses, the 1 ms timer, the rest between reads.
#include "timing.h"

#include "late_bound.h"

namespace {

// Sleep may return up to a timer tick early or late (Sleep(1) takes about
// 2 ms on XP even at 1 ms resolution): it covers all but the last 2 ms, and
// the performance counter times the rest.
constexpr LONGLONG SPIN_MS = 2;

LONGLONG CounterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// timeBeginPeriod or timeEndPeriod, as function names it, for 1 ms: from
// the multimedia timer's DLL, which only a transfer needs.
void CallTimePeriod(const char* function)
{
    using TimePeriod = UINT(WINAPI*)(UINT);
    if (const auto timePeriod = LateBound<TimePeriod>("winmm.dll", function)) {
        timePeriod(1);
    }
}

} // namespace

void PauseUsing(unsigned milliseconds, void(WINAPI* sleep)(DWORD))
{
    // The counter exists on every system from XP on.
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // Rounded up, so that the pause is never a counter tick short.
    const LONGLONG end = CounterNow() + (frequency.QuadPart * milliseconds + 999) / 1000;
    for (;;) {
        const LONGLONG left = end - CounterNow();
        if (left <= 0)
            return;
        const LONGLONG sleepMs = left * 1000 / frequency.QuadPart - SPIN_MS;
        if (sleepMs > 0)
            sleep(static_cast<DWORD>(sleepMs));
    }
}

void PausePort(unsigned milliseconds)
{
    PauseUsing(milliseconds, Sleep);
}

DWORD PunchClockMs()
{
    return GetTickCount();
}

void RestBetweenReads()
{
    Sleep(1);
}

void BeginFineTiming()
{
    CallTimePeriod("timeBeginPeriod");
}

void EndFineTiming()
{
    CallTimePeriod("timeEndPeriod");
}
