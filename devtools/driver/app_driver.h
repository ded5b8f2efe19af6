// Drives the real tapelark.exe from outside, through the Windows API, the
// way Wine's own user32 tests drive windows: find them, read them, send
// them messages. Every wait has a deadline, so a broken program fails
// instead of hanging whatever drives it.
#pragma once

#include "test_support.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

constexpr DWORD WAIT_MS = 15000;

// One run of tapelark.exe, directly or under the emulated port and punch.
// A test that fails half-way leaves no process and no file behind it.
struct AppRun {
    PROCESS_INFORMATION started = {}; // tapelark, or the portemu running it
    DWORD appId = 0;                  // tapelark's own process
    HWND window = nullptr;
    std::string trace, punched;       // portemu's outputs, when emulated
    std::vector<std::string> files;   // made for the run, deleted with it
    AppRun() = default;
    AppRun(const AppRun&) = delete;
    AppRun& operator=(const AppRun&) = delete;
    ~AppRun();
};

// Starts the program and waits for its main window; false when it does not
// come. emulatorOptions, when given, runs it under portemu with them.
bool StartApp(AppRun& app, const char* emulatorOptions = nullptr);
// Waits for the process started (portemu passes on tapelark's exit code);
// STILL_ACTIVE when it does not end in time.
DWORD WaitForExit(AppRun& app);

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = WAIT_MS);
HWND WaitForWindow(const std::function<HWND()>& find, DWORD timeoutMs = WAIT_MS);

bool HasClass(HWND window, const char* className);
// A visible top-level window of the app's process with that class (and title).
HWND FindAppWindow(const AppRun& app, const char* className, const char* title = nullptr);
// True when no dialog box of the app's shows up within a second.
bool NoDialogAppears(const AppRun& app);
// The first window of that class among parent's children, grandchildren...
HWND FindDescendant(HWND parent, const char* className);
// A dialog box ("#32770") owned by owner: how a message box shows up.
HWND FindOwnedDialog(HWND owner);

// Text through WM_GETTEXT/WM_SETTEXT, which the system carries across
// processes; GetWindowText would not ask another process's edit control.
// Wide messages, with the text as UTF-8 here.
std::string ReadWindowText(HWND window);
void WriteWindowText(HWND window, const std::string& text);
// What the screen shows at a point of the window's client area.
COLORREF ClientPixel(HWND window, int x, int y);
// A button click. It returns once the click has been handled, or after
// timeoutMs when the handler runs a modal window.
void Click(HWND button, DWORD timeoutMs = WAIT_MS);
// True when the window's thread handles a message within a second.
bool Answers(HWND window);
// Holds the window's thread, as a loaded or paging PC does, so that input
// posted meanwhile is read late; returns it for ReleaseWindowThread.
HANDLE HoldWindowThread(HWND window);
void ReleaseWindowThread(HANDLE thread);

// Mouse and keyboard input the way the system delivers it to a control:
// posted to the control, so it passes through the program's message loop.
// Each returns at once; the program handles the input in its own time.
void PostMouse(HWND control, UINT message); // at the control's centre
void PostClick(HWND control);
// A double-click: a click, a pause of gapMs, then the second press as the
// system reports it (WM_LBUTTONDBLCLK), held holdMs, and its release.
void PostDoubleClick(HWND control, DWORD gapMs, DWORD holdMs = 0);
// A key as the keyboard reports it: WM_KEYDOWN, again with repeat set for
// each repetition while it is held, then WM_KEYUP.
void PostKey(HWND control, UINT message, WPARAM key, bool repeat = false);
// Typed characters, one wide WM_CHAR each.
void PostTyping(HWND control, const std::string& text);
// Puts text on the clipboard and has the control paste it.
bool Paste(HWND control, const std::string& text);

