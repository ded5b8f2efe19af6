// The commands behind the buttons: choosing a file, and a send or its Cancel.
#include "commands.h"
#include "click_guard.h"
#include "late_bound.h"
#include "main_window.h"
#include "transfer_thread.h"

#include <commdlg.h>

namespace {

constexpr UINT SETTLE_INTERVAL_MS = 100;

ClickGuard g_clicks = {GetTickCount};
// A file dialog is open: the clicks it lets through choose no second file.
bool g_choosingFile = false;

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
    if (TransferRunning()) {
        if (buttonId == TransferButton()) {
            StopTransfer();
        }
        return;
    }
    // Cutting a longer path to fit could name a different file.
    if (GetWindowTextLengthW(GetDlgItem(window, ID_PATH)) >= PATH_CAPACITY) {
        wchar_t message[OUTCOME_TEXT_CAPACITY];
        OutcomeMessage(TransferOutcome::FileNotOpened, TransferControl{}, message);
        ShowError(window, message);
        return;
    }
    wchar_t path[PATH_CAPACITY] = {};
    GetDlgItemTextW(window, ID_PATH, path, PATH_CAPACITY);
    StartTransfer(window, buttonId, port, path);
}

} // namespace

void NoteButtonsChange(HWND window)
{
    NoteChange(g_clicks);
    SetTimer(window, SETTLE_TIMER, SETTLE_INTERVAL_MS, nullptr);
}

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

void OnSettleTimer(HWND window)
{
    if (ChangeSettled(g_clicks)) {
        KillTimer(window, SETTLE_TIMER);
    }
}

void NotePress(const MSG& message)
{
    NoteInput(g_clicks, message);
}
