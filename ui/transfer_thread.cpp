// The transfer's worker thread: its start, the window while it runs, its end.
#include "transfer_thread.h"
#include "caption.h"
#include "commands.h"
#include "main_window.h"
#include "session.h"

namespace {

constexpr UINT PROGRESS_INTERVAL_MS = 200;
constexpr const wchar_t* CANCEL_TEXT = L"Cancel";
// Everything but the pressed send button is disabled while a transfer runs;
// the path field too, so the window always names the file being punched.
constexpr int CONTROLS_LOCKED_BY_TRANSFER[] = {ID_SELECT_FILE, ID_PATH, ID_SEND_LPT1,
                                               ID_SEND_LPT2};

// The one transfer that may run; thread is null while none does. The window
// thread fills it before the worker starts and clears it after the worker
// has ended, so only control is touched by both at once. captionAtClick is
// the caption when the send was clicked: a send that puts no byte on the
// port leaves it as it was, with the count of the tape stopped before.
struct Transfer {
    HANDLE thread;
    HWND window;
    int buttonId;
    PortBase port;
    bool closeWhenDone;
    wchar_t path[PATH_CAPACITY];
    wchar_t captionAtClick[CAPTION_CAPACITY];
    TransferControl control;
};
Transfer g_transfer;

// The thread's exit code is the outcome.
DWORD WINAPI RunTransfer(LPVOID parameter)
{
    Transfer* transfer = static_cast<Transfer*>(parameter);
    // No idle sleep while the punch works.
    StayAwakeWhileThreadRuns();
    TransferOutcome outcome = SendFileToPunch(transfer->path, transfer->port, &transfer->control);
    PostMessageW(transfer->window, WM_TRANSFER_DONE, 0, 0);
    return static_cast<DWORD>(outcome);
}

// The worker's outcome once it has ended, waiting at most waitMs for it;
// stillRunning while it has not.
TransferOutcome OutcomeWithin(DWORD waitMs, TransferOutcome stillRunning)
{
    DWORD exitCode = static_cast<DWORD>(stillRunning);
    if (WaitForSingleObject(g_transfer.thread, waitMs) == WAIT_OBJECT_0) {
        GetExitCodeThread(g_transfer.thread, &exitCode);
    }
    return static_cast<TransferOutcome>(exitCode);
}

void ShowOutcome(HWND window, TransferOutcome outcome)
{
    ShowOutcomeCaption(window, outcome, g_transfer.control, g_transfer.captionAtClick);
}

// While a transfer runs only its own button, now "Cancel", stays usable.
void ShowTransferRunning(HWND window, bool running)
{
    for (int id : CONTROLS_LOCKED_BY_TRANSFER) {
        if (id != g_transfer.buttonId) {
            EnableWindow(GetDlgItem(window, id), !running);
        }
    }
    NoteButtonsChange(window);
    SetShutdownBlockReason(window, running);
    for (const ControlLayout& control : MAIN_CONTROLS) {
        if (control.id == g_transfer.buttonId) {
            SetDlgItemTextW(window, control.id, running ? CANCEL_TEXT : control.text);
        }
    }
    if (running) {
        SetTimer(window, PROGRESS_TIMER, PROGRESS_INTERVAL_MS, nullptr);
    } else {
        KillTimer(window, PROGRESS_TIMER);
    }
}

// Called for WM_TRANSFER_DONE, the worker's last act, so the wait for it
// is short. Ends the transfer, then closes the window if that was asked
// for meanwhile, or else shows the outcome's message.
void FinishTransfer(HWND window)
{
    const TransferOutcome outcome = OutcomeWithin(INFINITE, TransferOutcome::Sent);
    CloseHandle(g_transfer.thread);
    g_transfer.thread = nullptr;
    ShowTransferRunning(window, false);
    ShowOutcome(window, outcome);
    if (g_transfer.closeWhenDone) {
        DestroyWindow(window);
    } else if (wchar_t message[OUTCOME_TEXT_CAPACITY];
               OutcomeMessage(outcome, g_transfer.control, message)) {
        ShowError(window, message);
    }
}

} // namespace

bool TransferRunning()
{
    return g_transfer.thread != nullptr;
}

int TransferButton()
{
    return g_transfer.buttonId;
}

void StartTransfer(HWND window, int buttonId, PortBase port, const wchar_t* path)
{
    lstrcpyW(g_transfer.path, path);
    GetWindowTextW(window, g_transfer.captionAtClick, CAPTION_CAPACITY);
    g_transfer.window = window;
    g_transfer.buttonId = buttonId;
    g_transfer.port = port;
    g_transfer.closeWhenDone = false;
    g_transfer.control = TransferControl{};
    g_transfer.thread = CreateThread(nullptr, 0, RunTransfer, &g_transfer, 0, nullptr);
    if (g_transfer.thread) {
        ShowTransferRunning(window, true);
    }
}

void StopTransfer()
{
    RequestStop(&g_transfer.control);
}

void StopTransferWithin(HWND window, DWORD waitMs)
{
    StopTransfer();
    KillTimer(window, PROGRESS_TIMER);
    ShowOutcome(window, OutcomeWithin(waitMs, TransferOutcome::Stopped));
}

void OnProgressTimer(HWND window)
{
    ShowProgressCaption(window, g_transfer.control);
}

void OnTransferDone(HWND window)
{
    if (TransferRunning()) {
        FinishTransfer(window);
    }
}

void OnClose(HWND window)
{
    // The window goes once the transfer has stopped and left the port at rest.
    if (TransferRunning()) {
        g_transfer.closeWhenDone = true;
        StopTransfer();
    } else {
        DestroyWindow(window);
    }
}
