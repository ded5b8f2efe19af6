// The commands behind the buttons: choosing a file, and sending it to the
// punch on a worker thread so that the window stays alive while the punch
// works, and can cancel it.
#include "main_window.h"
#include "click_guard.h"
#include "late_bound.h"
#include "transfer.h"

#include <commdlg.h>

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 1;
constexpr UINT PROGRESS_INTERVAL_MS = 200;
// Asks, after a send button changed meaning, whether the change is over.
constexpr UINT_PTR SETTLE_TIMER = 2;
constexpr UINT SETTLE_INTERVAL_MS = 100;
// Windows ends a session or sleeps once the windows have answered, and
// takes a window that is slower for one that hangs: a transfer held in a
// read gets this long to stop and leave the port at rest.
constexpr DWORD SYSTEM_STOP_WAIT_MS = 1500;
constexpr int CAPTION_CAPACITY = 128;
// A punch that stays busy longer than this is worth telling the user about.
constexpr LONG PUNCH_STALL_MS = 2000;
constexpr const wchar_t* CANCEL_TEXT = L"Cancel";
// Everything but the pressed send button is disabled while a transfer runs;
// the path field too, so the window always names the file being punched.
constexpr int CONTROLS_LOCKED_BY_TRANSFER[] = {ID_SELECT_FILE, ID_PATH, ID_SEND_LPT1,
                                               ID_SEND_LPT2};
// Shown by Windows Vista and later when a transfer holds up log-off or shutdown.
constexpr const wchar_t* SHUTDOWN_REASON = L"A tape is being punched.";

// The one transfer that may run; thread is null while none does. The window
// thread fills it before the worker starts and clears it after the worker
// has ended, so only control is touched by both at once. captionBefore is
// the caption when the send was clicked: a send that puts no byte on the
// port leaves it as it was, with the count of the tape stopped before.
struct Transfer {
    HANDLE thread;
    HWND window;
    int buttonId;
    PortBase port;
    bool closeWhenDone;
    wchar_t path[PATH_CAPACITY];
    wchar_t captionBefore[CAPTION_CAPACITY];
    TransferControl control;
};
Transfer g_transfer;

ClickGuard g_clicks = {GetTickCount};
// A file dialog is open: the clicks it lets through choose no second file.
bool g_choosingFile = false;

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

void ShowError(HWND window, const wchar_t* text)
{
    MessageBoxW(window, text, nullptr, MB_ICONERROR | MB_OK);
}

void SetCaption(HWND window, const wchar_t* caption)
{
    // Setting an unchanged caption would still repaint it five times a second.
    wchar_t shown[CAPTION_CAPACITY] = {};
    GetWindowTextW(window, shown, CAPTION_CAPACITY);
    if (lstrcmpW(shown, caption) != 0) {
        SetWindowTextW(window, caption);
    }
}

// The caption: the title alone, or after news of the transfer and its count,
// "<news>N of M bytes - <title>". The news comes first: a 410-pixel caption,
// or a taskbar button, cuts off the end of a long caption.
void ShowCaption(HWND window, const wchar_t* news)
{
    wchar_t caption[CAPTION_CAPACITY];
    if (news) {
        wsprintfW(caption, L"%s%ld of %ld bytes - %s", news, g_transfer.control.bytesSent,
                  g_transfer.control.fileSize, WINDOW_TITLE);
    } else {
        lstrcpyW(caption, WINDOW_TITLE);
    }
    SetCaption(window, caption);
}

// A tape that stopped short keeps its count in the caption until the next
// send puts a byte on the port: it is where a repair piece starts. A send
// that put none leaves the caption as it found it.
void ShowOutcomeCaption(HWND window, TransferOutcome outcome)
{
    if (g_transfer.control.bytesSent == 0) {
        SetCaption(window, g_transfer.captionBefore);
    } else {
        ShowCaption(window, outcome == TransferOutcome::Sent ? nullptr : L"Stopped after ");
    }
}

// The thread's exit code is the outcome.
DWORD WINAPI TransferThread(LPVOID parameter)
{
    Transfer* transfer = static_cast<Transfer*>(parameter);
    // No idle sleep while the punch works; the request ends with the thread.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    TransferOutcome outcome = SendFileToPunch(transfer->path, transfer->port, &transfer->control);
    PostMessageW(transfer->window, WM_TRANSFER_DONE, 0, 0);
    return static_cast<DWORD>(outcome);
}

// While a transfer runs only its own button, now "Cancel", stays usable.
void ShowTransferRunning(HWND window, bool running)
{
    for (int id : CONTROLS_LOCKED_BY_TRANSFER) {
        if (id != g_transfer.buttonId) {
            EnableWindow(GetDlgItem(window, id), !running);
        }
    }
    NoteChange(g_clicks);
    SetTimer(window, SETTLE_TIMER, SETTLE_INTERVAL_MS, nullptr);
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
    WaitForSingleObject(g_transfer.thread, INFINITE);
    DWORD ended = 0;
    GetExitCodeThread(g_transfer.thread, &ended);
    CloseHandle(g_transfer.thread);
    g_transfer.thread = nullptr;
    ShowTransferRunning(window, false);
    const auto outcome = static_cast<TransferOutcome>(ended);
    ShowOutcomeCaption(window, outcome);
    if (g_transfer.closeWhenDone) {
        DestroyWindow(window);
    } else if (const wchar_t* message = OutcomeMessage(outcome)) {
        ShowError(window, message);
    }
}

