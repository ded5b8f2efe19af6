// Session and power: log-off, shutdown and sleep while a tape is being punched.
#include "session.h"
#include "late_bound.h"
#include "main_window.h"
#include "transfer_thread.h"

namespace {

// Windows ends a session or sleeps once the windows have answered, and
// takes a window that is slower for one that hangs: a transfer held in a
// read gets this long to stop and leave the port at rest.
constexpr DWORD SYSTEM_STOP_WAIT_MS = 1500;
// Shown by Windows Vista and later when a transfer holds up log-off or shutdown.
constexpr const wchar_t* SHUTDOWN_REASON = L"A tape is being punched.";

} // namespace

// ShutdownBlockReason* came with Windows Vista: looked up, so that the
// program still starts on XP, where refusing WM_QUERYENDSESSION is enough.
void SetShutdownBlockReason(HWND window, bool blocking)
{
    if (blocking) {
        using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
        if (auto create = LateBound<Create>("user32.dll", "ShutdownBlockReasonCreate")) {
            create(window, SHUTDOWN_REASON);
        }
    } else {
        using Destroy = BOOL(WINAPI*)(HWND);
        if (auto destroy = LateBound<Destroy>("user32.dll", "ShutdownBlockReasonDestroy")) {
            destroy(window);
        }
    }
}

void StayAwakeWhileThreadRuns()
{
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

LRESULT OnQueryEndSession()
{
    // Log-off or shutdown now would end the program mid-tape.
    return TransferRunning() ? FALSE : TRUE;
}

void OnEndSession(HWND window, WPARAM ending)
{
    // Windows ends the process once this returns: leave the port at rest first.
    if (ending && TransferRunning()) {
        StopTransferWithin(window, SYSTEM_STOP_WAIT_MS);
    }
}

LRESULT OnPowerBroadcast(HWND window, WPARAM event, LPARAM data)
{
    // Windows XP asks before a standby or hibernation that a person started.
    if (event == PBT_APMQUERYSUSPEND) {
        return TransferRunning() ? BROADCAST_QUERY_DENY : TRUE;
    }
    // Vista and later do not ask: a sleep would freeze the handshake
    // mid-byte. The port is at rest, and the caption says where the tape
    // stopped, before the PC sleeps.
    if (event == PBT_APMSUSPEND && TransferRunning()) {
        StopTransferWithin(window, SYSTEM_STOP_WAIT_MS);
    }
    return DefWindowProcW(window, WM_POWERBROADCAST, event, data);
}
