// Log-off, shutdown and sleep while a tape is being punched.
#pragma once

#include <windows.h>

// Names the running transfer as the reason that holds up log-off and
// shutdown, or takes the reason back.
void SetShutdownBlockReason(HWND window, bool blocking);
// Keeps the PC from its idle sleep until the calling thread ends.
void StayAwakeWhileThreadRuns();