// For the end of the session or a sleep: stops the transfer and, within the
// time a window has to answer, waits for the port to be left at rest and
// says in the caption where the tape stopped. Its worker sees the stop even
// while a read of the file hangs. Any message waits for the transfer's done
// message, which comes after this one: no box opens while Windows waits.
void StopForSystem(HWND window)
{
    RequestStop(&g_transfer.control);
    KillTimer(window, PROGRESS_TIMER);
    DWORD ended = static_cast<DWORD>(TransferOutcome::Stopped);
    if (WaitForSingleObject(g_transfer.thread, SYSTEM_STOP_WAIT_MS) == WAIT_OBJECT_0) {
        GetExitCodeThread(g_transfer.thread, &ended);
    }
    ShowOutcomeCaption(window, static_cast<TransferOutcome>(ended));
}

void OnSelectFile(HWND window)
{
    // A double-click read late reaches the button again while the dialog
    // it opened is open.
    if (g_choosingFile) {
        return;
    }
    wchar_t path[PATH_CAPACITY] = {};
    OPENFILENAMEW request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    // Owned, the window waits while a file is chosen: no send starts under
    // the dialog.
    request.hwndOwner = window;
    // A list whose first entry is already its end: no file types offered.
    request.lpstrFilter = L"\0";
    request.lpstrFile = path;
    request.nMaxFile = PATH_CAPACITY;
    request.lpstrTitle = L"Select file for copiing";
    // Otherwise the chosen folder becomes the program's current folder and
    // stays in use: a USB stick with the tapes could not be removed.
    request.Flags = OFN_NOCHANGEDIR;
    // The dialog's DLL, and the shell it brings along, load on the first
    // click rather than at every start.
    using GetOpenFileName = BOOL(WINAPI*)(LPOPENFILENAMEW);
    const auto getOpenFileName =
        LateBound<GetOpenFileName>("comdlg32.dll", "GetOpenFileNameW");
    g_choosingFile = true;
    const bool chosen = getOpenFileName && getOpenFileName(&request);
    g_choosingFile = false;
    if (chosen) {
        SetDlgItemTextW(window, ID_PATH, path);
    }
}

void OnSend(HWND window, int buttonId, PortBase port)
{
    if (!TakesClick(g_clicks, GetDlgItem(window, buttonId))) {
        return;
    }
    if (g_transfer.thread) {
        if (buttonId == g_transfer.buttonId) {
            RequestStop(&g_transfer.control);
        }
        return;
    }
    // Cutting a longer path to fit could name a different file.
    if (GetWindowTextLengthW(GetDlgItem(window, ID_PATH)) >= PATH_CAPACITY) {
        ShowError(window, OutcomeMessage(TransferOutcome::FileNotOpened));
        return;
    }
    GetDlgItemTextW(window, ID_PATH, g_transfer.path, PATH_CAPACITY);
    GetWindowTextW(window, g_transfer.captionBefore, CAPTION_CAPACITY);
    g_transfer.window = window;
    g_transfer.buttonId = buttonId;
    g_transfer.port = port;
    g_transfer.closeWhenDone = false;
    g_transfer.control = TransferControl{};
    g_transfer.thread = CreateThread(nullptr, 0, TransferThread, &g_transfer, 0, nullptr);
    if (g_transfer.thread) {
        ShowTransferRunning(window, true);
    }
}

} // namespace

void OnCommand(HWND window, WPARAM command)
{
    // The whole wParam: a notification code other than a click matches nothing.
    switch (command) {
    case ID_SELECT_FILE:
        OnSelectFile(window);
        break;
    case ID_SEND_LPT1:
        OnSend(window, ID_SEND_LPT1, LPT1_BASE);
        break;
    case ID_SEND_LPT2:
        OnSend(window, ID_SEND_LPT2, LPT2_BASE);
        break;
    }
}

void OnTimer(HWND window, WPARAM timer)
{
    if (timer == SETTLE_TIMER) {
        if (ChangeSettled(g_clicks)) {
            KillTimer(window, SETTLE_TIMER);
        }
        return;
    }
    // The count shows from the first byte on the port; a punch that holds
    // up even the first is news at once. Signed: a wait that begins after
    // now was read is not a long one.
    const DWORD now = GetTickCount();
    const TransferControl& control = g_transfer.control;
    const bool stalled = control.waitingForPunch
        && static_cast<LONG>(now - control.waitStartTick) > PUNCH_STALL_MS;
    if (stalled || control.bytesSent > 0) {
        ShowCaption(window, stalled ? L"Waiting for the punch - " : L"");
    }
}

void NotePress(const MSG& message)
{
    NoteInput(g_clicks, message);
}

void OnTransferDone(HWND window)
{
    if (g_transfer.thread) {
        FinishTransfer(window);
    }
}

void OnClose(HWND window)
{
    // The window goes once the transfer has stopped and left the port at rest.
    if (g_transfer.thread) {
        g_transfer.closeWhenDone = true;
        RequestStop(&g_transfer.control);
    } else {
        DestroyWindow(window);
    }
}

LRESULT OnQueryEndSession()
{
    // Log-off or shutdown now would end the program mid-tape.
    return g_transfer.thread ? FALSE : TRUE;
}

void OnEndSession(HWND window, WPARAM ending)
{
    // Windows ends the process once this returns: leave the port at rest first.
    if (ending && g_transfer.thread) {
        StopForSystem(window);
    }
}

LRESULT OnPowerBroadcast(HWND window, WPARAM event, LPARAM data)
{
    // Windows XP asks before a standby or hibernation that a person started.
    if (event == PBT_APMQUERYSUSPEND) {
        return g_transfer.thread ? BROADCAST_QUERY_DENY : TRUE;
    }
    // Vista and later do not ask: a sleep would freeze the handshake
    // mid-byte. The port is at rest, and the caption says where the tape
    // stopped, before the PC sleeps.
    if (event == PBT_APMSUSPEND && g_transfer.thread) {
        StopForSystem(window);
    }
    return DefWindowProcW(window, WM_POWERBROADCAST, event, data);
}
