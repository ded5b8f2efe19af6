// The main window and its controls: what its set-up, its message loop and
// the handlers of its messages share.
#pragma once

#include <windows.h>

enum ControlId : int {
    ID_SELECT_FILE = 1001,
    ID_SEND_LPT1 = 1002,
    ID_PATH = 1003,
    ID_SEND_LPT2 = 1004,
};

// A path in the field holds at most 254 characters and its terminator.
// Paths and texts pass through the wide (...W) calls only: a file name in
// any script reaches the file system as the field shows it.
constexpr int PATH_CAPACITY = 255;

constexpr const wchar_t* WINDOW_TITLE = L"Facit 4070 puncher simple interface";

// Posted by the transfer's thread as its last act; the thread's exit code
// is the outcome.
constexpr UINT WM_TRANSFER_DONE = WM_APP + 1;

enum TimerId : UINT_PTR {
    // Refreshes the caption's count while a transfer runs.
    PROGRESS_TIMER = 1,
    // Asks, after a send button changed meaning, whether the change is over.
    SETTLE_TIMER = 2,
};

struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int x, y, width, height;
};

// In creation order, which is also the order in which the window lists its
// children. Positions are fixed client pixels: nothing moves on resize.
constexpr ControlLayout MAIN_CONTROLS[] = {
    {ID_SELECT_FILE, L"button", L"Select file", 0, 10, 10, 380, 30},
    // Scrolls sideways, so that a path longer than the field is typed whole.
    {ID_PATH, L"edit", L"No file yet...", WS_BORDER | ES_AUTOHSCROLL, 10, 45, 380, 30},
    {ID_SEND_LPT1, L"button", L"Send File to LPT1 (378h)", 0, 10, 80, 380, 30},
    {ID_SEND_LPT2, L"button", L"Send File to LPT2 (278h)", 0, 10, 113, 380, 30},
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The handlers behind MainWindowProc. The commands (commands.cpp):
void OnCommand(HWND window, WPARAM command);
void OnSettleTimer(HWND window);
// The transfer's thread (transfer_thread.cpp):
void OnProgressTimer(HWND window);
void OnTransferDone(HWND window);
void OnClose(HWND window);
// The session and the power (session.cpp):
LRESULT OnQueryEndSession();
void OnEndSession(HWND window, WPARAM ending);
LRESULT OnPowerBroadcast(HWND window, WPARAM event, LPARAM data);

// Called by the message loop with every message before it is dispatched:
// notes where a mouse or keyboard press began, and what the send buttons
// meant at that moment.
void NotePress(const MSG& message);

// The program's only message box: an error, with OK.
inline void ShowError(HWND window, const wchar_t* text)
{
    MessageBoxW(window, text, nullptr, MB_ICONERROR | MB_OK);
}
