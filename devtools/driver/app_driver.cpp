#include "app_driver.h"

#include <tlhelp32.h>

#include <cstdio>

namespace {

DWORD ParentProcessId(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == processId) {
            parent = entry.th32ParentProcessID;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

// The app's windows: those of tapelark, whether started directly or as
// portemu's child. Other tests may run their own copies meanwhile.
bool BelongsToApp(const AppRun& app, HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId == app.appId || processId == app.started.dwProcessId
        || ParentProcessId(processId) == app.started.dwProcessId;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

} // namespace

bool HasClass(HWND window, const char* className)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, className) == 0;
}

AppRun::~AppRun()
{
    // Only a test that failed half-way finds the program still running.
    if (started.hProcess && WaitForSingleObject(started.hProcess, 0) == WAIT_TIMEOUT) {
        if (HANDLE app = OpenProcess(PROCESS_TERMINATE, FALSE, appId)) {
            TerminateProcess(app, 1);
            CloseHandle(app);
        }
        TerminateProcess(started.hProcess, 1);
        WaitForSingleObject(started.hProcess, WAIT_MS);
    }
    if (started.hProcess) {
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
    }
    for (const std::string& file : files) {
        DeleteFileW(Widen(file).c_str());
    }
}

bool StartApp(AppRun& app, const char* emulatorOptions)
{
    // Test programs are built one folder below tapelark.exe and portemu.exe.
    std::string command = '"' + SiblingPath("..\\tapelark.exe") + '"';
    if (emulatorOptions) {
        app.trace = TempPath("trace");
        app.punched = TempPath("punched");
        app.files.insert(app.files.end(), {app.trace, app.punched});
        command = UnderEmulatedPort(emulatorOptions, app.trace, app.punched, command);
    }
    if (!StartProcess(command, app.started))
        return false;
    app.window = WaitForWindow([&] { return FindAppWindow(app, "TAPELARK"); });
    if (!app.window)
        return false;
    GetWindowThreadProcessId(app.window, &app.appId);
    return true;
}

DWORD WaitForExit(AppRun& app)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(app.started.hProcess, WAIT_MS) == WAIT_OBJECT_0)
        GetExitCodeProcess(app.started.hProcess, &code);
    return code;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

HWND WaitForWindow(const std::function<HWND()>& find, DWORD timeoutMs)
{
    HWND window = nullptr;
    WaitUntil([&] { return (window = find()) != nullptr; }, timeoutMs);
    return window;
}

HWND FindAppWindow(const AppRun& app, const char* className, const char* title)
{
    for (HWND window : TopLevelWindows()) {
        char text[256] = {};
        GetWindowTextA(window, text, sizeof text);
        if (HasClass(window, className) && (!title || std::string(text) == title)
            && IsWindowVisible(window) && BelongsToApp(app, window)) {
            return window;
        }
    }
    return nullptr;
}

bool NoDialogAppears(const AppRun& app)
{
    return WaitForWindow([&] { return FindAppWindow(app, "#32770"); }, 1000) == nullptr;
}

HWND FindDescendant(HWND parent, const char* className)
{
    std::vector<HWND> descendants;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&descendants));
    for (HWND window : descendants) {
        if (HasClass(window, className)) {
            return window;
        }
    }
    return nullptr;
}

HWND FindOwnedDialog(HWND owner)
{
    for (HWND window : TopLevelWindows()) {
        if (HasClass(window, "#32770") && GetWindow(window, GW_OWNER) == owner
            && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

std::string ReadWindowText(HWND window)
{
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, WAIT_MS, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_ABORTIFHUNG, WAIT_MS, &copied);
    text.resize(copied);
    return Utf8(text);
}

void WriteWindowText(HWND window, const std::string& text)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()),
                        SMTO_ABORTIFHUNG, WAIT_MS, &result);
}

COLORREF ClientPixel(HWND window, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

void Click(HWND button, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &result);
}

bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

HANDLE HoldWindowThread(HWND window)
{
    const HANDLE thread =
        OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr));
    if (thread) {
        SuspendThread(thread);
    }
    return thread;
}

void ReleaseWindowThread(HANDLE thread)
{
    ResumeThread(thread);
    CloseHandle(thread);
}

void PostMouse(HWND control, UINT message)
{
    RECT client;
    GetClientRect(control, &client);
    const LPARAM centre = MAKELPARAM(client.right / 2, client.bottom / 2);
    const WPARAM buttons = message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
    PostMessageA(control, message, buttons, centre);
}

void PostClick(HWND control)
{
    PostMouse(control, WM_LBUTTONDOWN);
    PostMouse(control, WM_LBUTTONUP);
}

void PostDoubleClick(HWND control, DWORD gapMs, DWORD holdMs)
{
    PostClick(control);
    Sleep(gapMs);
    PostMouse(control, WM_LBUTTONDBLCLK);
    Sleep(holdMs);
    PostMouse(control, WM_LBUTTONUP);
}

void PostKey(HWND control, UINT message, WPARAM key, bool repeat)
{
    // A repeat count of 1; bit 30: the key was already down; bit 31: it goes up.
    const bool up = message == WM_KEYUP;
    const DWORD flags = 1 | (repeat || up ? 1u << 30 : 0) | (up ? 1u << 31 : 0);
    PostMessageW(control, message, key, static_cast<LPARAM>(static_cast<LONG>(flags)));
}

void PostTyping(HWND control, const std::string& text)
{
    for (wchar_t c : Widen(text)) {
        PostMessageW(control, WM_CHAR, c, 1);
    }
}

bool Paste(HWND control, const std::string& text)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!memory) {
        return false;
    }
    lstrcpyA(static_cast<char*>(GlobalLock(memory)), text.c_str());
    GlobalUnlock(memory);
    if (!OpenClipboard(nullptr)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) {
        GlobalFree(memory);
        return false;
    }
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control, WM_PASTE, 0, 0, SMTO_ABORTIFHUNG, WAIT_MS, &result) != 0;
}
