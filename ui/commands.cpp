// The commands behind the buttons: choosing a file, and sending it to the
// punch on a worker thread so that the window stays alive while the punch
// works, and can cancel it.
#include "main_window.h"
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
constexpr int BUTTON_IDS[] = {ID_SELECT_FILE, ID_SEND_LPT1, ID_SEND_LPT2};

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

void ShowError(HWND window, const char* text)
{
    MessageBoxA(window, text, nullptr, MB_ICONERROR | MB_OK);
}

DWORD WINAPI TransferThread(LPVOID parameter)
{
    Transfer* transfer = static_cast<Transfer*>(parameter);
    TransferOutcome outcome = SendFileToPunch(transfer->path, transfer->port, &transfer->control);
    PostMessageA(transfer->window, WM_TRANSFER_DONE, static_cast<WPARAM>(outcome), 0);
    return 0;
}

// While a transfer runs only its own button, now "Cancel", stays usable.
void ShowTransferRunning(HWND window, bool running)
{
    for (int id : BUTTON_IDS) {
        if (id != g_transfer.buttonId) {
            EnableWindow(GetDlgItem(window, id), !running);
        }
    }
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
    if (GetOpenFileNameA(&request)) {
        SetDlgItemTextA(window, ID_PATH, path);
    }
}

void OnSend(HWND window, int buttonId, PortBase port)
{
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

void OnTransferDone(HWND window, WPARAM outcome)
{
    // Posting this is the worker's last act, so the wait is short.
    WaitForSingleObject(g_transfer.thread, INFINITE);
    CloseHandle(g_transfer.thread);
    g_transfer.thread = nullptr;
    ShowTransferRunning(window, false);
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
