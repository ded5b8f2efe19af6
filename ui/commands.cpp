// The commands behind the buttons: choosing a file, and sending it to the
// punch on a worker thread so that the window stays alive while the punch
// works, and can cancel it.
#include "main_window.h"
#include "late_bound.h"
#include "transfer.h"

#include <commdlg.h>

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 1;
constexpr UINT PROGRESS_INTERVAL_MS = 200;
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
// has ended, so only control is touched by both at once. serial counts the
// transfers started: a transfer ended early, for a sleep, leaves its done
// message behind, and that message must not end the next one.
struct Transfer {
    HANDLE thread;
    WPARAM serial;
    HWND window;
    int buttonId;
    PortBase port;
    bool closeWhenDone;
    wchar_t path[PATH_CAPACITY];
    TransferControl control;
};
Transfer g_transfer;

// A send button is both Send and Cancel. A click means what the button
// showed when the press began, and a press that comes within the
// double-click time of a change of meaning is the second half of a
// double-click meant for the old one: it means nothing.
LONG g_buttonMeaning = 0;           // counts the changes of meaning
DWORD g_buttonMeaningChangedAt = 0; // GetTickCount() of the last change
struct Press {
    HWND control;
    LONG meaning;
    DWORD time;
};
Press g_press = {};

// Milliseconds from earlier to later on GetTickCount's clock, negative when
// "earlier" is in fact later. Signed, it also holds across the count's wrap
// after 49.7 days.
LONG TicksBetween(DWORD earlier, DWORD later)
{
    return static_cast<LONG>(later - earlier);
}

// Whether the click just reported by a send button stands; forgets the press.
// A press read late, after the button changed under it, is older than the
// change and never stands.
bool ClickStands(HWND button)
{
    const Press press = g_press.control == button
                            ? g_press
                            : Press{button, g_buttonMeaning, GetTickCount()};
    g_press = {};
    return press.meaning == g_buttonMeaning
        && TicksBetween(g_buttonMeaningChangedAt, press.time)
               >= static_cast<LONG>(GetDoubleClickTime());
}

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

// The caption: the title alone, or after news of the transfer and its count,
// "<news>N of M bytes - <title>". The news comes first: a 410-pixel caption,
// or a taskbar button, cuts off the end of a long caption.
void ShowCaption(HWND window, const wchar_t* news)
{
    wchar_t caption[128];
    if (news) {
        wsprintfW(caption, L"%s%ld of %ld bytes - %s", news, g_transfer.control.bytesSent,
                  g_transfer.control.fileSize, WINDOW_TITLE);
    } else {
        lstrcpyW(caption, WINDOW_TITLE);
    }
    // Setting an unchanged caption would still repaint it five times a second.
    wchar_t shown[128] = {};
    GetWindowTextW(window, shown, 128);
    if (lstrcmpW(shown, caption) != 0) {
        SetWindowTextW(window, caption);
    }
}

// The thread's exit code is the outcome.
DWORD WINAPI TransferThread(LPVOID parameter)
{
    Transfer* transfer = static_cast<Transfer*>(parameter);
    // No idle sleep while the punch works; the request ends with the thread.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    TransferOutcome outcome = SendFileToPunch(transfer->path, transfer->port, &transfer->control);
    PostMessageW(transfer->window, WM_TRANSFER_DONE, transfer->serial, 0);
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
    ++g_buttonMeaning;
    g_buttonMeaningChangedAt = GetTickCount();
    SetShutdownBlockReason(window, running);
    for (const ControlLayout& control : MAIN_CONTROLS) {
        if (control.id == g_transfer.buttonId) {
            SetDlgItemTextW(window, control.id, running ? CANCEL_TEXT : control.text);
        }
    }
    if (running) {
        ShowCaption(window, nullptr);
        SetTimer(window, PROGRESS_TIMER, PROGRESS_INTERVAL_MS, nullptr);
    } else {
        KillTimer(window, PROGRESS_TIMER);
    }
}

// Waits for the worker, whose last act is to post WM_TRANSFER_DONE, so the
// wait is short once it has been asked to stop or has finished. A transfer
// that stopped short keeps its count in the caption until the next send:
// it is where a repair piece starts.
TransferOutcome EndTransfer(HWND window)
{
    WaitForSingleObject(g_transfer.thread, INFINITE);
    DWORD outcome = 0;
    GetExitCodeThread(g_transfer.thread, &outcome);
    CloseHandle(g_transfer.thread);
    g_transfer.thread = nullptr;
    ShowTransferRunning(window, false);
    const auto ended = static_cast<TransferOutcome>(outcome);
    const bool stoppedShort =
        ended == TransferOutcome::Stopped || ended == TransferOutcome::ReadFailed;
    ShowCaption(window, stoppedShort ? L"Stopped after " : nullptr);
    return ended;
}

// Ends the transfer, then closes the window if that was asked for
// meanwhile, or else shows the outcome's message.
void FinishTransfer(HWND window)
{
    const TransferOutcome outcome = EndTransfer(window);
    if (g_transfer.closeWhenDone) {
        DestroyWindow(window);
    } else if (const wchar_t* message = OutcomeMessage(outcome)) {
        ShowError(window, message);
    }
}

void OnSelectFile(HWND window)
{
    wchar_t path[PATH_CAPACITY] = {};
    OPENFILENAMEW request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    // Owned, the window waits while a file is chosen: no send starts under
    // the dialog, and no second dialog opens.
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
    if (getOpenFileName && getOpenFileName(&request)) {
        SetDlgItemTextW(window, ID_PATH, path);
    }
}

void OnSend(HWND window, int buttonId, PortBase port)
{
    if (!ClickStands(GetDlgItem(window, buttonId))) {
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
    ++g_transfer.serial;
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

void OnProgressTimer(HWND window)
{
    const TransferControl& control = g_transfer.control;
    const bool stalled = control.waitingForPunch
        && TicksBetween(control.waitStartTick, GetTickCount()) > PUNCH_STALL_MS;
    ShowCaption(window, stalled ? L"Waiting for the punch - " : L"");
}

void NotePress(const MSG& message)
{
    // A held space bar repeats its WM_KEYDOWN: the press began at the first.
    const bool press = message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK
        || (message.message == WM_KEYDOWN && message.wParam == VK_SPACE
            && (HIWORD(message.lParam) & KF_REPEAT) == 0);
    if (press) {
        g_press = {message.hwnd, g_buttonMeaning, message.time};
    }
}

void OnTransferDone(HWND window, WPARAM serial)
{
    // A transfer ended early, with the session or for a sleep, is over.
    if (g_transfer.thread && serial == g_transfer.serial) {
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
        RequestStop(&g_transfer.control);
        EndTransfer(window);
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
        RequestStop(&g_transfer.control);
        FinishTransfer(window);
    }
    return DefWindowProcW(window, WM_POWERBROADCAST, event, data);
}
