// The commands behind the buttons: choosing a file, and sending it to the
// punch on a worker thread so that the window stays alive while the punch
// works, and can cancel it.
#include "main_window.h"
#include "late_bound.h"
#include "transfer.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 1;
constexpr UINT PROGRESS_INTERVAL_MS = 200;
// A punch that stays busy longer than this is worth telling the user about.
constexpr DWORD PUNCH_STALL_MS = 2000;
constexpr const char* CANCEL_TEXT = "Cancel";
// Everything but the pressed send button is disabled while a transfer runs;
// the path field too, so the window always names the file being punched.
constexpr int CONTROLS_LOCKED_BY_TRANSFER[] = {ID_SELECT_FILE, ID_PATH, ID_SEND_LPT1,
                                               ID_SEND_LPT2};
// Shown by Windows Vista and later when a transfer holds up log-off or shutdown.
constexpr const wchar_t* SHUTDOWN_REASON = L"A tape is being punched.";

// The one transfer that may run; thread is null while none does. The window
// thread fills it before the worker starts and clears it after the worker
// has ended, so only control is touched by both at once.
struct Transfer {
    HANDLE thread;
    HWND window;
    int buttonId;
    PortBase port;
    bool closeWhenDone;
    char path[PATH_CAPACITY];
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

// Whether the click just reported by a send button stands; forgets the press.
bool ClickStands(HWND button)
{
    const Press press = g_press.control == button
                            ? g_press
                            : Press{button, g_buttonMeaning, GetTickCount()};
    g_press = {};
    return press.meaning == g_buttonMeaning
        && press.time - g_buttonMeaningChangedAt >= GetDoubleClickTime();
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

void ShowError(HWND window, const char* text)
{
    MessageBoxA(window, text, nullptr, MB_ICONERROR | MB_OK);
}

DWORD WINAPI TransferThread(LPVOID parameter)
{
    Transfer* transfer = static_cast<Transfer*>(parameter);
    // No idle sleep while the punch works; the request ends with the thread.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    TransferOutcome outcome = SendFileToPunch(transfer->path, transfer->port, &transfer->control);
    PostMessageA(transfer->window, WM_TRANSFER_DONE, static_cast<WPARAM>(outcome), 0);
    return 0;
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
            SetDlgItemTextA(window, control.id, running ? CANCEL_TEXT : control.text);
        }
    }
    if (running) {
        SetTimer(window, PROGRESS_TIMER, PROGRESS_INTERVAL_MS, nullptr);
    } else {
        KillTimer(window, PROGRESS_TIMER);
        SetWindowTextA(window, WINDOW_TITLE);
    }
}

// Waits for the worker, whose last act is to post WM_TRANSFER_DONE, so the
// wait is short once it has been asked to stop or has finished.
void EndTransfer(HWND window)
{
    WaitForSingleObject(g_transfer.thread, INFINITE);
    CloseHandle(g_transfer.thread);
    g_transfer.thread = nullptr;
    ShowTransferRunning(window, false);
}

void OnSelectFile(HWND window)
{
    char path[PATH_CAPACITY] = {};
    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    // A list whose first entry is already its end: no file types offered.
    request.lpstrFilter = "\0";
    request.lpstrFile = path;
    request.nMaxFile = PATH_CAPACITY;
    request.lpstrTitle = "Select file for copiing";
    // The dialog's DLL, and the shell it brings along, load on the first
    // click rather than at every start.
    using GetOpenFileName = BOOL(WINAPI*)(LPOPENFILENAMEA);
    const auto getOpenFileName =
        LateBound<GetOpenFileName>("comdlg32.dll", "GetOpenFileNameA");
    if (getOpenFileName && getOpenFileName(&request)) {
        SetDlgItemTextA(window, ID_PATH, path);
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
    if (GetWindowTextLengthA(GetDlgItem(window, ID_PATH)) >= PATH_CAPACITY) {
        ShowError(window, OutcomeMessage(TransferOutcome::FileNotOpened));
        return;
    }
    GetDlgItemTextA(window, ID_PATH, g_transfer.path, PATH_CAPACITY);
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
    const bool stalled =
        control.waitingForPunch && GetTickCount() - control.waitStartTick > PUNCH_STALL_MS;
    // The news comes first: a 410-pixel caption, or a taskbar button, cuts
    // off the end of a long caption.
    char caption[128];
    std::snprintf(caption, sizeof caption, "%s%ld of %ld bytes - %s",
                  stalled ? "Waiting for the punch - " : "", control.bytesSent, control.fileSize,
                  WINDOW_TITLE);
    // Setting an unchanged caption would still repaint it five times a second.
    char shown[sizeof caption] = {};
    GetWindowTextA(window, shown, sizeof shown);
    if (std::strcmp(shown, caption) != 0) {
        SetWindowTextA(window, caption);
    }
}

void NotePress(const MSG& message)
{
    const bool press = message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK
        || (message.message == WM_KEYDOWN && message.wParam == VK_SPACE);
    if (press) {
        g_press = {message.hwnd, g_buttonMeaning, message.time};
    }
}

void OnTransferDone(HWND window, WPARAM outcome)
{
    if (!g_transfer.thread) {
        return; // already ended with the session
    }
    EndTransfer(window);
    if (g_transfer.closeWhenDone) {
        DestroyWindow(window);
    } else if (const char* message = OutcomeMessage(static_cast<TransferOutcome>(outcome))) {
        ShowError(window, message);
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
    return DefWindowProcA(window, WM_POWERBROADCAST, event, data);
}
