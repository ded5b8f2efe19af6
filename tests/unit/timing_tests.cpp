// The handshake's real clock, timed on the performance counter.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "timing.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int PAUSES_PER_CASE = 15;
// Preemption on a busy test machine may stretch any one pause; the middle
// one shows what the pause itself does.
constexpr double MEDIAN_OVER_MS = 0.2;

// System timers that wake a tick early or a tick late, as Windows' Sleep
// may at 1 ms resolution.
void WINAPI EarlySleep(DWORD milliseconds)
{
    Sleep(milliseconds > 0 ? milliseconds - 1 : 0);
}

void WINAPI LateSleep(DWORD milliseconds)
{
    Sleep(milliseconds + 1);
}

LONGLONG Counter()
{
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

// The lengths of a few pauses, shortest first.
std::vector<double> TimePauses(unsigned milliseconds, void(WINAPI* sleep)(DWORD))
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> lengths;
    for (int i = 0; i < PAUSES_PER_CASE; ++i) {
        const LONGLONG start = Counter();
        if (sleep)
            PauseUsing(milliseconds, sleep);
        else
            PausePort(milliseconds);
        // From the difference in counts: two large times in milliseconds
        // would each be rounded, and a full pause could look a hair short.
        lengths.push_back(1000.0 * static_cast<double>(Counter() - start) /
                          static_cast<double>(frequency.QuadPart));
    }
    std::sort(lengths.begin(), lengths.end());
    return lengths;
}

} // namespace

TEST_CASE("a pause lasts its full time and at most 0.2 ms more, however the timer wakes")
{
    struct Timer {
        const char* name;
        void(WINAPI* sleep)(DWORD);
    };
    BeginFineTiming();
    for (const Timer& timer : {Timer{"Sleep", nullptr}, Timer{"a tick early", EarlySleep},
                               Timer{"a tick late", LateSleep}}) {
        for (unsigned milliseconds : {12u, 1u}) {
            const std::vector<double> lengths = TimePauses(milliseconds, timer.sleep);
            INFO(std::string(timer.name) << ", " << milliseconds << " ms: shortest " << lengths.front()
                            << ", median " << lengths[lengths.size() / 2] << ", longest "
                            << lengths.back());
            std::printf("%s, %u ms: shortest %.3f, median %.3f, longest %.3f ms\n", timer.name,
                        milliseconds, lengths.front(), lengths[lengths.size() / 2], lengths.back());
            CHECK(lengths.front() >= milliseconds);
            CHECK(lengths[lengths.size() / 2] <= milliseconds + MEDIAN_OVER_MS);
        }
    }
    EndFineTiming();
}
