// The transfer's worker thread, so that the window stays alive while the
// punch works: its start, the window while it runs, and its end.
#pragma once

#include "transfer.h"

#include <windows.h>

// From the start of a transfer until the window has seen it end.
bool TransferRunning();
// The send button whose Cancel a running transfer answers to.
int TransferButton();

// Sends path to port on a worker thread and turns the send button buttonId
// into Cancel; nothing happens when the thread cannot start. Only while
// none runs.
void StartTransfer(HWND window, int buttonId, PortBase port, const wchar_t* path);
// Asks the running transfer to stop after the byte in progress, or at
// once while it waits.
void StopTransfer();
// For the end of the session or a sleep: stops the running transfer and,
// within waitMs, waits for the port to be left at rest and shows in the
// caption where the tape stopped. The worker sees the stop even while a
// read of the file hangs. Any message waits for the transfer's done
// message, which comes after this one: no box opens while Windows waits.
void StopTransferWithin(HWND window, DWORD waitMs);
